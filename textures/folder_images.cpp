#include "textures/folder_images.h"

#include <fstream>
#include <iterator>

#include "files/paths.h"
#include "image/image.h"

namespace kxm {

namespace {

bool readFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

}  // namespace

std::optional<gltf::ResolvedImage> FolderImages::resolve(std::string_view name,
                                                         const std::string& what,
                                                         gltf::Warnings& warnings) {
  const TextureFile file = findTexture(folders_, name);
  if (file.match == TextureFile::Match::None) {
    warnings.add(IssueCode::TextureMissing, what + ": " + file.why + "; not referenced");
    return std::nullopt;
  }
  // A file in other capitals is found only where the lookup forgives them; the game may not.
  if (file.match == TextureFile::Match::OtherExtension ||
      file.match == TextureFile::Match::OtherCase) {
    warnings.add(IssueCode::TextureSubstituted, what + ": not found; " + file.shown + " stands in");
  }
  std::vector<std::uint8_t> bytes;
  if (!readFile(file.path, bytes)) {
    warnings.add(IssueCode::TextureUnreadable,
                 what + ": " + file.shown + " cannot be read; not referenced");
    return std::nullopt;
  }
  image::Prepared prepared =
      image::prepareForGltf(bytes, files::textFromPath(file.path.filename()));
  if (prepared.status != image::Status::Ok) {
    warnings.add(IssueCode::TextureUnreadable, what + ": " + file.shown + " cannot be read: " +
                                                   prepared.detail + "; not referenced");
    return std::nullopt;
  }
  std::string fileName = files::textFromPath(file.path.filename());
  if (prepared.converted) {
    warnings.add(IssueCode::TextureConverted,
                 what + ": " + file.shown + " (" + prepared.detail + ")");
    fileName = files::textFromPath(file.path.stem()) + ".png";
  }
  found_.push_back(file.shown);
  return gltf::ResolvedImage{fileName, prepared.mimeType, std::move(prepared.bytes)};
}

}  // namespace kxm
