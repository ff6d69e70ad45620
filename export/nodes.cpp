// Frames become nodes, in frame order (a frame's parent always comes before it), with their
// transforms; meshes go on their frame's node, a skinned mesh on a node of its own at the root.
#include <algorithm>
#include <cmath>

#include "export/builder.h"
#include "model/summary.h"

namespace kxm::gltf {

namespace {

std::string frameWhat(const Frame& frame) {
  return "frame " + quoted(frame.name);
}

}  // namespace

void Builder::addFrames() {
  const std::size_t n = model_.frames.count();
  frameNode_.resize(n);
  for (std::size_t f = 0; f < n; ++f) {
    const Frame& frame = model_.frames[f];
    frameByName_.try_emplace(std::string(nameOf(frame.name)), f);
    frameNode_[f] = static_cast<int>(nodes_.size());
    warnings_.about({Warnings::Subject::Kind::Frame, f, 0});
    nodes_.push_back(nodeFor(f));
    keepTransform(frame, nodes_.back());
    keepPlace(f, nodes_.back());
    if (const auto parent = parentRow(model_, f)) {
      nodes_[static_cast<std::size_t>(frameNode_[*parent])]["children"].push_back(frameNode_[f]);
    } else {
      roots_.push_back(frameNode_[f]);
    }
  }
  warnings_.about({});
}

// Nodes always carry translation, rotation and scale: an animated node must, and a matrix that
// is not one of those would be invalid in glTF anyway.
Json Builder::nodeFor(std::size_t f) {
  const Frame& frame = model_.frames[f];
  Json node = {{"name", nameToUtf8(frame.name)}};
  Matrix4 m = frame.hasMatrix ? matrixToGltf(frame.matrix)
                              : matrixFromParts(frame.offset, frame.rotation, frame.scale);
  if (!std::all_of(m.begin(), m.end(), [](float v) { return std::isfinite(v); })) {
    warn(IssueCode::TransformDropped,
         frameWhat(frame) + ": its transform has a number that is not finite; left out");
    return node;
  }
  bool exact = true;
  const Trs trs = decompose(m, exact);
  if (!isFinite(trs)) {
    warn(IssueCode::TransformDropped,
         frameWhat(frame) + ": its scale lies past the float range; the transform is left out");
    return node;
  }
  if (!exact) {
    warn(IssueCode::TransformApproximated,
         frameWhat(frame) +
             ": its matrix is not a translation, rotation and scale; written as the nearest");
  }
  if (trs.translation != Vec3{0, 0, 0}) node["translation"] = trs.translation;
  if (trs.rotation != Quat{0, 0, 0, 1}) node["rotation"] = trs.rotation;
  if (trs.scale != Vec3{1, 1, 1}) node["scale"] = trs.scale;
  return node;
}

void Builder::placeMeshes() {
  for (std::size_t f = 0; f < model_.frames.count(); ++f) {
    const Frame& frame = model_.frames[f];
    std::vector<int> plain;
    std::vector<MeshOut> placed;
    for (std::size_t m = 0; m < frame.meshes.count(); ++m) {
      warnings_.about({Warnings::Subject::Kind::Mesh, f, m});
      const MeshOut out = addMesh(f, m);
      warnings_.about({});
      placed.push_back(out);
      if (out.mesh < 0) continue;
      if (out.skin >= 0) {
        // A skinned mesh's node sits at the root without a transform: its joints place it.
        nodes_.push_back(
            {{"name", nameToUtf8(frame.name)}, {"mesh", out.mesh}, {"skin", out.skin}});
        skinNodes_.push_back(static_cast<int>(nodes_.size() - 1));
      } else {
        plain.push_back(out.mesh);
      }
    }
    const auto node = static_cast<std::size_t>(frameNode_[f]);
    if (plain.size() == 1) {
      nodes_[node]["mesh"] = plain.front();
    } else {
      for (int mesh : plain) {  // a node holds one mesh; more go on children
        nodes_.push_back({{"name", nameToUtf8(frame.name)}, {"mesh", mesh}});
        nodes_[node]["children"].push_back(nodes_.size() - 1);
      }
    }
    keepMeshOrder(f, placed);
  }
}

}  // namespace kxm::gltf
