// Numbers in messages, one way everywhere: counts with their noun, offsets in hex, and numbers
// as short as they can be said.
#pragma once

#include <cstdint>
#include <string>

namespace kxm {

// "1 warning", "2 warnings".
std::string plural(std::uint64_t n, const char* one, const char* many);
// "0x0000012C": an offset, as eight upper-case hex digits.
std::string hex8(std::uint32_t value);
// "5", "2.5", "0.998": as printf's %g says it.
std::string shortNumber(double value);

}  // namespace kxm
