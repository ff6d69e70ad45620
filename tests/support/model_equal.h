// Whether two models are the same model as glTF can carry it: names, hierarchy, each frame's
// transform, vertices, the triangles drawn with their turn, materials, texture names, bones,
// animation keys. Floats agree within 1e-6 (relative beyond 1), NaN with NaN. The first
// difference is said in `why`.
#pragma once

#include <string>

#include "model/model.h"

namespace kxm::test {

bool sameModel(const Model& want, const Model& got, std::string& why);

}  // namespace kxm::test
