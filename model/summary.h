// What every front end counts and walks the same way in a model: its totals, a frame's parent,
// and the frames in hierarchy order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "model/model.h"

namespace kxm {

struct ModelStats {
  std::uint64_t frames = 0, meshes = 0, vertices = 0, indices = 0, triangles = 0, textures = 0,
                multiMaterials = 0, bones = 0, animationSets = 0, animations = 0, keys = 0;
};
ModelStats statsOf(const Model& model);

// The row of frame `row`'s parent, or nothing for a frame at the top. A parent's row always
// comes before its child's; any other index is taken as the top, so that no walk can loop.
std::optional<std::size_t> parentRow(const Model& model, std::size_t row);

// The frames in hierarchy order, each with its depth: a frame, then its children, on an
// explicit stack (a chain of frames may be a million deep).
std::vector<std::pair<std::size_t, std::size_t>> framesInHierarchy(const Model& model);

}  // namespace kxm
