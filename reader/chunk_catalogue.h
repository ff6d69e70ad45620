// The names of chunk codes: the format's vocabulary. One catalogue for chunks inside chunks,
// and two names for top-level chunks.
#pragma once

#include <cstdint>

namespace kxm {

using ChunkCode = std::uint32_t;

// The inner-catalogue name of a code, "UNKNOWN" for an unlisted one (1 and 2 included).
const char* chunkNameOf(ChunkCode code);

// Copies chunkNameOf(code) with its zero into dest, a caller's 128-byte buffer.
void chunkName(ChunkCode code, char* dest);

// "Frame ROOT" for code 1, "AnimationSet ROOT" for code 2, "UNKNOWN" for any other.
const char* topLevelNameOf(ChunkCode code);

// "Frame ROOT" for code 1, "AnimationSet ROOT" for code 2, into a 128-byte buffer.
void topLevelChunkName(ChunkCode code, char* dest);

}  // namespace kxm
