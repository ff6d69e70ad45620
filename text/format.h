// Numbers in messages, one way everywhere: counts with their noun, offsets in hex, and numbers
// as short as they can be said; and names folded to lower case for comparing them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kxm {

// "1 warning", "2 warnings".
std::string plural(std::uint64_t n, const char* one, const char* many);
// "0x0000012C": an offset, as eight upper-case hex digits.
std::string hex8(std::uint32_t value);
// "5", "2.5", "0.998": as printf's %g says it.
std::string shortNumber(double value);
// A-Z as a-z, every other byte as it is: file names compared as case-blind disks compare them.
std::string asciiLower(std::string_view text);

}  // namespace kxm
