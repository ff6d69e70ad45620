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

// Asks the system (Linux) to back a big buffer with huge pages before it is first touched: a
// 2048 x 2048 texture is 4,096 page faults otherwise, and where they are slow (our virtual
// machines) they are a third of a conversion. Only a hint; elsewhere it does nothing.
void preferHugePages(const void* data, std::size_t bytes);

}  // namespace detail
}  // namespace kxm::image
