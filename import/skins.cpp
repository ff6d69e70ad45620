// A skin becomes the mesh's bones: one per joint, named as its node, its matrix the inverse bind
// matrix mirrored back, with the vertices and weights of the influences that name it.
#include <algorithm>

#include "import/accessors.h"
#include "import/importer.h"

namespace kxm::gltfin {

namespace {

// The joint kxm export adds for vertices no bone moves: the mesh's own frame, last, bound with
// identity. No bone of the file stood for it.
bool addedByExport(const tinygltf::Skin& skin, std::size_t j, int ownNode,
                   const std::vector<float>& inverseBind) {
  if (j + 1 != skin.joints.size() || skin.joints[j] != ownNode) return false;
  for (std::size_t i = 0; i < 16; ++i) {
    const float want = i % 5 == 0 ? 1.0f : 0.0f;
    if (inverseBind.size() >= (j + 1) * 16 && inverseBind[j * 16 + i] != want) return false;
  }
  return true;
}

}  // namespace

bool Importer::addBones(std::size_t node, std::size_t f, const tinygltf::Primitive& prim,
                        Mesh& mesh, std::string& error) {
  const tinygltf::Skin& skin = doc_.skins[static_cast<std::size_t>(doc_.nodes[node].skin)];
  const auto joints = prim.attributes.find("JOINTS_0");
  const auto weights = prim.attributes.find("WEIGHTS_0");
  if (joints == prim.attributes.end() || weights == prim.attributes.end()) return true;
  if (prim.attributes.count("JOINTS_1") > 0) {
    warn(IssueCode::InfluencesDropped, "/meshes/" + std::to_string(doc_.nodes[node].mesh) +
                                           ": joint influences past the first four of a vertex; "
                                           "left out");
  }
  const std::vector<std::uint32_t> slot =
      readUnsigned(doc_, static_cast<std::size_t>(joints->second));
  const std::vector<float> weight = readFloats(doc_, static_cast<std::size_t>(weights->second));
  std::vector<float> inverseBind;
  if (skin.inverseBindMatrices >= 0)
    inverseBind = readFloats(doc_, static_cast<std::size_t>(skin.inverseBindMatrices));
  const std::size_t vertices = static_cast<std::size_t>(mesh.vertices.count());
  // Each joint's influences, a vertex named once with its weights summed.
  std::vector<std::vector<std::pair<std::int32_t, float>>> byJoint(skin.joints.size());
  for (std::size_t v = 0; v < vertices; ++v) {
    for (std::size_t k = 0; k < 4; ++k) {
      const std::uint32_t j = slot[v * 4 + k];
      const float w = weight[v * 4 + k];
      if (!(w > 0)) continue;
      if (j >= skin.joints.size()) {
        error = "/meshes/" + std::to_string(doc_.nodes[node].mesh) + ": vertex " +
                std::to_string(v) + " names joint " + std::to_string(j) + " of a skin of " +
                std::to_string(skin.joints.size());
        return false;
      }
      auto& list = byJoint[j];
      if (!list.empty() && list.back().first == static_cast<std::int32_t>(v))
        list.back().second += w;
      else
        list.push_back({static_cast<std::int32_t>(v), w});
    }
  }
  const int ownNode = frameOf_[node] >= 0 ? static_cast<int>(node) : -1;
  int frameNode = -1;
  for (std::size_t n = 0; n < frameOf_.size(); ++n)
    if (frameOf_[n] == static_cast<int>(f)) frameNode = static_cast<int>(n);
  for (std::size_t j = 0; j < skin.joints.size(); ++j) {
    if (ours_ && addedByExport(skin, j, ownNode >= 0 ? ownNode : frameNode, inverseBind)) break;
    Bone* bone = mesh.bones.append();
    if (bone == nullptr) throw std::bad_alloc();
    copyName(doc_.nodes[static_cast<std::size_t>(skin.joints[j])].name, bone->name);
    if (inverseBind.size() >= (j + 1) * 16) {
      double m[16];
      for (std::size_t i = 0; i < 16; ++i) m[i] = inverseBind[j * 16 + i];
      matrixFromGltf(m, bone->translationMatrix);
    }
    const auto& list = byJoint[j];
    if (list.empty()) continue;
    const auto n = static_cast<std::int32_t>(list.size());
    if (!bone->vertexIndices.allocate(n) || !bone->weights.allocate(n)) throw std::bad_alloc();
    for (std::size_t i = 0; i < list.size(); ++i) {
      bone->vertexIndices[i] = list[i].first;
      bone->weights[i] = list[i].second;
    }
  }
  return true;
}

}  // namespace kxm::gltfin
