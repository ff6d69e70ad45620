// The check that guards stb on JPEG: stb's Huffman tables hold 256 codes, and it builds a table
// from a segment's counts before it looks at their sum, so a table that claims more would write
// past the end of it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "image/dds.h"

namespace kxm::image::detail {

// Walks every marker segment of the file, in the header and between the scans, and refuses a
// Huffman table whose code counts add up to more than 256 (a sound JPEG has at most 162).
std::optional<Failure> checkJpeg(std::span<const std::uint8_t> bytes);

}  // namespace kxm::image::detail
