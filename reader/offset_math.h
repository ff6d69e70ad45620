// Offsets into an image of at most 4 GiB - 1 bytes. A sum that would pass 0xFFFFFFFF is held
// there, beyond any image, so no end offset or position ever wraps to a small offset.
#pragma once

#include <cstdint>
#include <limits>

namespace kxm {

inline constexpr std::uint32_t kOffsetLimit = std::numeric_limits<std::uint32_t>::max();

constexpr std::uint32_t saturatingAdd(std::uint32_t offset, std::uint32_t length) {
  return length > kOffsetLimit - offset ? kOffsetLimit : offset + length;
}

}  // namespace kxm
