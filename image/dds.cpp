#include "image/dds.h"
#include "model/block.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include <squish.h>

namespace kxm::image {

using detail::Failure;

namespace {

using namespace detail::dds;

constexpr std::uint32_t fourCC(const char (&code)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

std::uint32_t readU32Le(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

struct Header {
  std::uint32_t size, flags, height, width, depth;
  std::uint32_t pixelFlags, fourCC, bitCount;
  std::array<std::uint32_t, 4> masks;  // red, green, blue, alpha
  std::uint32_t caps2;
};

// `bytes` holds at least kDataOffset bytes.
Header readHeader(std::span<const std::uint8_t> bytes) {
  Header h{};
  h.size = readU32Le(bytes, kAtSize);
  h.flags = readU32Le(bytes, kAtFlags);
  h.height = readU32Le(bytes, kAtHeight);
  h.width = readU32Le(bytes, kAtWidth);
  h.depth = readU32Le(bytes, kAtDepth);
  h.pixelFlags = readU32Le(bytes, kAtPixelFlags);
  h.fourCC = readU32Le(bytes, kAtFourCC);
  h.bitCount = readU32Le(bytes, kAtBitCount);
  for (std::size_t i = 0; i < 4; ++i) h.masks[i] = readU32Le(bytes, kAtMasks + 4 * i);
  h.caps2 = readU32Le(bytes, kAtCaps2);
  return h;
}

// 'ATI2' as it is, or a number where the code is not four printable letters (Direct3D formats).
std::string describeFourCC(std::uint32_t code) {
  std::string text = "'";
  for (int shift = 0; shift < 32; shift += 8) {
    const auto c = static_cast<char>((code >> shift) & 0xFF);
    if (c < 0x20 || c > 0x7E) return "number " + std::to_string(code);
    text += c;
  }
  return text + "'";
}

// One channel of an uncompressed pixel: its bits wherever the mask puts them, scaled to 0-255.
class Channel {
 public:
  explicit Channel(std::uint32_t mask) : mask_(mask) {
    if (mask_ != 0) {
      shift_ = static_cast<unsigned>(std::countr_zero(mask_));
      max_ = mask_ >> shift_;
    }
  }
  bool present() const { return mask_ != 0; }
  std::uint8_t value(std::uint32_t pixel) const {
    const std::uint64_t v = (pixel & mask_) >> shift_;  // at most max_
    return static_cast<std::uint8_t>((v * 255 + max_ / 2) / max_);
  }

 private:
  std::uint32_t mask_ = 0;
  unsigned shift_ = 0;
  std::uint64_t max_ = 1;
};

// Bits a mask claims past the pixel's own are not there: a mask wholly outside is no mask.
std::uint32_t bitsInPixel(std::uint32_t bitCount) {
  return bitCount >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << bitCount) - 1u;
}

void decodeMasked(const Header& h, const std::uint8_t* data, std::vector<std::uint8_t>& rgba) {
  const std::uint32_t pixelBytes = h.bitCount / 8;
  const std::uint32_t inPixel = bitsInPixel(h.bitCount);
  const bool grey = (h.pixelFlags & kPixelLuminance) != 0;
  const Channel red(h.masks[0] & inPixel);
  const Channel green(grey ? 0 : h.masks[1] & inPixel);
  const Channel blue(grey ? 0 : h.masks[2] & inPixel);
  const Channel alpha(h.masks[3] & inPixel);
  const std::size_t count = rgba.size() / 4;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t pixel = 0;
    for (std::uint32_t b = 0; b < pixelBytes; ++b) pixel |= std::uint32_t{data[b]} << (8 * b);
    data += pixelBytes;
    std::uint8_t* out = &rgba[4 * i];
    out[0] = red.present() ? red.value(pixel) : 0;
    out[1] = grey ? out[0] : green.present() ? green.value(pixel) : 0;
    out[2] = grey ? out[0] : blue.present() ? blue.value(pixel) : 0;
    out[3] = alpha.present() ? alpha.value(pixel) : 255;  // no alpha mask: opaque
  }
}

struct Format {
  enum Type { Masked, Dxt1, Dxt3, Dxt5 } type = Masked;
  std::uint32_t blockBytes = 0;  // compressed: bytes per 4 x 4 block
  std::string name;
};

// What the pixel format says the first image is, or why it is not read.
std::optional<Failure> formatOf(const Header& h, Format& format) {
  if ((h.pixelFlags & kPixelFourCC) != 0) {
    if (h.fourCC == fourCC("DX10")) {
      return Failure{
          Status::Unsupported,
          "a DDS file with a DX10 header (for newer formats and texture arrays) is not read"};
    }
    if (h.fourCC == fourCC("DXT1"))
      format = {Format::Dxt1, 8, "DXT1"};
    else if (h.fourCC == fourCC("DXT3"))
      format = {Format::Dxt3, 16, "DXT3"};
    else if (h.fourCC == fourCC("DXT5"))
      format = {Format::Dxt5, 16, "DXT5"};
    else if (h.fourCC == fourCC("DXT2") || h.fourCC == fourCC("DXT4"))
      return Failure{Status::Unsupported,
                     "DDS with premultiplied alpha (" + describeFourCC(h.fourCC) + ") is not read"};
    else
      return Failure{Status::Unsupported,
                     "DDS compressed as " + describeFourCC(h.fourCC) + " is not read"};
    return std::nullopt;
  }
  if ((h.pixelFlags & (kPixelRgb | kPixelLuminance)) == 0) {
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%X", h.pixelFlags);
    return Failure{Status::Unsupported,
                   std::string("a DDS pixel format with flags ") + flags + " is not read"};
  }
  if (h.bitCount != 8 && h.bitCount != 16 && h.bitCount != 24 && h.bitCount != 32) {
    return Failure{Status::Unsupported,
                   "uncompressed DDS of " + std::to_string(h.bitCount) + " bits is not read"};
  }
  if ((h.pixelFlags & kPixelRgb) != 0 && h.masks[0] == 0 && h.masks[1] == 0 && h.masks[2] == 0)
    return Failure{Status::Unreadable, "the uncompressed DDS has no colour masks"};
  const bool alpha = (h.masks[3] & bitsInPixel(h.bitCount)) != 0;
  format = {Format::Masked, 0,
            "uncompressed " + std::to_string(h.bitCount) + "-bit " +
                ((h.pixelFlags & kPixelLuminance) != 0 ? (alpha ? "grey and alpha" : "grey")
                                                       : (alpha ? "RGBA" : "RGB"))};
  return std::nullopt;
}

Decoded failed(Failure f) {
  Decoded d;
  d.status = f.status;
  d.detail = std::move(f.detail);
  return d;
}

}  // namespace

Decoded decodeDds(std::span<const std::uint8_t> bytes, const Limits& limits) {
  if (bytes.size() < kMagicSize || std::memcmp(bytes.data(), "DDS ", kMagicSize) != 0)
    return failed({Status::Unreadable, "not a DDS file"});
  if (bytes.size() < kDataOffset) {
    return failed(
        {Status::Unreadable, "the DDS header is cut short: " + std::to_string(bytes.size()) +
                                 " of " + std::to_string(kDataOffset) + " bytes"});
  }
  const Header h = readHeader(bytes);
  if (h.size != kHeaderSize) {
    return failed({Status::Unreadable,
                   "the DDS header gives its size as " + std::to_string(h.size) + ", not 124"});
  }
  if ((h.caps2 & kCaps2CubeMap) != 0) {
    return failed({Status::Unsupported, "the DDS file is a cube map; only flat textures are read"});
  }
  if ((h.caps2 & kCaps2Volume) != 0 || ((h.flags & kFlagDepth) != 0 && h.depth > 1)) {
    return failed({Status::Unsupported, "the DDS file is a volume texture (depth " +
                                            std::to_string(h.depth) +
                                            "); only flat textures are read"});
  }
  Format format;
  if (auto f = formatOf(h, format)) return failed(std::move(*f));
  if (auto f = detail::checkPixelBudget("the DDS", h.width, h.height, limits))
    return failed(std::move(*f));
  // Sides are at most kMaxDimension, so none of this comes near 64 bits.
  const std::uint64_t need =
      format.type == Format::Masked
          ? std::uint64_t{h.width} * h.height * (h.bitCount / 8)
          : std::uint64_t{(h.width + 3) / 4} * ((h.height + 3) / 4) * format.blockBytes;
  const std::uint64_t have = bytes.size() - kDataOffset;
  if (need > have) {
    return failed({Status::Unreadable, "the DDS's first image needs " + std::to_string(need) +
                                           " bytes of pixel data; the file holds " +
                                           std::to_string(have)});
  }
  Decoded out;
  out.pixels.width = h.width;
  out.pixels.height = h.height;
  const std::size_t size = std::size_t{h.width} * h.height * 4;
  out.pixels.rgba.reserve(size);
  preferHugePages(out.pixels.rgba.data(), size);
  out.pixels.rgba.resize(size);
  const std::uint8_t* data = bytes.data() + kDataOffset;
  if (format.type == Format::Masked) {
    decodeMasked(h, data, out.pixels.rgba);
  } else {
    const int flags = format.type == Format::Dxt1   ? squish::kDxt1
                      : format.type == Format::Dxt3 ? squish::kDxt3
                                                    : squish::kDxt5;
    // Block by block: squish's DecompressImage runs each call as an OpenMP parallel loop, which
    // on a busy machine costs seconds in thread hand-offs; one block is 16 pixels of work.
    const std::size_t rowBytes = std::size_t{h.width} * 4;
    std::array<std::uint8_t, 64> block{};
    for (std::uint32_t by = 0; by < h.height; by += 4) {
      const std::size_t rows = std::min<std::uint32_t>(4, h.height - by);
      for (std::uint32_t bx = 0; bx < h.width; bx += 4) {
        squish::Decompress(block.data(), data, flags);
        data += format.blockBytes;
        const std::size_t columnBytes = std::size_t{std::min<std::uint32_t>(4, h.width - bx)} * 4;
        for (std::size_t y = 0; y < rows; ++y) {
          std::memcpy(&out.pixels.rgba[(by + y) * rowBytes + std::size_t{bx} * 4], &block[y * 16],
                      columnBytes);
        }
      }
    }
  }
  out.status = Status::Ok;
  out.detail = "DDS " + format.name + ", " + detail::describeSize(h.width, h.height);
  return out;
}

}  // namespace kxm::image
