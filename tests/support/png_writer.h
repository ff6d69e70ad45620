// A small PNG writer for the test images: 8-bit RGB, the pixel data in stored (uncompressed)
// deflate blocks, so no compression library is needed.
#pragma once

#include <cstdint>
#include <vector>

namespace kxm::test {

// `rgb` holds width x height pixels of three bytes, row by row from the top.
std::vector<std::uint8_t> pngImage(std::uint32_t width, std::uint32_t height,
                                   const std::vector<std::uint8_t>& rgb);

}  // namespace kxm::test
