// Whether two models hold the same records, field by field: floats compared by their bits (a NaN
// equals the same NaN), names as the strings they hold. Says the first difference.
#pragma once

#include <string>

#include "model/model.h"

namespace kxm::test {

// "" when equal; otherwise where they first differ ("frame 2 mesh 0: indices").
std::string modelDifference(const Model& a, const Model& b);

}  // namespace kxm::test
