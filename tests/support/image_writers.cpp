#include "tests/support/image_writers.h"

#include <bit>
#include <utility>

namespace kxm::test {

namespace {

void addU8(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}
void addU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  addU8(out, v);
  addU8(out, v >> 8);
}
void addU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  addU16(out, v & 0xFFFF);
  addU16(out, v >> 16);
}

// The low `bytes` bytes of v, least significant first: 0xAARRGGBB as blue, green, red, alpha.
void addLe(std::vector<std::uint8_t>& out, std::uint32_t v, std::uint32_t bytes) {
  for (std::uint32_t k = 0; k < bytes; ++k) addU8(out, v >> (8 * k));
}

// The source row that is stored `stored`-th.
std::size_t sourceRow(std::size_t stored, std::size_t height, bool fromTop) {
  return fromTop ? stored : height - 1 - stored;
}

}  // namespace

std::vector<std::uint8_t> rgbaBytes(const std::vector<Rgba>& pixels) {
  std::vector<std::uint8_t> out;
  for (const Rgba& p : pixels) out.insert(out.end(), {p.r, p.g, p.b, p.a});
  return out;
}

void putU16Le(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  bytes.at(at) = static_cast<std::uint8_t>(value);
  bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void putU32Le(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  putU16Le(bytes, at, static_cast<std::uint16_t>(value));
  putU16Le(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::vector<std::uint8_t> bmpImage(const BmpLayout& layout,
                                   const std::vector<std::uint32_t>& values) {
  const std::size_t w = layout.width, h = layout.height;
  const std::size_t rowBytes = (w * layout.bits + 7) / 8;
  const std::size_t stride = (rowBytes + 3) / 4 * 4;
  const std::size_t offset = 14 + 40 + 4 * layout.palette.size();
  const auto height =
      layout.topDown ? static_cast<std::uint32_t>(-static_cast<std::int64_t>(h)) : layout.height;
  std::vector<std::uint8_t> out = {'B', 'M'};
  // The file's size, reserved, where the pixels start; the info header's size and the sides.
  for (std::uint32_t v : {static_cast<std::uint32_t>(offset + stride * h), 0u,
                          static_cast<std::uint32_t>(offset), 40u, layout.width, height}) {
    addU32(out, v);
  }
  addU16(out, 1);  // planes
  addU16(out, layout.bits);
  // BI_RGB, the pixels' size, 72 dpi across and down, the palette's size, every colour used.
  for (std::uint32_t v : {0u, static_cast<std::uint32_t>(stride * h), 2835u, 2835u,
                          static_cast<std::uint32_t>(layout.palette.size()), 0u}) {
    addU32(out, v);
  }
  for (const Rgba& c : layout.palette) out.insert(out.end(), {c.b, c.g, c.r, 0});
  for (std::size_t stored = 0; stored < h; ++stored) {
    const std::size_t y = sourceRow(stored, h, layout.topDown);
    std::vector<std::uint8_t> row;
    std::uint32_t packed = 0;  // below 8 bits, the first pixel in the highest bits
    for (std::size_t x = 0; x < w; ++x) {
      const std::uint32_t v = values.at(y * w + x);
      if (layout.bits >= 8) {
        addLe(row, v, layout.bits / 8u);
      } else {
        packed |= v << (8 - layout.bits - x * layout.bits % 8);
        if ((x + 1) * layout.bits % 8 == 0 || x + 1 == w) addU8(row, std::exchange(packed, 0));
      }
    }
    row.resize(stride);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::vector<std::uint8_t> tgaImage(const TgaLayout& layout,
                                   const std::vector<std::uint32_t>& values) {
  using Type = TgaLayout::Type;
  const bool mapped = layout.type == Type::ColourMapped;
  std::uint32_t imageType = mapped ? 1 : layout.type == Type::Grey ? 3 : 2;
  if (layout.rle) imageType += 8;
  std::vector<std::uint8_t> out;
  addU8(out, static_cast<std::uint32_t>(layout.id.size()));
  addU8(out, mapped ? 1 : 0);
  addU8(out, imageType);
  addU16(out, 0);  // first colour map entry
  addU16(out, mapped ? static_cast<std::uint32_t>(layout.palette.size()) : 0);
  addU8(out, mapped ? layout.paletteBits : 0);
  addU16(out, 0);  // x origin
  addU16(out, 0);  // y origin
  addU16(out, layout.width);
  addU16(out, layout.height);
  addU8(out, layout.bits);
  addU8(out, (layout.topOrigin ? 0x20u : 0u) | (layout.bits == 32 ? 8u : 0u));
  out.insert(out.end(), layout.id.begin(), layout.id.end());
  if (mapped) {
    for (const Rgba& c : layout.palette) {
      out.insert(out.end(), {c.b, c.g, c.r});
      if (layout.paletteBits == 32) out.push_back(c.a);
    }
  }
  // A true-colour pixel is 0xAARRGGBB's low bytes; a grey level or colour index, one byte.
  auto pixel = [&](std::uint32_t v) { addLe(out, v, layout.bits / 8u); };
  const std::size_t w = layout.width, h = layout.height;
  for (std::size_t stored = 0; stored < h; ++stored) {
    const std::uint32_t* row = values.data() + sourceRow(stored, h, layout.topOrigin) * w;
    std::size_t x = 0;
    while (x < w) {
      if (!layout.rle) {
        pixel(row[x++]);
        continue;
      }
      std::size_t run = 1;
      while (x + run < w && run < 128 && row[x + run] == row[x]) ++run;
      if (run >= 2) {  // a run packet: one pixel, repeated
        addU8(out, 0x80u | static_cast<std::uint32_t>(run - 1));
        pixel(row[x]);
        x += run;
        continue;
      }
      // A raw packet: up to where the next run starts.
      std::size_t count = 1;
      while (x + count < w && count < 128 &&
             !(x + count + 1 < w && row[x + count] == row[x + count + 1]))
        ++count;
      addU8(out, static_cast<std::uint32_t>(count - 1));
      for (std::size_t i = 0; i < count; ++i) pixel(row[x + i]);
      x += count;
    }
  }
  return out;
}

std::vector<std::uint8_t> ddsFile(const DdsLayout& layout, const std::vector<std::uint8_t>& data) {
  const bool compressed = !layout.fourCC.empty();
  const std::uint32_t pitch =
      compressed ? static_cast<std::uint32_t>(data.size()) : layout.width * (layout.bitCount / 8);
  std::uint32_t flags = 0x1 | 0x2 | 0x4 | 0x1000;  // caps, height, width, pixel format
  flags |= compressed ? 0x80000 : 0x8;             // linear size, or pitch
  if (layout.depth != 0) flags |= 0x800000;
  if (layout.mipCount != 0) flags |= 0x20000;
  std::vector<std::uint8_t> out = {'D', 'D', 'S', ' '};
  for (std::uint32_t v :
       {124u, flags, layout.height, layout.width, pitch, layout.depth, layout.mipCount}) {
    addU32(out, v);
  }
  for (int i = 0; i < 11; ++i) addU32(out, 0);
  // The pixel format.
  addU32(out, 32);
  if (compressed) {
    addU32(out, 0x4);
    for (std::size_t i = 0; i < 4; ++i) addU8(out, static_cast<std::uint8_t>(layout.fourCC.at(i)));
    for (int i = 0; i < 5; ++i) addU32(out, 0);
  } else {
    // RGB or luminance, and alpha pixels.
    addU32(out, (layout.luminance ? 0x20000u : 0x40u) | (layout.masks[3] != 0 ? 0x1u : 0u));
    addU32(out, 0);
    addU32(out, layout.bitCount);
    for (const std::uint32_t mask : layout.masks) addU32(out, mask);
  }
  const bool complex = layout.caps2 != 0 || layout.mipCount != 0;
  addU32(out, 0x1000 | (complex ? 0x8u : 0u) | (layout.mipCount != 0 ? 0x400000u : 0u));
  addU32(out, layout.caps2);
  for (int i = 0; i < 3; ++i) addU32(out, 0);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<std::uint8_t> ddsPixels(const DdsLayout& layout, const std::vector<Rgba>& pixels) {
  auto place = [](std::uint8_t value, std::uint32_t mask) -> std::uint32_t {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const std::uint32_t max = mask >> shift;
    return static_cast<std::uint32_t>((value * std::uint64_t{max} + 127) / 255) << shift;
  };
  std::vector<std::uint8_t> out;
  for (const Rgba& p : pixels) {
    const std::uint32_t v = place(p.r, layout.masks[0]) | place(p.g, layout.masks[1]) |
                            place(p.b, layout.masks[2]) | place(p.a, layout.masks[3]);
    addLe(out, v, layout.bitCount / 8);
  }
  return out;
}

std::uint16_t rgb565(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<std::uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
}

Rgba widen565(std::uint16_t colour) {
  const unsigned r = colour >> 11, g = (colour >> 5) & 63, b = colour & 31;
  return {static_cast<std::uint8_t>(r << 3 | r >> 2), static_cast<std::uint8_t>(g << 2 | g >> 4),
          static_cast<std::uint8_t>(b << 3 | b >> 2), 255};
}

std::array<std::uint8_t, 8> dxtColourBlock(std::uint16_t colour0, std::uint16_t colour1,
                                           const std::array<std::uint8_t, 16>& indices) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 16; ++i) bits |= std::uint32_t{indices[i] & 3u} << (2 * i);
  return {static_cast<std::uint8_t>(colour0),    static_cast<std::uint8_t>(colour0 >> 8),
          static_cast<std::uint8_t>(colour1),    static_cast<std::uint8_t>(colour1 >> 8),
          static_cast<std::uint8_t>(bits),       static_cast<std::uint8_t>(bits >> 8),
          static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

std::array<std::uint8_t, 8> dxt3AlphaBlock(const std::array<std::uint8_t, 16>& alpha4) {
  std::array<std::uint8_t, 8> block{};
  for (std::size_t i = 0; i < 16; ++i)
    block[i / 2] |= static_cast<std::uint8_t>((alpha4[i] & 0xFu) << (4 * (i % 2)));
  return block;
}

std::array<std::uint8_t, 8> dxt5AlphaBlock(std::uint8_t alpha0, std::uint8_t alpha1,
                                           const std::array<std::uint8_t, 16>& indices) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 16; ++i) bits |= std::uint64_t{indices[i] & 7u} << (3 * i);
  std::array<std::uint8_t, 8> block{alpha0, alpha1};
  for (std::size_t i = 0; i < 6; ++i) block[2 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  return block;
}

void appendBlock(std::vector<std::uint8_t>& data, const std::array<std::uint8_t, 8>& block) {
  data.insert(data.end(), block.begin(), block.end());
}

}  // namespace kxm::test
