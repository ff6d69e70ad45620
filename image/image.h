// Texture files as old games ship them (BMP, TGA, DDS), and the two glTF takes (PNG, JPEG):
// what a file is, its pixels, and the bytes to put in a glTF file. Knows nothing of KXM.
//
// Every file is hostile: sizes are checked against the bytes and against Limits before anything
// is allocated, and no exception leaves these functions (a failed allocation is a Status).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kxm::image {

// What one image may cost when decoded: 64 MiB plus 8 times its file size, in RGBA bytes. A few
// dozen bytes can claim 65535 x 65535 pixels; this keeps the claim in proportion to the file.
struct Limits {
  std::uint64_t pixelBytes = 0;
  static Limits forFileSize(std::uint64_t fileSize);
};

// No side may be longer, whatever the limit: it keeps rows and sides far from int range, which
// stb counts in.
inline constexpr std::uint32_t kMaxDimension = 65536;

enum class Kind { Png, Jpeg, Bmp, Tga, Dds, Unknown };

// By content (PNG, JPEG, "BM", "DDS "). TGA has no signature: taken when nameHint ends in .tga
// (any case) and its header is plausible, or when nothing else matches and the header is
// plausible and claims pixels (18 bytes of chance must not pass for an empty TGA).
Kind identify(std::span<const std::uint8_t> bytes, std::string_view nameHint);
const char* kindName(Kind kind);  // "PNG", "JPEG", "BMP", "TGA", "DDS", "unknown"

struct Pixels {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgba;  // width * height * 4, rows from the top
  bool hasAlpha = false;           // some alpha below 255
};

enum class Status { Ok, Unreadable, TooLarge, Unsupported };

struct Decoded {
  Status status = Status::Unreadable;
  Pixels pixels;
  std::string detail;  // Ok: what it was ("DDS DXT5, 256 x 256"); otherwise why not, in words
};

// The kind is checked against the bytes, not trusted: a BMP handed over as a PNG is Unreadable.
// A JPEG is decoded (after detail::checkJpeg) only to be written as another kind: glTF and the
// export take it as it is.
Decoded decode(std::span<const std::uint8_t> bytes, Kind kind, const Limits& limits);

// PNG bytes: RGB where every alpha is 255, RGBA otherwise. Empty when memory runs out, when the
// pixels do not match their dimensions, or past about 500 megapixels (stb counts bytes in int).
std::vector<std::uint8_t> encodePng(const Pixels& pixels);

// The texture files old games load, each empty where encodePng's would be. BMP and TGA
// (uncompressed, stored from the bottom): 24-bit where every alpha is 255, else 32-bit with
// alpha. DDS: one image of DXT blocks, DXT1 where every alpha is 0 or 255 (its one-bit alpha:
// a pixel of alpha 0 comes back black), DXT5 otherwise.
std::vector<std::uint8_t> encodeBmp(const Pixels& pixels);
std::vector<std::uint8_t> encodeTga(const Pixels& pixels);
std::vector<std::uint8_t> encodeDds(const Pixels& pixels);
// The writer of that kind: PNG, BMP, TGA or DDS; empty for JPEG and Unknown.
std::vector<std::uint8_t> encode(const Pixels& pixels, Kind kind);

// For glTF: PNG and JPEG are kept byte for byte (mimeType image/png or image/jpeg, converted
// false) once their header shows sane dimensions; BMP, TGA, DDS are decoded within
// Limits::forFileSize(bytes.size()) and converted to PNG (converted true). On failure status
// says why and detail explains; bytes is empty.
struct Prepared {
  Status status = Status::Unreadable;
  std::string mimeType;
  std::vector<std::uint8_t> bytes;
  bool converted = false;
  std::string detail;
};

Prepared prepareForGltf(std::span<const std::uint8_t> fileBytes, std::string_view nameHint);

}  // namespace kxm::image
