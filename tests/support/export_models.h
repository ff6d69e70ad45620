// The models the export is tested with, each made by our test writer as its test wants it, and
// all of them together with the sample for the round trip through glTF and back.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/kxm_writer.h"

namespace kxm::test {

// One mesh of `vertices` positions (v, 0, v mod 3) drawn as `type`, with those indices if any.
KxmWriter meshOfType(std::int32_t type, std::uint32_t vertices,
                     std::initializer_list<std::uint16_t> indices);
// `ranges` material ranges that each draw all `indices` indices of three vertices.
KxmWriter overlappingRanges(int indices, int ranges);
// Two named material ranges over one mesh's indices, each with its own material.
KxmWriter namedRanges();
// A root "Café" with an offset and then a matrix, and a child with an offset and a scale.
KxmWriter matrixAndParts();
// The largest float in a frame's matrix and in a matrix key.
KxmWriter scalePastFloatRange();
// A mesh on "Body" moved by two bones, "Hand" (a child frame) and "Body", five influences on
// one vertex and none on another.
KxmWriter bonesOfTwoFrames();
// Position keys whose times go back and repeat, and a matrix key, on "Arm".
KxmWriter keysGoingBack();
// A triangle with texture coordinates naming these textures.
KxmWriter texturedMesh(std::initializer_list<const char*> textures);
// One triangle whose vertices carry normals.
KxmWriter normalMesh();

struct NamedModel {
  std::string what;
  std::vector<std::uint8_t> bytes;
};
// Every model above in each form its tests use, the textured quads and the sample.
std::vector<NamedModel> exportModels();

}  // namespace kxm::test
