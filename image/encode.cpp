// Pixels to the texture files old games load: BMP and TGA through stb_image_write (Debian's
// libstb-dev), DDS as DXT blocks through libsquish's encoder; and encode(), which picks the
// writer by kind. What each writes, this floor's decoders read back.
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include <squish.h>
#include <stb/stb_image_write.h>

#include "image/dds.h"
#include "image/image.h"

namespace kxm::image {

namespace {

// stb hands its output over in pieces of up to 64 bytes.
void appendTo(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  const auto* first = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), first, first + size);
}

bool fits(const Pixels& p) {
  const std::uint64_t width = p.width, height = p.height;
  return width != 0 && height != 0 && width <= kMaxDimension && height <= kMaxDimension &&
         p.rgba.size() == width * height * 4;
}

bool opaque(const Pixels& p) {
  for (std::size_t i = 3; i < p.rgba.size(); i += 4)
    if (p.rgba[i] != 255) return false;
  return true;
}

// stb counts a file's bytes in int: its sides may be kMaxDimension, its area may not.
bool fitsInt(const Pixels& p, std::uint64_t headerBytes) {
  return std::uint64_t{p.width} * p.height * 4 + std::uint64_t{p.width} * 3 + headerBytes <=
         static_cast<std::uint64_t>(INT_MAX);
}

std::vector<std::uint8_t> withStb(const Pixels& p, Kind kind) {
  if (!fits(p) || !fitsInt(p, 256)) return {};
  const int channels = opaque(p) ? 3 : 4;
  const std::uint8_t* source = p.rgba.data();
  std::vector<std::uint8_t> rgb;
  if (channels == 3) {  // stb writes the channels it is given: 24 bits where alpha says nothing
    rgb.resize(p.rgba.size() / 4 * 3);
    for (std::size_t i = 0, o = 0; i < p.rgba.size(); i += 4, o += 3)
      std::memcpy(&rgb[o], &p.rgba[i], 3);
    source = rgb.data();
  }
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(std::uint64_t{p.width} * p.height * 4 + 256));
  const int w = static_cast<int>(p.width), h = static_cast<int>(p.height);
  const int written = kind == Kind::Bmp
                          ? stbi_write_bmp_to_func(appendTo, &out, w, h, channels, source)
                          : stbi_write_tga_to_func(appendTo, &out, w, h, channels, source);
  if (written == 0) return {};
  return out;
}

void putU32Le(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// DXT1 where alpha is all 255, or only 0 and 255 (its one-bit alpha holds that); DXT5 otherwise.
bool oneBitAlpha(const Pixels& p) {
  for (std::size_t i = 3; i < p.rgba.size(); i += 4)
    if (p.rgba[i] != 0 && p.rgba[i] != 255) return false;
  return true;
}

}  // namespace

std::vector<std::uint8_t> encodeBmp(const Pixels& pixels) {
  try {
    return withStb(pixels, Kind::Bmp);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::vector<std::uint8_t> encodeTga(const Pixels& pixels) {
  try {
    return withStb(pixels, Kind::Tga);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::vector<std::uint8_t> encodeDds(const Pixels& p) {
  using namespace detail::dds;
  try {
    if (!fits(p)) return {};
    const bool dxt1 = oneBitAlpha(p);
    // squish's range fit: a 2048 x 2048 texture in 0.3 s, where its cluster fit takes 15 s for an
    // error (root mean square) of 1.5 against range fit's 1.7 steps of 255.
    const int flags = (dxt1 ? squish::kDxt1 : squish::kDxt5) | squish::kColourRangeFit;
    const std::uint32_t blockBytes = dxt1 ? 8 : 16;
    const std::uint64_t blocks = std::uint64_t{(p.width + 3) / 4} * ((p.height + 3) / 4);
    const std::uint64_t size = kDataOffset + blocks * blockBytes;
    if (size > SIZE_MAX) return {};
    std::vector<std::uint8_t> out(static_cast<std::size_t>(size));
    std::uint8_t* header = out.data();
    std::memcpy(header, "DDS ", 4);
    putU32Le(header + kAtSize, kHeaderSize);
    putU32Le(header + kAtFlags,
             kFlagCaps | kFlagHeight | kFlagWidth | kFlagPixelFormat | kFlagLinearSize);
    putU32Le(header + kAtHeight, p.height);
    putU32Le(header + kAtWidth, p.width);
    putU32Le(header + kAtLinearSize, static_cast<std::uint32_t>(blocks * blockBytes));
    putU32Le(header + kAtPixelFormatSize, kPixelFormatSize);
    putU32Le(header + kAtPixelFlags, kPixelFourCC);
    std::memcpy(header + kAtFourCC, dxt1 ? "DXT1" : "DXT5", 4);
    putU32Le(header + kAtCaps, kCapsTexture);
    // Block by block, as the decoder reads them (squish's whole-image call is an OpenMP loop);
    // a block cut by the edge leaves its missing pixels out of the fit by the mask.
    std::uint8_t* block = out.data() + kDataOffset;
    std::uint8_t tile[64];
    for (std::uint32_t by = 0; by < p.height; by += 4) {
      for (std::uint32_t bx = 0; bx < p.width; bx += 4) {
        int mask = 0;
        std::memset(tile, 0, sizeof tile);
        for (std::uint32_t y = 0; y < 4 && by + y < p.height; ++y) {
          for (std::uint32_t x = 0; x < 4 && bx + x < p.width; ++x) {
            const std::size_t at = (std::size_t{by + y} * p.width + bx + x) * 4;
            std::memcpy(&tile[(y * 4 + x) * 4], &p.rgba[at], 4);
            mask |= 1 << (y * 4 + x);
          }
        }
        squish::CompressMasked(tile, mask, block, flags);
        block += blockBytes;
      }
    }
    return out;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::vector<std::uint8_t> encode(const Pixels& pixels, Kind kind) {
  switch (kind) {
    case Kind::Png: return encodePng(pixels);
    case Kind::Bmp: return encodeBmp(pixels);
    case Kind::Tga: return encodeTga(pixels);
    case Kind::Dds: return encodeDds(pixels);
    case Kind::Jpeg:
    case Kind::Unknown: break;
  }
  return {};
}

}  // namespace kxm::image
