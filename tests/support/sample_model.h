// The sample model: a small desk lamp that a person recognises in any 3D viewer, and that
// touches every chunk family. A wooden base (vertex colours, a texture, two multi-material
// ranges, every render state), a skinned arm bent at the elbow (two bones), a lamp head drawn
// as a triangle fan, a plate in front drawn as a strip, and an animation set "Wave" that moves
// the arm with position, rotation, scale and matrix keys. Custom data closes the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kxm::test {

std::vector<std::uint8_t> sampleModel();

// The texture the base names ("wood.png"), as PNG bytes, to be written beside the sample.
inline constexpr const char* kSampleTextureName = "wood.png";
std::vector<std::uint8_t> sampleTexture();

}  // namespace kxm::test
