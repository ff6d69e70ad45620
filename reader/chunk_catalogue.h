// The names of chunk codes: the format's vocabulary. One catalogue for chunks inside chunks,
// and two names for top-level chunks.
#pragma once

#include <cstdint>

namespace kxm {

using ChunkCode = std::uint32_t;

// The inner-catalogue name of a code, "UNKNOWN" for an unlisted one (1 and 2 included).
const char* chunkNameOf(ChunkCode code);

// "Frame ROOT" for code 1, "AnimationSet ROOT" for code 2, "UNKNOWN" for any other.
const char* topLevelNameOf(ChunkCode code);

}  // namespace kxm
