// The export's images from a folder of files: the texture found by the rules of
// textures/texture_files.h (on disk for kxm export, among the dropped files in the browser),
// read, and turned into PNG where glTF cannot take it as it is; what it had to do, or why no
// image could be had, said as a warning with its code.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/gltf_export.h"
#include "textures/texture_files.h"

namespace kxm {

class FolderImages final : public gltf::ImageResolver {
 public:
  explicit FolderImages(TextureFolders folders) : folders_(std::move(folders)) {
    if (!folders_.index) folders_.index = std::make_shared<FolderIndex>();
  }

  std::optional<gltf::ResolvedImage> resolve(std::string_view name, const std::string& what,
                                             gltf::Warnings& warnings) override;

  // The files used, as a user names them, in the order they were first resolved.
  const std::vector<std::string>& found() const { return found_; }

 private:
  TextureFolders folders_;
  std::vector<std::string> found_;
};

}  // namespace kxm
