// Our own writers for the texture files the image module reads: BMP, TGA and DDS, byte by byte
// from the layouts below, so that every test image is made here and its pixels are known.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kxm::test {

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};

// The pixels as kxm::image::Pixels holds them: four bytes each, rows from the top.
std::vector<std::uint8_t> rgbaBytes(const std::vector<Rgba>& pixels);

// Overwrite a field of a written file, for damaged and hostile variants.
void putU16Le(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value);
void putU32Le(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value);

// ---- BMP: a 14-byte file header, a 40-byte info header, the palette, then rows padded to 4 ----

constexpr std::size_t kBmpWidthAt = 18, kBmpHeightAt = 22;

struct BmpLayout {
  std::uint32_t width = 0, height = 0;
  std::uint16_t bits = 24;      // 1, 4, 8 (palette), 16 (5-5-5), 24, 32 (with alpha)
  bool topDown = false;         // rows stored from the top (a negative height)
  std::vector<Rgba> palette{};  // 1, 4 and 8 bits
};

// `values` holds width x height pixels, rows from the top: a palette index for 1, 4 and 8 bits,
// a 5-5-5 value for 16, 0xAARRGGBB for 24 (alpha left out) and 32.
std::vector<std::uint8_t> bmpImage(const BmpLayout& layout,
                                   const std::vector<std::uint32_t>& values);

// ---- TGA: an 18-byte header, the image ID, the colour map, the pixels ----

constexpr std::size_t kTgaWidthAt = 12, kTgaHeightAt = 14;

struct TgaLayout {
  enum class Type { TrueColour, Grey, ColourMapped };
  std::uint16_t width = 0, height = 0;
  Type type = Type::TrueColour;
  std::uint8_t bits = 24;         // per pixel: 24 or 32 (true colour), 8 (grey, colour index)
  bool rle = false;               // run-length packets, within each row
  bool topOrigin = false;         // rows stored from the top
  std::string id{};               // the image ID field, which a reader must skip
  std::vector<Rgba> palette{};    // colour-mapped
  std::uint8_t paletteBits = 24;  // 24 or 32
};

// `values` holds width x height pixels, rows from the top: 0xAARRGGBB for true colour (24 bits
// leaves alpha out), the grey level, or the colour index.
std::vector<std::uint8_t> tgaImage(const TgaLayout& layout,
                                   const std::vector<std::uint32_t>& values);

// ---- DDS: "DDS ", a 124-byte header, then the pixel data as given ----

constexpr std::size_t kDdsHeightAt = 12, kDdsWidthAt = 16;
constexpr std::uint32_t kDdsCubeMap = 0x200 | 0xFC00;  // with all six faces
constexpr std::uint32_t kDdsVolume = 0x200000;

struct DdsLayout {
  std::uint32_t width = 0, height = 0;
  std::string fourCC{};                  // "DXT1", "DXT3", "DXT5", ...; empty: uncompressed
  std::uint32_t bitCount = 32;           // uncompressed
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha (0: none)
  bool luminance = false;                // grey in the red mask, not RGB
  std::uint32_t caps2 = 0;               // kDdsCubeMap, kDdsVolume
  std::uint32_t depth = 0;               // a volume's depth
  std::uint32_t mipCount = 0;
};

std::vector<std::uint8_t> ddsFile(const DdsLayout& layout, const std::vector<std::uint8_t>& data);

// Uncompressed pixel data for the layout's bit count and masks: each channel's 8 bits scaled to
// its mask's width (rounded) and put where its mask says.
std::vector<std::uint8_t> ddsPixels(const DdsLayout& layout, const std::vector<Rgba>& pixels);

// ---- DXT blocks (4 x 4 pixels; indices for pixel 0, the top left, first, row by row) ----

std::uint16_t rgb565(std::uint8_t r, std::uint8_t g, std::uint8_t b);
// A 5-6-5 colour back to 8 bits a channel, its top bits repeated below, as decoders widen it.
Rgba widen565(std::uint16_t colour);

// Two 5-6-5 end points and sixteen 2-bit indices (DXT1 alone, or the colour half of DXT3/5).
std::array<std::uint8_t, 8> dxtColourBlock(std::uint16_t colour0, std::uint16_t colour1,
                                           const std::array<std::uint8_t, 16>& indices);
// DXT3's explicit alpha: sixteen 4-bit values.
std::array<std::uint8_t, 8> dxt3AlphaBlock(const std::array<std::uint8_t, 16>& alpha4);
// DXT5's interpolated alpha: two end points and sixteen 3-bit indices.
std::array<std::uint8_t, 8> dxt5AlphaBlock(std::uint8_t alpha0, std::uint8_t alpha1,
                                           const std::array<std::uint8_t, 16>& indices);

void appendBlock(std::vector<std::uint8_t>& data, const std::array<std::uint8_t, 8>& block);

}  // namespace kxm::test
