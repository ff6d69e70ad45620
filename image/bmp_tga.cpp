// The checks that guard stb on BMP and TGA (declared in bmp_tga.h): headers read by hand, the
// pixels they promise counted against the bytes and the pixel budget before stb sees the file.
#include "image/bmp_tga.h"

namespace kxm::image::detail {

namespace {

std::uint16_t readU16Le(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t readU32Le(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

std::optional<TgaHeader> readTgaHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kTgaHeaderSize) return std::nullopt;
  TgaHeader h{};
  h.idLength = bytes[0];
  h.mapType = bytes[1];
  h.imageType = bytes[2];
  h.mapFirst = readU16Le(bytes, 3);
  h.mapLength = readU16Le(bytes, 5);
  h.mapBits = bytes[7];
  h.width = readU16Le(bytes, 12);
  h.height = readU16Le(bytes, 14);
  h.bits = bytes[16];
  return h;
}

bool plausibleTga(const TgaHeader& h) {
  if (h.indexed()) {
    if (h.imageType != 1 && h.imageType != 9) return false;
    if (h.mapBits != 8 && h.mapBits != 15 && h.mapBits != 16 && h.mapBits != 24 && h.mapBits != 32)
      return false;
    return h.bits == 8 || h.bits == 16;
  }
  if (h.mapType != 0) return false;
  if (h.imageType != 2 && h.imageType != 3 && h.imageType != 10 && h.imageType != 11) return false;
  return h.bits == 8 || h.bits == 15 || h.bits == 16 || h.bits == 24 || h.bits == 32;
}

std::string describeTga(const TgaHeader& h) {
  std::string what = "TGA ";
  what += h.indexed() ? "colour-mapped " : (h.imageType & 7) == 3 ? "grey " : "true colour ";
  what += std::to_string(h.bits);
  what += h.rle() ? "-bit RLE" : "-bit";
  return what;
}

std::optional<Failure> checkTga(std::span<const std::uint8_t> bytes, const Limits& limits) {
  const auto h = readTgaHeader(bytes);
  if (!h) return Failure{Status::Unreadable, "the TGA header is cut short"};
  if (!plausibleTga(*h)) {
    return Failure{Status::Unsupported, "TGA image type " + std::to_string(h->imageType) +
                                            " with " + std::to_string(h->bits) +
                                            " bits per pixel is not read"};
  }
  if (auto f = detail::checkPixelBudget("the TGA", h->width, h->height, limits)) return f;
  std::uint64_t at = kTgaHeaderSize + h->idLength;
  if (h->indexed()) {
    // stb would skip this many bytes rather than number the colours from it.
    if (h->mapFirst != 0) {
      return Failure{Status::Unsupported, "a TGA colour map that starts at entry " +
                                              std::to_string(h->mapFirst) + " is not read"};
    }
    if (h->mapLength == 0)
      return Failure{Status::Unreadable, "the colour-mapped TGA has no colours"};
    at += std::uint64_t{h->mapLength} * ((h->mapBits + 7u) / 8u);
  }
  const std::uint64_t pixelSize = (h->bits + 7u) / 8u;
  const std::uint64_t pixels = std::uint64_t{h->width} * h->height;
  const std::uint64_t size = bytes.size();
  if (!h->rle()) {
    const std::uint64_t need = at + pixels * pixelSize;
    if (need > size) {
      return Failure{Status::Unreadable, "the TGA's pixels need " + std::to_string(need) +
                                             " bytes; the file has " + std::to_string(size)};
    }
    return std::nullopt;
  }
  // Walk the packets: a head byte, then one pixel (a run) or up to 128 (raw).
  std::uint64_t covered = 0;
  while (covered < pixels) {
    if (at >= size) {
      return Failure{Status::Unreadable, "the TGA's RLE pixels stop after " +
                                             std::to_string(covered) + " of " +
                                             std::to_string(pixels) + " pixels"};
    }
    const std::uint8_t head = bytes[static_cast<std::size_t>(at)];
    const std::uint64_t count = (head & 0x7Fu) + 1u;
    at += 1 + ((head & 0x80u) != 0 ? pixelSize : count * pixelSize);
    if (at > size) {
      return Failure{Status::Unreadable, "the TGA's RLE pixels stop after " +
                                             std::to_string(covered) + " of " +
                                             std::to_string(pixels) + " pixels"};
    }
    covered += count;
  }
  return std::nullopt;
}

// ---- BMP ----

// Everything stb is about to read from a BMP, checked against the bytes first: the pixel rows,
// and for 1, 4 and 8 bits, that each pixel names a colour the palette has (stb would take an
// unset one from its stack).
//
// Alpha is stb's rule: a 32-bit BMP without masks (BI_RGB) has alpha in its fourth byte, one
// with a V4 or V5 header has it where the alpha mask says, 16 bits and masks in a 40-byte
// header (BI_BITFIELDS) have none. Where every alpha read is 0 the image is opaque: most
// writers leave the fourth byte 0 and mean no alpha, not an invisible picture.
std::optional<Failure> checkBmp(std::span<const std::uint8_t> bytes, const Limits& limits,
                                std::string& what) {
  constexpr std::size_t kFileHeader = 14;
  if (bytes.size() < kFileHeader + 4)
    return Failure{Status::Unreadable, "the BMP header is cut short"};
  const std::uint32_t infoSize = readU32Le(bytes, kFileHeader);
  if (infoSize != 12 && infoSize != 40 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
    return Failure{Status::Unsupported,
                   "a BMP header of " + std::to_string(infoSize) + " bytes is not read"};
  }
  if (bytes.size() < kFileHeader + infoSize)
    return Failure{Status::Unreadable, "the BMP header is cut short"};
  std::int64_t width = 0, height = 0;
  std::uint32_t bits = 0, compression = 0;
  if (infoSize == 12) {
    width = readU16Le(bytes, 18);
    height = readU16Le(bytes, 20);
    bits = readU16Le(bytes, 24);
  } else {
    width = static_cast<std::int32_t>(readU32Le(bytes, 18));
    height = static_cast<std::int32_t>(readU32Le(bytes, 22));  // below 0: rows from the top
    bits = readU16Le(bytes, 28);
    compression = readU32Le(bytes, 30);
  }
  what = "BMP " + std::to_string(bits) + "-bit";
  if (compression == 1 || compression == 2)
    return Failure{Status::Unsupported, "RLE-compressed BMP is not read"};
  if (compression == 4 || compression == 5)
    return Failure{Status::Unsupported, "a BMP that holds a JPEG or PNG is not read"};
  if (compression > 3) {
    return Failure{Status::Unsupported,
                   "BMP compression " + std::to_string(compression) + " is not read"};
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return Failure{Status::Unsupported, "a " + std::to_string(bits) + "-bit BMP is not read"};
  if (width < 0)
    return Failure{Status::Unreadable, "the BMP's width is negative: " + std::to_string(width)};
  const std::uint64_t w = static_cast<std::uint64_t>(width);
  const std::uint64_t h = static_cast<std::uint64_t>(height < 0 ? -height : height);
  if (auto f = detail::checkPixelBudget("the BMP", w, h, limits)) return f;

  const std::uint64_t offset = readU32Le(bytes, 10);
  const std::uint64_t rowBytes = (w * bits + 7) / 8;
  const std::uint64_t stride = (rowBytes + 3) / 4 * 4;
  const std::uint64_t need = offset + stride * (h - 1) + rowBytes;
  if (need > bytes.size()) {
    return Failure{Status::Unreadable, "the BMP's pixel rows end at byte " + std::to_string(need) +
                                           "; the file has " + std::to_string(bytes.size())};
  }
  if (bits > 8) return std::nullopt;
  // The palette as stb counts it: what lies between the header and the pixels.
  const std::int64_t paletteBytes = static_cast<std::int64_t>(offset) -
                                    static_cast<std::int64_t>(kFileHeader) -
                                    (infoSize == 12 ? 24 : static_cast<std::int64_t>(infoSize));
  const std::int64_t colours = paletteBytes / (infoSize == 12 ? 3 : 4);
  if (colours < 1 || colours > 256) {
    return Failure{Status::Unreadable, "the " + std::to_string(bits) + "-bit BMP has room for " +
                                           std::to_string(colours) + " palette colours"};
  }
  const unsigned mask = (1u << bits) - 1u;
  for (std::uint64_t y = 0; y < h; ++y) {
    const std::uint64_t row = offset + y * stride;
    for (std::uint64_t x = 0; x < w; ++x) {
      const std::uint64_t bit = x * bits;
      const unsigned byte = bytes[static_cast<std::size_t>(row + bit / 8)];
      const unsigned index = (byte >> (8 - bits - bit % 8)) & mask;
      if (index >= static_cast<std::uint64_t>(colours)) {
        return Failure{Status::Unreadable, "a pixel names colour " + std::to_string(index) +
                                               " of a palette of " + std::to_string(colours)};
      }
    }
  }
  return std::nullopt;
}

}  // namespace kxm::image::detail
