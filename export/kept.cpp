// What of frames, animation sets and the whole model glTF cannot hold, kept in extras
// (format/gltf_extras.h): each frame's transform chunks as the file has them, the order of a
// frame's meshes and those the export leaves out, each animation set's keys whole, and the
// custom data.
#include <cmath>
#include <cstring>
#include <type_traits>

#include "export/builder.h"
#include "format/chunk_catalogue.h"
#include "text/format.h"

namespace kxm::gltf {

namespace {

using namespace extras;

std::string base64(const std::vector<std::uint8_t>& bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = std::uint32_t{bytes[i]} << 16;
    if (n > 1) group |= std::uint32_t{bytes[i + 1]} << 8;
    if (n > 2) group |= bytes[i + 2];
    for (std::size_t d = 0; d < 4; ++d)
      out += d <= n ? digits[(group >> (18 - 6 * d)) & 0x3F] : '=';
  }
  return out;
}

// A glTF node's transform as a fingerprint takes it: its matrix, if any, then translation,
// rotation and scale with glTF's defaults where they are absent.
Fingerprint transformPrint(const Json& node) {
  auto floats = [&](const char* key, std::initializer_list<float> defaults, Fingerprint& of) {
    if (!node.contains(key)) {
      for (const float v : defaults) of.real(v);
      return;
    }
    for (const Json& v : node[key]) of.real(v.get<float>());
  };
  Fingerprint of;
  of.word(node.contains("matrix") ? 1U : 0U);
  if (node.contains("matrix")) floats("matrix", {}, of);
  floats("translation", {0, 0, 0}, of);
  floats("rotation", {0, 0, 0, 1}, of);
  floats("scale", {1, 1, 1}, of);
  return of;
}

}  // namespace

Json keptFloats(const float* values, std::size_t count) {
  Json list = Json::array();
  for (std::size_t i = 0; i < count; ++i) {
    if (std::isfinite(values[i])) {
      list.push_back(values[i]);
    } else {
      std::uint32_t bits = 0;
      std::memcpy(&bits, values + i, 4);
      list.push_back(hex8(bits));  // "0x7FC00000"
    }
  }
  return list;
}

Json keptMaterial(const Material& material) {
  return {{kDiffuse, keptFloats(material.diffuse, 4)},
          {kAmbient, keptFloats(material.ambient, 4)},
          {kSpecular, keptFloats(material.specular, 4)},
          {kEmissive, keptFloats(material.emissive, 4)},
          {kPower, keptFloats(&material.power, 1)[0]}};
}

int Builder::addWords(const std::vector<std::uint32_t>& words) {
  if (words.empty()) return -1;
  return addAccessor<std::uint32_t>(words.size(), 1, "SCALAR", 0, false, [&](std::uint32_t* out) {
    std::memcpy(out, words.data(), words.size() * sizeof *out);
  });
}

// The chunks the frame has, beside the translation, rotation and scale they became.
void Builder::keepTransform(const Frame& frame, Json& node) {
  Json transform = Json::object();
  if (frame.hasMatrix) transform[kMatrix] = keptFloats(frame.matrix, 16);
  if (frame.hasOffset) transform[kOffset] = keptFloats(frame.offset, 3);
  if (frame.hasRotation) transform[kRotation] = keptFloats(frame.rotation, 3);
  if (frame.hasScale) transform[kScale] = keptFloats(frame.scale, 3);
  if (frame.transformOrder != decltype(frame.transformOrder){0, 1, 2, 3}) {
    const bool has[4] = {frame.hasMatrix, frame.hasOffset, frame.hasRotation, frame.hasScale};
    const ChunkCode codes[4] = {chunk::FrameMatrix, chunk::FrameOffset, chunk::FrameRotation,
                                chunk::FrameScale};
    Json order = Json::array();
    for (const std::uint8_t k : frame.transformOrder)
      if (k < 4 && has[k]) order.push_back(codes[k]);
    transform[kOrder] = std::move(order);
  }
  transform[kOf] = transformPrint(node).text();
  node["extras"][kKey][kTransform] = std::move(transform);
}

// Where the frame's chunk stood: in which frame's, after how many of that one's meshes (where
// not after all of them), and whether it had a name chunk.
void Builder::keepPlace(std::size_t f, Json& node) {
  const Frame& frame = model_.frames[f];
  Json& kept = node["extras"][kKey];
  if (!frame.hasName) kept[kNameless] = true;
  if (frame.heldBy < 0 || static_cast<std::size_t>(frame.heldBy) >= f) return;
  const auto holder = static_cast<std::size_t>(frame.heldBy);
  kept[kHeldBy] = frameNode_[holder];
  if (frame.afterMeshes >= 0 &&
      static_cast<std::size_t>(frame.afterMeshes) != model_.frames[holder].meshes.count())
    kept[kAfterMeshes] = frame.afterMeshes;
}

// The frame's meshes in order, where the import could not tell it from the nodes: more than
// one, a skinned one (its node sits at the root), or one the export left out (kept whole).
void Builder::keepMeshOrder(std::size_t f, const std::vector<MeshOut>& placed) {
  const bool plainOne = placed.size() == 1 && placed[0].mesh >= 0 && placed[0].skin < 0;
  if (placed.empty() || plainOne) return;
  const Frame& frame = model_.frames[f];
  Json meshes = Json::array();
  for (std::size_t m = 0; m < placed.size(); ++m) {
    if (placed[m].mesh >= 0)
      meshes.push_back(placed[m].mesh);
    else
      meshes.push_back(wholeMesh(frame, frame.meshes[m]));
  }
  nodes_[static_cast<std::size_t>(frameNode_[f])]["extras"][kKey][kMeshes] = std::move(meshes);
}

// A set's keys whole, each animation's tracks one after another; with the fingerprint of the
// channels they became, or, for a set no animation holds, with its name.
Json Builder::keptSet(const AnimationSet& set, const Json* animation) {
  Json animations = Json::array();
  std::vector<std::uint32_t> words;
  auto append = [&words](const auto& keys) {
    for (const auto& key : keys) {
      std::uint32_t held[kWords<std::decay_t<decltype(key)>>];
      std::memcpy(held, &key, sizeof key);
      words.insert(words.end(), std::begin(held), std::end(held));
    }
  };
  for (const Animation& anim : set.animations) {
    animations.push_back({{kBone, nameToUtf8(anim.boneName)},
                          {kKeys,
                           {anim.positionKeys.count(), anim.rotationKeys.count(),
                            anim.scaleKeys.count(), anim.matrixKeys.count()}}});
    append(anim.positionKeys), append(anim.rotationKeys);
    append(anim.scaleKeys), append(anim.matrixKeys);
  }
  Json kept = Json::object();
  if (set.hasLength) kept[kLength] = keptFloats(&set.length, 1)[0];
  if (!animations.empty()) kept[kAnimations] = std::move(animations);
  const int keys = addWords(words);
  if (keys >= 0) kept[kKeys] = keys;
  if (animation == nullptr) {
    kept[kName] = nameToUtf8(set.name);
    return kept;
  }
  Fingerprint of;
  const Json& channels = (*animation)["channels"];
  const Json& samplers = (*animation)["samplers"];
  of.word(static_cast<std::uint32_t>(channels.size()));
  for (const Json& channel : channels) {
    const Json& sampler = samplers[channel["sampler"].get<std::size_t>()];
    of.word(channel["target"]["node"].get<std::uint32_t>());
    of.word(pathCode(channel["target"]["path"].get<std::string>()));
    of.print(printOf(sampler["input"].get<int>()));
    of.print(printOf(sampler["output"].get<int>()));
    of.word(interpolationCode(sampler["interpolation"].get<std::string>()));
  }
  of.print(printOf(keys));
  kept[kOf] = of.text();
  return kept;
}

// The custom data, and the order of the animation sets where one of them became no animation.
void Builder::keepScene(Json& scene) {
  Json kept = Json::object();
  Json custom = Json::array();
  for (const std::vector<std::uint8_t>& data : model_.customData) custom.push_back(base64(data));
  if (!custom.empty()) kept[kCustomData] = std::move(custom);
  if (setLeftOut_) kept[kAnimationSets] = std::move(setsKept_);
  if (!kept.empty()) scene["extras"] = {{kKey, std::move(kept)}};
}

}  // namespace kxm::gltf
