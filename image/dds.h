// The DDS reader, and what every decoder here shares: the pixel budget and its words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "image/image.h"

namespace kxm::image {

// The first image of a flat DDS texture: DXT1 (with or without its 1-bit alpha), DXT3, DXT5
// (blocks by libsquish), or uncompressed pixels of 8 to 32 bits laid out
// by channel masks. Cube maps, volumes and DX10 headers are Unsupported, saying which.
Decoded decodeDds(std::span<const std::uint8_t> bytes, const Limits& limits);

namespace detail {

// The DDS layout the reader and the writer share: "DDS ", a 124-byte header, then the pixels of
// the first image (mip level 0, face 0).
namespace dds {
constexpr std::size_t kMagicSize = 4;
constexpr std::uint32_t kHeaderSize = 124;
constexpr std::size_t kDataOffset = kMagicSize + kHeaderSize;
constexpr std::uint32_t kPixelFormatSize = 32;
// Where each field lies, from the start of the file (the magic's 4 bytes first).
constexpr std::size_t kAtSize = 4, kAtFlags = 8, kAtHeight = 12, kAtWidth = 16;
constexpr std::size_t kAtLinearSize = 20, kAtDepth = 24;
constexpr std::size_t kAtPixelFormatSize = 76, kAtPixelFlags = 80, kAtFourCC = 84;
constexpr std::size_t kAtBitCount = 88, kAtMasks = 92, kAtCaps = 108, kAtCaps2 = 112;

// Header flags: which fields are valid.
constexpr std::uint32_t kFlagCaps = 0x1, kFlagHeight = 0x2, kFlagWidth = 0x4;
constexpr std::uint32_t kFlagPixelFormat = 0x1000, kFlagLinearSize = 0x80000;
constexpr std::uint32_t kFlagDepth = 0x800000;
// Pixel format flags.
constexpr std::uint32_t kPixelFourCC = 0x4;         // compressed, named by its FourCC
constexpr std::uint32_t kPixelRgb = 0x40;           // masks for red, green, blue
constexpr std::uint32_t kPixelLuminance = 0x20000;  // one grey channel in the red mask
// Caps.
constexpr std::uint32_t kCapsTexture = 0x1000;
constexpr std::uint32_t kCaps2CubeMap = 0x200;
constexpr std::uint32_t kCaps2Volume = 0x200000;
}  // namespace dds

struct Failure {
  Status status;
  std::string detail;
};

// Whether `width` x `height` pixels of what `what` names ("the BMP") may be decoded: no side of
// 0 (Unreadable), none above kMaxDimension and no more RGBA bytes than the limit (TooLarge).
std::optional<Failure> checkPixelBudget(const char* what, std::uint64_t width, std::uint64_t height,
                                        const Limits& limits);

// "12 bytes", "3.5 KiB", "64.0 MiB", "16.0 GiB".
std::string describeBytes(std::uint64_t bytes);

// "256 x 128".
std::string describeSize(std::uint64_t width, std::uint64_t height);

}  // namespace detail
}  // namespace kxm::image
