// What kxm repair keeps of a mesh that a break cut off: the whole triangles it had read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "model/model.h"
#include "reader/load_failure.h"

namespace kxm {

// Keeps in `mesh` the whole triangles that were read before the break `failure`, when the
// break came in its index data (the indices read from `in`, up to `indexCount` where its count
// chunk gave one, -1 where none) or after it (the mesh at `meshDepth` of the failure's path, or
// a value chunk right under it), after whole vertices. Gives what was done, for a warning, or
// nothing when the mesh is better left out. `at` is " at 0x...", the failure's offset.
std::optional<std::string> keepWholeTriangles(const std::filesystem::path& in,
                                              const LoadFailure& failure, std::size_t meshDepth,
                                              std::int64_t indexCount, Mesh& mesh,
                                              const std::string& at);

}  // namespace kxm
