// The one translation unit that holds stb_image and stb_image_write (Debian's libstb-dev),
// compiled with warnings off (image/CMakeLists.txt): their code is not ours to change.
// stb_image_write is here for the tests, which make JPEG files with it; our PNG writer is in
// png_encode.cpp.
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
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
