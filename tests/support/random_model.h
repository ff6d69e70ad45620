// Random models of the kind the reader makes of a valid file: frames in an order the file's
// nesting can give, meshes of every vertex format with what that format keeps, element lists,
// animation sets with every key kind, custom data. One seed, one model.
#pragma once

#include <cstdint>

#include "model/model.h"

namespace kxm::test {

// Fills `model` (empty) from `seed`; the model keeps normals and what writing needs.
void randomModel(std::uint32_t seed, Model& model);

}  // namespace kxm::test
