// The checks that guard stb on BMP and TGA: every byte stb is about to read, checked against the
// file first, and the TGA header that identify() also looks at.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "image/dds.h"

namespace kxm::image::detail {

// ---- TGA: 18 bytes of header and no signature ----

struct TgaHeader {
  std::uint8_t idLength, mapType, imageType;
  std::uint16_t mapFirst, mapLength;
  std::uint8_t mapBits;
  std::uint16_t width, height;
  std::uint8_t bits;  // the descriptor's origin bits are stb's business

  bool indexed() const { return mapType == 1; }
  bool rle() const { return imageType >= 9; }
};

constexpr std::size_t kTgaHeaderSize = 18;

std::optional<TgaHeader> readTgaHeader(std::span<const std::uint8_t> bytes);

// The kinds stb reads: colour-mapped (8- or 16-bit indices into 15- to 32-bit colours), true
// colour of 15 to 32 bits, grey of 8 (or 16 with alpha), each raw or RLE.
bool plausibleTga(const TgaHeader& h);

// "TGA true colour 32-bit RLE".
std::string describeTga(const TgaHeader& h);

// Everything stb is about to read from a TGA, checked against the bytes first: stb reads zeros
// past the end of its input and would turn a cut file into a picture.
std::optional<Failure> checkTga(std::span<const std::uint8_t> bytes, const Limits& limits);

// The same for a BMP: its pixel rows, and that each pixel of 1, 4 and 8 bits names a colour the
// palette has (stb would take an unset one from its stack). `what` is set to "BMP 24-bit".
std::optional<Failure> checkBmp(std::span<const std::uint8_t> bytes, const Limits& limits,
                                std::string& what);

}  // namespace kxm::image::detail
