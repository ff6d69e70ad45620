// The one little-endian decoder: every number in a KXM file is little-endian, whatever the
// machine reading it. Values are assembled from bytes, never read through a cast pointer.
#pragma once

#include <bit>
#include <cstdint>

namespace kxm {

inline std::uint16_t loadU16Le(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t loadU32Le(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

inline float loadF32Le(const std::uint8_t* p) {
  return std::bit_cast<float>(loadU32Le(p));
}

inline void loadFloatsLe(const std::uint8_t* p, float* out, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) out[i] = loadF32Le(p + 4 * i);
}

}  // namespace kxm
