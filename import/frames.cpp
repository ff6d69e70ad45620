// Nodes become frames, parents before children as the file orders them. The nodes kxm export
// adds of its own (a mesh's extra node under its frame, a skinned mesh's node at the root, the
// "Frames" root over several roots) give their meshes back to their frames instead.
#include <algorithm>

#include "import/importer.h"

namespace kxm::gltfin {

namespace {

bool hasTransform(const tinygltf::Node& node) {
  return !node.matrix.empty() || !node.translation.empty() || !node.rotation.empty() ||
         !node.scale.empty();
}

// Roots of the scene shown (the default one, else the first), or every node without a parent.
std::vector<int> rootsOf(const tinygltf::Model& doc) {
  if (!doc.scenes.empty()) {
    const std::size_t s =
        doc.defaultScene >= 0 && static_cast<std::size_t>(doc.defaultScene) < doc.scenes.size()
            ? static_cast<std::size_t>(doc.defaultScene)
            : 0;
    return doc.scenes[s].nodes;
  }
  std::vector<bool> child(doc.nodes.size(), false);
  for (const auto& node : doc.nodes)
    for (const int c : node.children) child[static_cast<std::size_t>(c)] = true;
  std::vector<int> roots;
  for (std::size_t i = 0; i < doc.nodes.size(); ++i)
    if (!child[i]) roots.push_back(static_cast<int>(i));
  return roots;
}

}  // namespace

void Importer::setTransform(const tinygltf::Node& node, Frame& frame) {
  if (node.matrix.size() == 16) {
    frame.hasMatrix = true;
    matrixFromGltf(node.matrix.data(), frame.matrix);
    return;
  }
  if (node.translation.size() == 3) pointFromGltf(node.translation.data(), frame.offset);
  if (node.rotation.size() == 4) eulerFromGltf(node.rotation.data(), frame.rotation);
  if (node.scale.size() == 3)
    for (std::size_t i = 0; i < 3; ++i) frame.scale[i] = static_cast<float>(node.scale[i]);
}

// The frame whose mesh a node of kxm export's own carries, or -1 when the node is a frame.
int Importer::frameOfMeshNode(std::size_t n, std::int32_t parentFrame) const {
  const tinygltf::Node& node = doc_.nodes[n];
  if (!ours_ || node.mesh < 0 || !node.children.empty() || hasTransform(node)) return -1;
  if (parentFrame >= 0 && node.skin < 0) {
    const Frame& parent = model_.frames[static_cast<std::size_t>(parentFrame)];
    std::string parentName(parent.name, strnlen(parent.name, kNameSize));
    char name[kNameSize];
    copyName(node.name, name);
    return parentName == name ? parentFrame : -1;
  }
  if (parentFrame < 0 && node.skin >= 0) {  // placed by its joints: its frame has its name
    for (std::size_t i = 0; i < n; ++i) {
      if (doc_.nodes[i].name == node.name && frameOf_[i] >= 0) return frameOf_[i];
    }
  }
  return -1;
}

void Importer::addNode(std::size_t n, std::int32_t parentFrame) {
  const tinygltf::Node& node = doc_.nodes[n];
  const int owner = frameOfMeshNode(n, parentFrame);
  if (owner >= 0) {
    meshFrameOf_[n] = owner;
    return;
  }
  Frame* frame = model_.addFrame(parentFrame);
  if (frame == nullptr) throw std::bad_alloc();
  copyName(node.name, frame->name);
  setTransform(node, *frame);
  if (node.camera >= 0)
    warn(IssueCode::ImportLeftOut, "node " + std::to_string(n) + ": its camera is left out");
  frameOf_[n] = static_cast<int>(model_.frames.count() - 1);
  meshFrameOf_[n] = frameOf_[n];
}

// Depth first with a stack of our own, a node's first child first: the order of the file's
// frames, whose children follow their parent.
void Importer::addFrames() {
  frameOf_.assign(doc_.nodes.size(), -1);
  meshFrameOf_.assign(doc_.nodes.size(), -1);
  std::vector<int> roots = rootsOf(doc_);
  // kxm export's "Frames" node, the last node, holds several roots when the model has skins.
  if (ours_ && !doc_.skins.empty() && !roots.empty() &&
      static_cast<std::size_t>(roots.front()) + 1 == doc_.nodes.size() &&
      doc_.nodes.back().name == "Frames" && doc_.nodes.back().mesh < 0 &&
      !hasTransform(doc_.nodes.back())) {
    std::vector<int> inner = doc_.nodes.back().children;
    inner.insert(inner.end(), roots.begin() + 1, roots.end());
    roots = std::move(inner);
  }
  struct Visit {
    int node;
    std::int32_t parent;
  };
  std::vector<Visit> stack;
  for (auto r = roots.rbegin(); r != roots.rend(); ++r) stack.push_back({*r, -1});
  while (!stack.empty()) {
    const Visit visit = stack.back();
    stack.pop_back();
    const auto n = static_cast<std::size_t>(visit.node);
    if (frameOf_[n] >= 0 || meshFrameOf_[n] >= 0) continue;  // a scene may name a node twice
    addNode(n, visit.parent);
    const auto& children = doc_.nodes[n].children;
    for (auto c = children.rbegin(); c != children.rend(); ++c) stack.push_back({*c, frameOf_[n]});
  }
}

}  // namespace kxm::gltfin
