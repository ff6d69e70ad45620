// A small PNG writer for the test images: 8-bit RGB, the pixel data in stored (uncompressed)
// deflate blocks, so no compression library is needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kxm::test {

// `rgb` holds width x height pixels of three bytes, row by row from the top.
std::vector<std::uint8_t> pngImage(std::uint32_t width, std::uint32_t height,
                                   const std::vector<std::uint8_t>& rgb);

// The CRC-32 that closes each PNG chunk, bit by bit.
std::uint32_t crc32(const std::uint8_t* data, std::size_t size);

}  // namespace kxm::test
