// Where a texture's image is on disk. Models of that era name their textures as Windows saw
// them: with backslashes, other capitals than the file on disk, and sometimes an extension the
// game did not ship (a .tga that is a .dds beside it). The image is looked for beside the model,
// then in each texture folder the user names, in that order: first by its exact name, then
// without regard to case, then by the same name with another image extension. Nothing outside
// those folders is ever read: an absolute name, one that climbs out with "..", or a link that
// leads out is not followed.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "textures/folder_index.h"

namespace kxm {

struct TextureFolders {
  std::filesystem::path model;               // the folder of the model file
  std::vector<std::filesystem::path> extra;  // --texture-dir, in the order given
  // The folders' listings, kept for every lookup that shares them (a model's textures, a run's
  // models); null: listed anew for each lookup.
  std::shared_ptr<FolderIndex> index;
};

struct TextureFile {
  enum class Match { Exact, OtherCase, OtherExtension, None };
  Match match = Match::None;
  std::filesystem::path path;  // the file found
  // The file as a user names it: below the model's folder, or a texture folder and below it.
  std::string shown;
  std::string why;  // Match::None: why nothing was found
};

TextureFile findTexture(const TextureFolders& folders, std::string_view name);

}  // namespace kxm
