// Images written as the kind `--textures` asks for: decoded within the limits their size allows
// and encoded anew by the image floor; the texture names that point at them take that kind's
// extension.
#include <optional>

#include "image/image.h"
#include "import/importer.h"

namespace kxm::gltfin {

namespace {

image::Kind kindOf(TextureFormat format) {
  switch (format) {
    case TextureFormat::Bmp: return image::Kind::Bmp;
    case TextureFormat::Tga: return image::Kind::Tga;
    case TextureFormat::Dds: return image::Kind::Dds;
    case TextureFormat::Keep:
    case TextureFormat::Png: break;
  }
  return image::Kind::Png;
}

}  // namespace

bool Importer::convertImage(const std::vector<std::uint8_t>& bytes, image::Kind kind,
                            const std::string& what, std::vector<std::uint8_t>& out) {
  return convertImage(bytes, kind, kindOf(options_.textures), what, out);
}

bool Importer::convertImage(const std::vector<std::uint8_t>& bytes, image::Kind kind,
                            image::Kind target, const std::string& what,
                            std::vector<std::uint8_t>& out) {
  const image::Decoded decoded =
      image::decode(bytes, kind, image::Limits::forFileSize(bytes.size()));
  if (decoded.status != image::Status::Ok) {
    warn(IssueCode::TextureUnreadable, what + ": " + decoded.detail + "; not written");
    return false;
  }
  out = image::encode(decoded.pixels, target);
  if (out.empty()) {
    warn(IssueCode::TextureUnreadable, what + ": " + decoded.detail + " cannot be written as " +
                                           image::kindName(target) + "; not written");
    return false;
  }
  return true;
}

// The kind a texture name's extension says, where it is one we write.
static std::optional<image::Kind> kindNamed(const std::string& name) {
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || name.find_first_of("/\\", dot) != std::string::npos) return {};
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (extension == "png") return image::Kind::Png;
  if (extension == "bmp") return image::Kind::Bmp;
  if (extension == "tga") return image::Kind::Tga;
  if (extension == "dds") return image::Kind::Dds;
  return {};
}

void Importer::asKindNamed(const std::string& name, ImportedImage& file) {
  const std::optional<image::Kind> named = kindNamed(name);
  const image::Kind kind = image::identify(file.bytes, file.name);
  if (!named || *named == kind) return;
  std::vector<std::uint8_t> converted;
  if (convertImage(file.bytes, kind, *named, "texture \"" + name + "\"", converted)) {
    file.bytes = std::move(converted);
  }
}

std::string Importer::convertedName(const std::string& name) const {
  if (options_.textures == TextureFormat::Keep) return name;
  const std::size_t slash = name.find_last_of("/\\");
  const std::size_t dot = name.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  std::string extension = ".";
  for (const char c : std::string(image::kindName(kindOf(options_.textures))))
    extension += static_cast<char>(c - 'A' + 'a');
  return (hasExtension ? name.substr(0, dot) : name) + extension;
}

}  // namespace kxm::gltfin
