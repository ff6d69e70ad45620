// Pixels to PNG through the libraries: stb_image_write (Debian's libstb-dev) writes the file,
// zlib (zlib1g-dev, libz-mingw-w64-dev for Windows, Debian's source for the browser; one
// release, so one output) compresses it and sums its CRCs.
//
// stb's own deflate took 0.5 to 1 s for a 2048 x 2048 texture, over the 0.3 s a conversion may
// take (bench/image_bench.cpp); zlib at its fastest level does it in a fraction of that.
#include <climits>
#include <cstdlib>
#include <new>

#include <stb/stb_image_write.h>
#include <zlib.h>

#include "image/image.h"

namespace kxm::image {

namespace detail {

// stb_image_write's STBIW_ZLIB_COMPRESS (stb_impl.cpp). stb frees the result with free(), so it
// is malloc'ed. stb's quality is ignored: the fastest level is what keeps to the time a
// conversion may take, and textures compress nearly as well with it.
unsigned char* zlibCompress(unsigned char* data, int dataLength, int* outLength, int) {
  if (dataLength < 0) return nullptr;
  uLongf size = compressBound(static_cast<uLong>(dataLength));
  if (size > static_cast<uLongf>(INT_MAX)) return nullptr;
  auto* out = static_cast<unsigned char*>(std::malloc(size));
  if (out == nullptr) return nullptr;
  if (compress2(out, &size, data, static_cast<uLong>(dataLength), Z_BEST_SPEED) != Z_OK) {
    std::free(out);
    return nullptr;
  }
  *outLength = static_cast<int>(size);
  return out;
}

// stb_image_write's STBIW_CRC32: zlib's is table-driven by the word, stb's by the byte.
unsigned int zlibCrc32(const unsigned char* data, int length) {
  return static_cast<unsigned int>(crc32(0, data, static_cast<uInt>(length)));
}

}  // namespace detail

namespace {

void appendTo(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  const auto* first = static_cast<const std::uint8_t*>(data);
  try {
    out->assign(first, first + size);
  } catch (const std::bad_alloc&) {
    out->clear();
  }
}

}  // namespace

std::vector<std::uint8_t> encodePng(const Pixels& pixels) {
  try {
    const std::uint64_t width = pixels.width, height = pixels.height;
    if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension ||
        pixels.rgba.size() != width * height * 4)
      return {};
    bool opaque = true;
    for (std::size_t i = 3; i < pixels.rgba.size() && opaque; i += 4)
      opaque = pixels.rgba[i] == 255;
    const int channels = opaque ? 3 : 4;
    // stb counts the filtered rows, and deflate's worst case for them (a little over their
    // size), in int: about 500 megapixels.
    const std::uint64_t rowsSize = (width * static_cast<std::uint64_t>(channels) + 1) * height;
    if (rowsSize + rowsSize / 1000 + 64 > static_cast<std::uint64_t>(INT_MAX)) return {};
    const std::uint8_t* source = pixels.rgba.data();
    std::vector<std::uint8_t> rgb;
    if (opaque) {  // stb writes the channels it is given: drop the alpha bytes first
      rgb.resize(static_cast<std::size_t>(width * height * 3));
      for (std::size_t i = 0, o = 0; i < pixels.rgba.size(); i += 4, o += 3) {
        rgb[o] = pixels.rgba[i];
        rgb[o + 1] = pixels.rgba[i + 1];
        rgb[o + 2] = pixels.rgba[i + 2];
      }
      source = rgb.data();
    }
    std::vector<std::uint8_t> png;
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    if (stbi_write_png_to_func(appendTo, &png, w, h, channels, source, w * channels) == 0)
      return {};
    return png;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace kxm::image
