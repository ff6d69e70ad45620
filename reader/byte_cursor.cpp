#include "reader/byte_cursor.h"

#include <cstring>

#include "format/little_endian.h"
#include "format/record_layouts.h"

namespace kxm {

bool ByteCursor::fits(std::uint64_t n, const char* what) {
  if (image_ != nullptr && offset_ <= size_ && n <= size_ - offset_) return true;
  shortfall_ = {offset_, n, remaining(), what};
  return false;
}

bool ByteCursor::readBytes(void* dest, std::uint32_t n, const char* what) {
  if (!fits(n, what)) return false;
  if (n != 0) std::memcpy(dest, image_ + offset_, n);
  offset_ += n;
  return true;
}

bool ByteCursor::readU8(std::uint8_t& value, const char* what) {
  if (!fits(1, what)) return false;
  value = image_[offset_++];
  return true;
}

bool ByteCursor::readU32Le(std::uint32_t& value, const char* what) {
  if (!fits(4, what)) return false;
  value = loadU32Le(image_ + offset_);
  offset_ += 4;
  return true;
}

bool ByteCursor::readI32Le(std::int32_t& value, const char* what) {
  std::uint32_t raw = 0;
  if (!readU32Le(raw, what)) return false;
  value = static_cast<std::int32_t>(raw);
  return true;
}

bool ByteCursor::readF32Le(float& value, const char* what) {
  if (!fits(4, what)) return false;
  value = loadF32Le(image_ + offset_);
  offset_ += 4;
  return true;
}

bool ByteCursor::readFloatsLe(float* values, std::uint32_t count, const char* what) {
  if (!fits(std::uint64_t{count} * 4, what)) return false;
  loadFloatsLe(image_ + offset_, values, count);
  offset_ += count * 4;
  return true;
}

bool ByteCursor::readChunkHead(ChunkHead& head) {
  constexpr std::uint32_t kCodeAt = layout::kChunkHead.field("code").offset;
  constexpr std::uint32_t kLengthAt = layout::kChunkHead.field("length").offset;
  if (!fits(layout::kChunkHead.size, "chunk head")) return false;
  head.offset = offset_;
  head.code = loadU32Le(image_ + offset_ + kCodeAt);
  head.length = loadU32Le(image_ + offset_ + kLengthAt);
  offset_ += layout::kChunkHead.size;
  head.end = saturatingAdd(offset_, head.length);
  return true;
}

bool ByteCursor::readString(char (&dest)[kStringCapacity], const char* what) {
  std::uint32_t length = 0;
  if (!readU32Le(length, what)) return false;
  if (length >= kStringCapacity) {
    offset_ = saturatingAdd(offset_, length);
    return true;
  }
  return readBytes(dest, length, what);
}

bool ByteCursor::takeSpan(std::uint64_t bytes, std::span<const std::uint8_t>& out,
                          const char* what) {
  if (!fits(bytes, what)) return false;
  out = {image_ + offset_, static_cast<std::size_t>(bytes)};
  offset_ += static_cast<std::uint32_t>(bytes);
  return true;
}

}  // namespace kxm
