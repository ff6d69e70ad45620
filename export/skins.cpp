// Bones become a skin: joints are the frames the bones name, inverse bind matrices the bones'
// matrices, and each vertex keeps its four largest influences.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "export/builder.h"

namespace kxm::gltf {

// What a skin gathers from a mesh's bones: its joints with their inverse bind matrices, and the
// influences on each vertex.
struct Builder::SkinOut {
  explicit SkinOut(std::size_t vertices)
      : jointOf(vertices, {0, 0, 0, 0}), weightOf(vertices, {0, 0, 0, 0}) {}

  std::vector<int> joints;                      // joint slot -> frame
  std::unordered_map<std::size_t, int> slotOf;  // frame -> joint slot
  std::vector<float> inverseBind;
  std::vector<std::array<std::uint16_t, 4>> jointOf;
  std::vector<std::array<float, 4>> weightOf;

  // A vertex keeps its four largest influences; a joint met again adds to its weight.
  void influence(std::size_t v, int slot, float weight) {
    auto& js = jointOf[v];
    auto& ws = weightOf[v];
    for (std::size_t i = 0; i < 4; ++i) {
      if (ws[i] > 0 && js[i] == slot) {
        ws[i] += weight;
        return;
      }
    }
    const auto least =
        static_cast<std::size_t>(std::min_element(ws.begin(), ws.end()) - ws.begin());
    if (ws[least] < weight) {
      js[least] = static_cast<std::uint16_t>(slot);
      ws[least] = weight;
    }
  }

  // Weights scaled to sum to 1; a vertex that no bone moves follows the mesh's own node, frame
  // `f`, which becomes a joint (with no bind transform) the first time one needs it.
  void normalise(std::size_t f) {
    int ownSlot = -1;
    for (std::size_t v = 0; v < weightOf.size(); ++v) {
      auto& ws = weightOf[v];
      const double sum = double{ws[0]} + ws[1] + ws[2] + ws[3];
      if (sum > 0 && std::isfinite(sum)) {
        for (float& w : ws) w = static_cast<float>(w / sum);
        continue;
      }
      if (ownSlot < 0) {
        auto [slot, added] = slotOf.try_emplace(f, static_cast<int>(joints.size()));
        if (added) {
          joints.push_back(static_cast<int>(f));
          const Matrix4 identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
          inverseBind.insert(inverseBind.end(), identity.begin(), identity.end());
        }
        ownSlot = slot->second;
      }
      jointOf[v] = {static_cast<std::uint16_t>(ownSlot), 0, 0, 0};
      ws = {1, 0, 0, 0};
    }
  }
};

// A bone's matrix in glTF's space, made one a skin can hold: identity for numbers that are not
// finite, an affine last row for a projective one.
Matrix4 Builder::inverseBindOf(const Bone& bone, const std::string& what) {
  Matrix4 m = matrixToGltf(bone.translationMatrix);
  if (!std::all_of(m.begin(), m.end(), [](float v) { return std::isfinite(v); })) {
    warn(IssueCode::NumberRepaired, what + ": bone " + quoted(bone.name) +
                                        " has a matrix that is not finite; identity written");
    float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    m = matrixToGltf(identity);
  }
  if (m[3] != 0 || m[7] != 0 || m[11] != 0 || m[15] != 1) {
    warn(IssueCode::TransformApproximated,
         what + ": bone " + quoted(bone.name) +
             "'s matrix has a projective column; written as (0, 0, 0, 1)");
    m[3] = m[7] = m[11] = 0;
    m[15] = 1;
  }
  return m;
}

// Each bone that names a frame makes it a joint, once however many bones name it, and adds its
// influences; the joints stop at what 16-bit joint indices can name.
void Builder::addBones(const Mesh& mesh, const std::string& what, SkinOut& skin) {
  const auto vertices = static_cast<std::size_t>(mesh.vertices.count());
  std::uint64_t badInfluences = 0;
  for (std::size_t b = 0; b < mesh.bones.storedCount(); ++b) {
    const Bone& bone = mesh.bones.stored(b);
    const auto named = frameByName_.find(std::string(nameOf(bone.name)));
    if (named == frameByName_.end()) {
      warn(IssueCode::BoneDropped,
           what + ": bone " + quoted(bone.name) + " names no frame; its influences are left out");
      continue;
    }
    auto [slot, added] =
        skin.slotOf.try_emplace(named->second, static_cast<int>(skin.joints.size()));
    if (added) {
      if (skin.joints.size() >= 65535) {
        warn(IssueCode::BoneDropped,
             what + ": more bones than a skin can hold; the rest are left out");
        break;
      }
      skin.joints.push_back(static_cast<int>(named->second));
      const Matrix4 m = inverseBindOf(bone, what);
      skin.inverseBind.insert(skin.inverseBind.end(), m.begin(), m.end());
    }
    const std::size_t n =
        static_cast<std::size_t>(std::min(bone.vertexIndices.count(), bone.weights.count()));
    for (std::size_t i = 0; i < n; ++i) {
      const std::int32_t v = bone.vertexIndices[i];
      const float weight = bone.weights[i];
      if (v < 0 || static_cast<std::size_t>(v) >= vertices || !(weight > 0) ||
          !std::isfinite(weight)) {
        ++badInfluences;
        continue;
      }
      skin.influence(static_cast<std::size_t>(v), slot->second, weight);
    }
  }
  warnCount(IssueCode::BoneDropped, what, badInfluences,
            "bone influence(s) name no vertex of the mesh or weigh nothing; left out");
}

// Returns the skin, or -1 when no bone names a frame.
int Builder::addSkin(std::size_t f, const Mesh& mesh, const std::string& what, Json& attributes) {
  const auto vertices = static_cast<std::size_t>(mesh.vertices.count());
  SkinOut skin(vertices);
  addBones(mesh, what, skin);
  if (skin.joints.empty()) return -1;
  skin.normalise(f);

  attributes["JOINTS_0"] =
      addAccessor<std::uint16_t>(vertices, 4, "VEC4", kArrayBuffer, false, [&](std::uint16_t* out) {
        std::memcpy(out, skin.jointOf.data(), vertices * 4 * sizeof *out);
      });
  attributes["WEIGHTS_0"] = addAccessor<float>(
      vertices, 4, "VEC4", kArrayBuffer, false,
      [&](float* out) { std::memcpy(out, skin.weightOf.data(), vertices * 4 * sizeof *out); });

  Json jointNodes = Json::array();
  for (int frame : skin.joints) jointNodes.push_back(frameNode_[static_cast<std::size_t>(frame)]);
  const int inverseBindMatrices =
      addAccessor<float>(skin.joints.size(), 16, "MAT4", 0, false, [&](float* out) {
        std::memcpy(out, skin.inverseBind.data(), skin.inverseBind.size() * sizeof *out);
      });
  skins_.push_back({{"name", nameToUtf8(model_.frames[f].name)},
                    {"inverseBindMatrices", inverseBindMatrices},
                    {"joints", std::move(jointNodes)}});
  return static_cast<int>(skins_.size() - 1);
}

}  // namespace kxm::gltf
