#include "model/summary.h"

#include "model/primitive_type.h"

namespace kxm {

ModelStats statsOf(const Model& model) {
  ModelStats t;
  t.frames = model.frames.count();
  for (const Frame& frame : model.frames) {
    t.meshes += frame.meshes.count();
    for (const Mesh& mesh : frame.meshes) {
      t.vertices += static_cast<std::uint64_t>(mesh.vertices.count());
      t.indices += static_cast<std::uint64_t>(mesh.indices.count());
      const std::int64_t n =
          mesh.indices.count() > 0 ? mesh.indices.count() : mesh.vertices.count();
      t.triangles +=
          static_cast<std::uint64_t>(trianglesDrawn(primitiveTypeOf(mesh.primitiveType), n));
      t.textures += mesh.textures.count();
      t.multiMaterials += mesh.multiMaterials.count();
      t.bones += mesh.bones.count();
    }
  }
  t.animationSets = model.animationSets.count();
  for (const AnimationSet& set : model.animationSets) {
    t.animations += set.animations.count();
    for (const Animation& a : set.animations) {
      t.keys += static_cast<std::uint64_t>(a.positionKeys.count()) +
                static_cast<std::uint64_t>(a.rotationKeys.count()) +
                static_cast<std::uint64_t>(a.scaleKeys.count()) +
                static_cast<std::uint64_t>(a.matrixKeys.count());
    }
  }
  return t;
}

std::optional<std::size_t> parentRow(const Model& model, std::size_t row) {
  const std::int32_t parent = model.frames[row].parentIndex;
  if (parent >= 0 && static_cast<std::size_t>(parent) < row) {
    return static_cast<std::size_t>(parent);
  }
  return std::nullopt;
}

std::vector<std::pair<std::size_t, std::size_t>> framesInHierarchy(const Model& model) {
  const std::size_t n = model.frames.count();
  std::vector<std::size_t> firstChild(n + 1, 0), children(n);
  for (std::size_t f = 0; f < n; ++f) {
    if (const auto parent = parentRow(model, f)) ++firstChild[*parent + 1];
  }
  for (std::size_t f = 0; f < n; ++f) firstChild[f + 1] += firstChild[f];
  std::vector<std::size_t> filled(firstChild.begin(), firstChild.end() - 1);
  std::vector<std::size_t> roots;
  for (std::size_t f = 0; f < n; ++f) {
    if (const auto parent = parentRow(model, f)) {
      children[filled[*parent]++] = f;
    } else {
      roots.push_back(f);
    }
  }
  std::vector<std::pair<std::size_t, std::size_t>> order;  // (frame, depth)
  order.reserve(n);
  std::vector<std::pair<std::size_t, std::size_t>> stack;
  for (auto r = roots.rbegin(); r != roots.rend(); ++r) stack.push_back({*r, 0});
  while (!stack.empty()) {
    const auto [frame, depth] = stack.back();
    stack.pop_back();
    order.push_back({frame, depth});
    for (std::size_t c = firstChild[frame + 1]; c > firstChild[frame]; --c) {
      stack.push_back({children[c - 1], depth + 1});
    }
  }
  return order;
}

}  // namespace kxm
