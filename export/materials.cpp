// Materials from the Direct3D material, and the base colour texture from a mesh's textures.
#include <algorithm>
#include <cmath>

#include "export/builder.h"

namespace kxm::gltf {

// The diffuse colour is the base colour (blended where its alpha is below 1), emissive is
// emissive, metallic 0 and roughness sqrt(2 / (power + 2)), the specular power's usual match.
// The whole Direct3D material stays in extras, with the fingerprint of the factors it became.
int Builder::addMaterial(const Material& material, const std::string& name, int texture) {
  // Within 0 to 1, and +0 for -0: glTF leaves out an emissive factor of zeros.
  auto unit = [](float v) { return std::clamp(finiteOr(v, 0), 0.0f, 1.0f) + 0.0f; };
  const float* d = material.diffuse;
  const float* e = material.emissive;
  const float power = finiteOr(material.power, 0);
  const float roughness =
      std::clamp(static_cast<float>(std::sqrt(2.0 / (std::max(power, 0.0f) + 2.0))), 0.0f, 1.0f);
  const float base[4] = {unit(d[0]), unit(d[1]), unit(d[2]), unit(d[3])};
  const float emissive[3] = {unit(e[0]), unit(e[1]), unit(e[2])};
  Json pbr = {{"baseColorFactor", base}, {"metallicFactor", 0}, {"roughnessFactor", roughness}};
  if (texture >= 0) pbr["baseColorTexture"] = {{"index", texture}};
  Json out = {{"name", name}, {"pbrMetallicRoughness", std::move(pbr)}};
  if (emissive[0] > 0 || emissive[1] > 0 || emissive[2] > 0) out["emissiveFactor"] = emissive;
  const char* alphaMode = base[3] < 1 ? "BLEND" : "OPAQUE";
  if (base[3] < 1) out["alphaMode"] = alphaMode;

  extras::Fingerprint of;
  for (const float v : base) of.real(v);
  of.real(0.0f);
  of.real(roughness);
  for (const float v : emissive) of.real(v);
  of.word(extras::alphaModeCode(alphaMode));
  Json kept = keptMaterial(material);
  kept[extras::kOf] = of.text();
  out["extras"] = {{extras::kKey, std::move(kept)}};
  materials_.push_back(std::move(out));
  return static_cast<int>(materials_.size() - 1);
}

// The mesh's first texture whose image can be had becomes its base colour. Each name is resolved
// once for the whole model, and two names that resolve to the same bytes share one image.
std::optional<int> Builder::textureFor(const Mesh& mesh) {
  std::optional<int> first;
  for (std::size_t t = 0; t < mesh.textures.storedCount(); ++t) {
    const char* raw = mesh.textures.stored(t).name;
    const std::string name(nameOf(raw));
    if (name.empty()) continue;
    auto [found, inserted] = textureByName_.try_emplace(name, -1);
    if (inserted && options_.images != nullptr) {
      std::optional<ResolvedImage> image =
          options_.images->resolve(name, "texture " + quoted(raw), warnings_);
      if (image) {
        std::size_t index = 0;
        while (index < doc_.images.size() && doc_.images[index].bytes != image->bytes) ++index;
        if (index == doc_.images.size()) {
          images_.push_back(Json::object());  // its place, in the GLB or beside, the writer's
          doc_.images.push_back(std::move(*image));
          textures_.push_back({{"source", index}});
        }
        found->second = static_cast<int>(index);
      }
    } else if (inserted) {
      warn(IssueCode::TextureMissing, "texture " + quoted(raw) + ": no image; not referenced");
    }
    if (!first && found->second >= 0) first = found->second;
  }
  return first;
}

}  // namespace kxm::gltf
