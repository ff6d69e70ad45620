// Materials back to the Direct3D material: exactly as kxm export kept it in extras, else from
// the base colour, emissive and roughness. Images become texture files named as the mesh's
// texture list names them.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/image.h"
#include "import/accessors.h"
#include "import/importer.h"
#include "text/escape.h"

namespace kxm::gltfin {

namespace {

std::string extensionOf(TextureFormat format, image::Kind kind) {
  switch (format) {
    case TextureFormat::Png: return ".png";
    case TextureFormat::Bmp: return ".bmp";
    case TextureFormat::Tga: return ".tga";
    case TextureFormat::Dds: return ".dds";
    case TextureFormat::Keep: break;
  }
  return kind == image::Kind::Jpeg ? ".jpg" : ".png";
}

// A plain file name from a URI or a name: its last part, without characters a folder forbids.
std::string plainName(std::string name) {
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  for (char& c : name)
    if (c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|') c = '_';
  if (name == "." || name == "..") name.clear();
  return name.substr(0, kNameSize - 1 - 4);
}

}  // namespace

void Importer::setMaterial(int index, Material& out) {
  out = Material{};
  if (index < 0) return;
  const tinygltf::Material& gm = doc_.materials[static_cast<std::size_t>(index)];
  if (const tinygltf::Value* kept = keptIn(gm.extras)) {
    const std::string where = "/materials/" + std::to_string(index);
    if (!keptMaterialFits(gm))
      ignored(where, "do not fit its factors, which have changed");
    else if (keptMaterial(*kept, out))
      return;
    else
      ignored(where, "are not as kxm export writes them");
  }
  const auto& base = gm.pbrMetallicRoughness.baseColorFactor;
  for (std::size_t i = 0; i < 4 && i < base.size(); ++i)
    out.diffuse[i] = static_cast<float>(base[i]);
  for (std::size_t i = 0; i < 3 && i < gm.emissiveFactor.size(); ++i)
    out.emissive[i] = static_cast<float>(gm.emissiveFactor[i]);
  // kxm export's roughness is sqrt(2 / (power + 2)): the power back from it.
  const double r = std::clamp(gm.pbrMetallicRoughness.roughnessFactor, 1e-3, 1.0);
  out.power = static_cast<float>(2 / (r * r) - 2);
  if (gm.alphaMode == "OPAQUE") out.diffuse[3] = 1;
}

// The file an image is written as, once per image: "" when it cannot be written.
std::string Importer::textureFile(int i) {
  const auto found = imageFiles_.find(i);
  if (found != imageFiles_.end()) return found->second;
  const tinygltf::Image& gi = doc_.images[static_cast<std::size_t>(i)];
  const std::string what = "image " + std::to_string(i);
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!imageBytes(doc_, static_cast<std::size_t>(i), bytes, error)) {
    warn(IssueCode::TextureUnreadable, what + ": " + error + "; not written");
    return imageFiles_[i] = "";
  }
  const image::Kind kind = image::identify(bytes, gi.uri);
  std::string name = plainName(!gi.name.empty() ? gi.name : gi.uri);
  if (name.empty()) name = "image" + std::to_string(i);
  const std::string extension = extensionOf(options_.textures, kind);
  const std::size_t dot = name.find_last_of('.');
  const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  std::string file = stem + extension;
  ImportedImage out{file, {}};
  if (options_.textures == TextureFormat::Keep &&
      (kind == image::Kind::Png || kind == image::Kind::Jpeg)) {
    out.bytes = bytes;
    if (dot != std::string::npos && name.substr(dot) != extension && kind == image::Kind::Jpeg &&
        (name.substr(dot) == ".jpeg" || name.substr(dot) == ".JPG"))
      out.name = file = name;
  } else if (!convertImage(bytes, kind, what, out.bytes)) {
    return imageFiles_[i] = "";
  }
  for (const ImportedImage& t : out_.textures) {  // two images of one name: the second renamed
    if (t.name != out.name) continue;
    out.name = file = stem + "_" + std::to_string(i) + extension;
    warn(IssueCode::TextureKept,
         what + ": another image is named " + t.name + "; written as " + file);
  }
  out_.textures.push_back(std::move(out));
  return imageFiles_[i] = file;
}

// The base colour's image is the mesh's texture where the extras named none; where they did, the
// image takes the first name they give it.
void Importer::addTextures(const tinygltf::Primitive& prim, Mesh& mesh) {
  std::string image;
  if (prim.material >= 0) {
    const int t = doc_.materials[static_cast<std::size_t>(prim.material)]
                      .pbrMetallicRoughness.baseColorTexture.index;
    const int source = t >= 0 ? doc_.textures[static_cast<std::size_t>(t)].source : -1;
    if (source >= 0) image = textureFile(source);
  }
  if (image.empty()) return;
  std::size_t first = mesh.textures.storedCount();
  std::string name;
  for (std::size_t t = 0; t < mesh.textures.storedCount() && name.empty(); ++t) {
    const char* stored = mesh.textures.stored(t).name;
    name = latin1ToUtf8({stored, strnlen(stored, kNameSize)});
    first = t;
  }
  if (name.empty() && mesh.textures.count() == 0) {
    Texture* texture = mesh.textures.append();
    if (texture == nullptr) throw std::bad_alloc();
    copyName(image, texture->name);
    return;
  }
  if (name.empty()) return;
  // With --textures the texture takes the kind's extension; without, the image becomes the kind
  // its name says, so that a game that reads wood.bmp finds a BMP there.
  const std::string named = convertedName(name);
  if (named != name) copyName(named, mesh.textures.stored(first).name);
  for (ImportedImage& file : out_.textures) {
    if (file.name != image) continue;
    if (options_.textures == TextureFormat::Keep) asKindNamed(named, file);
    file.name = plainName(named);
  }
}

}  // namespace kxm::gltfin
