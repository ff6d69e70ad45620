#include "image/jpeg.h"

#include <algorithm>
#include <cstddef>

namespace kxm::image::detail {
namespace {

constexpr std::size_t kMaxHuffmanCodes = 256;

// stb reads zeros past the end of its input; so does this walk.
std::uint8_t byteAt(std::span<const std::uint8_t> bytes, std::size_t at) {
  return at < bytes.size() ? bytes[at] : std::uint8_t{0};
}

std::size_t be16At(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::size_t{byteAt(bytes, at)} << 8 | byteAt(bytes, at + 1);
}

bool isSegmentless(std::uint8_t marker) {
  // A stuffed zero in entropy-coded data, TEM, RST0 to RST7 and SOI.
  return marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

// The tables of one DHT segment, taken as stb takes them: one after another while the segment's
// length lasts, each built before its values are read. `at` is where the length is.
bool huffmanTablesFit(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::size_t remaining = be16At(bytes, at);
  remaining = remaining > 2 ? remaining - 2 : 0;
  std::size_t table = at + 2;
  while (remaining > 0 && table < bytes.size()) {
    const std::uint8_t classAndSlot = byteAt(bytes, table);
    if ((classAndSlot >> 4) > 1 || (classAndSlot & 15) > 3) return true;  // stb stops right here
    std::size_t codes = 0;
    for (std::size_t i = 1; i <= 16; ++i) codes += byteAt(bytes, table + i);
    if (codes > kMaxHuffmanCodes) return false;
    const std::size_t used = 17 + codes;
    if (used >= remaining) break;
    remaining -= used;
    table += used;
  }
  return true;
}

}  // namespace

std::optional<Failure> checkJpeg(std::span<const std::uint8_t> bytes) {
  std::size_t at = 2;  // past SOI
  while (at < bytes.size()) {
    // Entropy-coded data, and what stb skips between segments, holds no marker but after 0xFF.
    if (bytes[at] != 0xFF) {
      ++at;
      continue;
    }
    while (at < bytes.size() && bytes[at] == 0xFF) ++at;  // fill bytes
    if (at >= bytes.size()) break;
    const std::uint8_t marker = bytes[at++];
    if (marker == 0xD9) break;  // EOI: stb reads no further
    if (isSegmentless(marker)) continue;
    if (marker == 0xC4 && !huffmanTablesFit(bytes, at)) {
      return Failure{Status::Unreadable,
                     "the JPEG has a Huffman table of more than 256 codes, which is corrupt"};
    }
    // stb goes on past a segment only when it has read exactly its length.
    at += std::max<std::size_t>(be16At(bytes, at), 2);
  }
  return std::nullopt;
}

}  // namespace kxm::image::detail
