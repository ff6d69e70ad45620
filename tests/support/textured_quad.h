#pragma once
// A model of one square mesh whose one material names a texture: what the texture tests export.
#include <string>

#include "tests/support/kxm_writer.h"

namespace kxm::test {

// Corners (0,0) to (1,1) with texture coordinates flipped in v, normals of assorted lengths.
KxmWriter texturedQuad(const std::string& reference);

}  // namespace kxm::test
