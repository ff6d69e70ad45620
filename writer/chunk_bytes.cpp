#include "writer/chunk_bytes.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "format/record_layouts.h"
#include "model/block.h"
#include "model/model.h"

namespace kxm {

namespace {
constexpr std::size_t kLengthBytes = layout::kChunkHead.field("length").size();
}  // namespace

void ChunkBytes::u16(std::uint16_t v) {
  out_.push_back(static_cast<std::uint8_t>(v));
  out_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void ChunkBytes::u32(std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out_.push_back(static_cast<std::uint8_t>(v >> shift));
}

void ChunkBytes::f32(float v) {
  u32(std::bit_cast<std::uint32_t>(v));
}

void ChunkBytes::floats(const float* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) f32(values[i]);
}

std::uint8_t* ChunkBytes::append(std::size_t count) {
  const std::size_t at = out_.size();
  // Half again at least, as push_back grows, so that many appends cost one copy each at most.
  if (out_.capacity() - at < count) out_.reserve(std::max(at + count, at + at / 2));
  out_.resize(at + count);
  return out_.data() + at;
}

void ChunkBytes::reserve(std::size_t count) {
  if (out_.capacity() - out_.size() >= count) return;
  out_.reserve(out_.size() + count);
  preferHugePages(out_.data(), out_.capacity());  // first touched by the payloads written
}

void ChunkBytes::name(const char* text) {
  const std::size_t length = ::strnlen(text, kNameSize - 1);
  u32(static_cast<std::uint32_t>(length));
  bytes(reinterpret_cast<const std::uint8_t*>(text), length);
}

void ChunkBytes::open(ChunkCode code) {
  u32(code);
  open_.push_back(out_.size());
  u32(0);
}

bool ChunkBytes::close() {
  const std::size_t at = open_.back();
  open_.pop_back();
  const std::size_t length = out_.size() - at - kLengthBytes;
  if (length > UINT32_MAX) {
    fail("a chunk of " + std::to_string(length) + " bytes, more than a length can hold");
    return false;
  }
  for (std::size_t i = 0; i < 4; ++i) out_[at + i] = static_cast<std::uint8_t>(length >> (8 * i));
  return true;
}

std::uint32_t fileTicks(float time) {
  if (!(time > 0)) return 0;  // NaN too
  if (time >= 4294967295.0f) return UINT32_MAX;
  return static_cast<std::uint32_t>(std::llround(double{time}));
}

}  // namespace kxm
