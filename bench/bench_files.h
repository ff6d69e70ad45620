// The generated files the benchmarks load, each scaled by one number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kxm::bench {

// A mesh of n vertices (position, normal, colour, one texture set) with 3n/2 indices; and the
// same without the normal, what the export's cost of normals is measured against.
std::vector<std::uint8_t> meshFile(std::int64_t vertices);
std::vector<std::uint8_t> flatMeshFile(std::int64_t vertices);
// A mesh with a texture list of n elements.
std::vector<std::uint8_t> textureListFile(std::int64_t textures);
// An animation chain n deep.
std::vector<std::uint8_t> animationChainFile(std::int64_t depth);
// A frame sibling chain n deep, each frame with a name, a matrix and an END.
std::vector<std::uint8_t> siblingChainFile(std::int64_t depth);
// n small render-state chunks in one mesh.
std::vector<std::uint8_t> smallChunksFile(std::int64_t chunks);

// Writes bytes to a file in the temporary folder, once per name, and gives its path.
std::string cachedFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

}  // namespace kxm::bench
