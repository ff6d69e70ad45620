// Nodes become frames, parents before children: in the order of the nodes where the file's
// nesting can hold it, as kxm export numbers a file's frames, else as the hierarchy has them.
// The nodes kxm export adds of its own (a mesh's extra node under its frame, a skinned mesh's
// node at the root, the "Frames" root over several roots) give their meshes back to their
// frames instead.
#include <algorithm>

#include "format/gltf_extras.h"
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

// Whether the frame node's kept list of meshes names glTF mesh `mesh`.
bool listsMesh(const tinygltf::Node& node, int mesh) {
  const tinygltf::Value* kept = keptIn(node.extras);
  const tinygltf::Value* list = kept ? keptValue(*kept, extras::kMeshes) : nullptr;
  for (std::size_t i = 0; i < keptLength(list); ++i) {
    std::int32_t m = -1;
    if (keptInt(list->Get(static_cast<int>(i)), m) && m == mesh) return true;
  }
  return false;
}

}  // namespace

// The chunks kxm export kept, where they fit; else the node's own transform, each part it has
// a chunk of its own.
void Importer::setTransform(std::size_t n, Frame& frame) {
  if (keptTransform(n, frame)) return;
  const tinygltf::Node& node = doc_.nodes[n];
  if (node.matrix.size() == 16) {
    frame.hasMatrix = true;
    matrixFromGltf(node.matrix.data(), frame.matrix);
    return;
  }
  frame.hasOffset = node.translation.size() == 3;
  frame.hasRotation = node.rotation.size() == 4;
  frame.hasScale = node.scale.size() == 3;
  if (frame.hasOffset) pointFromGltf(node.translation.data(), frame.offset);
  if (frame.hasRotation) eulerFromGltf(node.rotation.data(), frame.rotation);
  if (frame.hasScale)
    for (std::size_t i = 0; i < 3; ++i) frame.scale[i] = static_cast<float>(node.scale[i]);
}

// Where the frame's chunk stood, as kxm export kept it: the row of the frame whose chunk held
// it (one made before, whose place the writer checks again) and after how many of that one's
// meshes (all, until they are known, where the extras say none); and whether it had a name.
void Importer::keptPlace(std::size_t n, Frame& frame) {
  const tinygltf::Value* kept = keptIn(doc_.nodes[n].extras);
  if (kept == nullptr) return;
  const std::string where = "/nodes/" + std::to_string(n);
  const tinygltf::Value* nameless = keptValue(*kept, extras::kNameless);
  frame.hasName = nameless == nullptr || !nameless->IsBool() || !nameless->Get<bool>();
  const tinygltf::Value* held = keptValue(*kept, extras::kHeldBy);
  const tinygltf::Value* after = keptValue(*kept, extras::kAfterMeshes);
  std::int32_t node = -1, meshes = -1;
  if (held == nullptr) return;
  if (!keptInt(*held, node) || node < 0 || static_cast<std::size_t>(node) >= frameOf_.size() ||
      frameOf_[static_cast<std::size_t>(node)] < 0 ||
      frameOf_[static_cast<std::size_t>(node)] >= frameOf_[n] ||
      (after != nullptr && (!keptInt(*after, meshes) || meshes < 0))) {
    ignored(where, "of the frame's place name no frame before it, or no place");
    return;
  }
  frame.heldBy = frameOf_[static_cast<std::size_t>(node)];
  frame.afterMeshes = meshes;
}

// A frame whose place the extras gave without a count of meshes came after all of them.
void Importer::placeAfterMeshes() {
  for (Frame& frame : model_.frames) {
    if (frame.heldBy < 0) continue;
    const auto held = static_cast<std::int32_t>(
        model_.frames[static_cast<std::size_t>(frame.heldBy)].meshes.count());
    if (frame.afterMeshes < 0 || frame.afterMeshes > held) frame.afterMeshes = held;
  }
}

// The frame node whose mesh a node of kxm export's own carries, or -1 when the node is a frame:
// a mesh's node under its frame, of the frame's name, or a skinned mesh's node at the root,
// named as its frame (the one whose kept list names its mesh, where several are).
int Importer::frameOfMeshNode(std::size_t n, int parentNode) const {
  const tinygltf::Node& node = doc_.nodes[n];
  if (!ours_ || node.mesh < 0 || !node.children.empty() || hasTransform(node)) return -1;
  if (parentNode >= 0 && node.skin < 0) {
    return doc_.nodes[static_cast<std::size_t>(parentNode)].name == node.name ? parentNode : -1;
  }
  if (parentNode >= 0) return -1;
  int named = -1;
  for (std::size_t i = 0; i < n && node.skin >= 0; ++i) {
    if (!isFrame_[i] || doc_.nodes[i].name != node.name) continue;
    if (listsMesh(doc_.nodes[i], node.mesh)) return static_cast<int>(i);
    if (named < 0) named = static_cast<int>(i);
  }
  return named;
}

// The frame nodes in the order of their nodes where the file's nesting can hold that order
// (each frame's parent on the path of frames still open, as kxm export numbers them), else
// depth first.
std::vector<int> Importer::frameOrder(const std::vector<int>& visited,
                                      const std::vector<int>& parentNode) const {
  std::vector<int> byIndex = visited;
  std::sort(byIndex.begin(), byIndex.end());
  std::vector<int> open;
  for (const int n : byIndex) {
    const int p = parentNode[static_cast<std::size_t>(n)];
    if (p < 0) {
      open.clear();
    } else {
      while (!open.empty() && open.back() != p &&
             parentNode[static_cast<std::size_t>(open.back())] != p) {
        open.pop_back();
      }
      if (open.empty()) return visited;
    }
    open.push_back(n);
  }
  return byIndex;
}

// Depth first with a stack of our own, a node's first child first, to find the frames and their
// parents; then a frame for each, parents first.
void Importer::addFrames() {
  const std::size_t nodes = doc_.nodes.size();
  frameOf_.assign(nodes, -1);
  meshFrameOf_.assign(nodes, -1);
  isFrame_.assign(nodes, false);
  std::vector<int> roots = rootsOf(doc_);
  // kxm export's "Frames" node, the last node, holds several roots when the model has skins.
  if (ours_ && !doc_.skins.empty() && !roots.empty() &&
      static_cast<std::size_t>(roots.front()) + 1 == nodes && doc_.nodes.back().name == "Frames" &&
      doc_.nodes.back().mesh < 0 && !hasTransform(doc_.nodes.back())) {
    std::vector<int> inner = doc_.nodes.back().children;
    inner.insert(inner.end(), roots.begin() + 1, roots.end());
    roots = std::move(inner);
  }
  struct Visit {
    int node;
    int parent;
  };
  std::vector<Visit> stack;
  std::vector<int> visited, parentNode(nodes, -1), carrierOf(nodes, -1);
  std::vector<bool> seen(nodes, false);
  for (auto r = roots.rbegin(); r != roots.rend(); ++r) stack.push_back({*r, -1});
  while (!stack.empty()) {
    const Visit visit = stack.back();
    stack.pop_back();
    const auto n = static_cast<std::size_t>(visit.node);
    if (seen[n]) continue;  // a scene may name a node twice
    seen[n] = true;
    carrierOf[n] = frameOfMeshNode(n, visit.parent);
    if (carrierOf[n] >= 0) continue;
    isFrame_[n] = true;
    parentNode[n] = visit.parent;
    visited.push_back(visit.node);
    const auto& children = doc_.nodes[n].children;
    for (auto c = children.rbegin(); c != children.rend(); ++c) stack.push_back({*c, visit.node});
  }
  for (const int node : frameOrder(visited, parentNode)) {
    const auto n = static_cast<std::size_t>(node);
    const int parent = parentNode[n] >= 0 ? frameOf_[static_cast<std::size_t>(parentNode[n])] : -1;
    Frame* frame = model_.addFrame(parent);
    if (frame == nullptr) throw std::bad_alloc();
    copyName(doc_.nodes[n].name, frame->name);
    setTransform(n, *frame);
    if (doc_.nodes[n].camera >= 0)
      warn(IssueCode::ImportLeftOut, "node " + std::to_string(n) + ": its camera is left out");
    frameOf_[n] = static_cast<int>(model_.frames.count() - 1);
    frameNode_.push_back(node);
    keptPlace(n, *frame);
  }
  for (std::size_t n = 0; n < nodes; ++n) {
    const int owner = carrierOf[n] >= 0 ? carrierOf[n] : static_cast<int>(n);
    meshFrameOf_[n] = frameOf_[static_cast<std::size_t>(owner)];
  }
}

}  // namespace kxm::gltfin
