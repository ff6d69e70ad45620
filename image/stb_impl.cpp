// The one translation unit that holds stb_image and stb_image_write (Debian's libstb-dev),
// compiled with warnings off (image/CMakeLists.txt): their code is not ours to change.
// stb_image_write writes our PNG files (png_encode.cpp), its deflate and CRC replaced by zlib's
// through its two hooks, and our BMP and TGA files (encode.cpp); the tests make JPEG files with
// it.
//
// stb_image reads only what we need (no stdio, four formats, sides of at most kMaxDimension),
// gives failure reasons in words, and allocates through a per-thread cap: a PNG or JPEG whose
// header claims little can still ask zlib or the JPEG decoder for more, and the cap turns such
// a request into a clean "Out of memory" failure instead of gigabytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace kxm::image::detail {

// Set by image.cpp around each stb call.
thread_local std::size_t stbAllocationCap = SIZE_MAX;

// Defined in png_encode.cpp, where zlib is.
unsigned char* zlibCompress(unsigned char* data, int dataLength, int* outLength, int quality);
unsigned int zlibCrc32(const unsigned char* data, int length);

void* stbMalloc(std::size_t size) {
  return size > stbAllocationCap ? nullptr : std::malloc(size);
}

void* stbRealloc(void* block, std::size_t size) {
  return size > stbAllocationCap ? nullptr : std::realloc(block, size);
}

}  // namespace kxm::image::detail

#define STBI_MALLOC(size) kxm::image::detail::stbMalloc(size)
#define STBI_REALLOC(block, size) kxm::image::detail::stbRealloc(block, size)
#define STBI_FREE(block) std::free(block)
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_FAILURE_USERMSG
#define STBI_MAX_DIMENSIONS 65536  // kxm::image::kMaxDimension
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#define STBI_WRITE_NO_STDIO
#define STBIW_ZLIB_COMPRESS kxm::image::detail::zlibCompress
#define STBIW_CRC32 kxm::image::detail::zlibCrc32
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace kxm::image::detail {
// stb tries all five filters on every row to pick one, which costs more time than it saves
// bytes on textures; one fixed filter, Sub (the cheapest), is set once before any PNG is written.
static const bool kPngFilterFixed = (stbi_write_force_png_filter = 1, true);
// TGA is written uncompressed: many a game's loader reads only raw true colour.
static const bool kTgaUncompressed = (stbi_write_tga_with_rle = 0, true);
}  // namespace kxm::image::detail
