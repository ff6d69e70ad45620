// The sample model: a small scene that touches every chunk family.
#pragma once

#include <cstdint>
#include <vector>

namespace kxm::test {

std::vector<std::uint8_t> sampleModel();

}  // namespace kxm::test
