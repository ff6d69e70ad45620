// The byte cursor over one file image: the only owner of the read offset.
//
// Every read is bounded by the image, checked by subtraction so that nothing wraps: a read that
// would pass the end fails, leaves the offset where it was and records the shortfall (where the
// read began, what it needed, what was left). A read that ends exactly at the end succeeds.
// Offsets saturate at 0xFFFFFFFF, beyond any image, so the cursor never moves backwards through
// an overflow.
#pragma once

#include <cstdint>
#include <span>

#include "format/chunk_catalogue.h"

namespace kxm {

inline constexpr std::uint32_t kOffsetLimit = 0xFFFFFFFFu;

constexpr std::uint32_t saturatingAdd(std::uint32_t offset, std::uint32_t length) {
  return length > kOffsetLimit - offset ? kOffsetLimit : offset + length;
}

// The head of one chunk: where it stands, its code, its payload length and where its payload
// ends (saturated).
struct ChunkHead {
  std::uint32_t offset = 0;
  ChunkCode code = 0;
  std::uint32_t length = 0;
  std::uint32_t end = 0;
};

// Why the last failed read failed. `what` names what was being read (nullptr: a value of the
// chunk being read).
struct Shortfall {
  std::uint32_t offset = 0;
  std::uint64_t needed = 0;
  std::uint32_t left = 0;
  const char* what = nullptr;
};

inline constexpr int kStringCapacity = 128;  // a string of 128 bytes or more is skipped

class ByteCursor {
 public:
  ByteCursor() = default;
  ByteCursor(const std::uint8_t* image, std::uint32_t size) : image_(image), size_(size) {}

  std::uint32_t offset() const { return offset_; }
  std::uint32_t size() const { return size_; }
  std::uint32_t remaining() const { return offset_ < size_ ? size_ - offset_ : 0; }
  std::span<const std::uint8_t> image() const { return {image_, size_}; }
  const Shortfall& shortfall() const { return shortfall_; }

  // Moves to any offset; beyond the image every read fails.
  void seek(std::uint32_t offset) { offset_ = offset; }

  [[nodiscard]] bool readBytes(void* dest, std::uint32_t n, const char* what = nullptr);
  [[nodiscard]] bool readU8(std::uint8_t& value, const char* what = nullptr);
  [[nodiscard]] bool readU32Le(std::uint32_t& value, const char* what = nullptr);
  [[nodiscard]] bool readI32Le(std::int32_t& value, const char* what = nullptr);
  [[nodiscard]] bool readF32Le(float& value, const char* what = nullptr);
  [[nodiscard]] bool readFloatsLe(float* values, std::uint32_t count, const char* what = nullptr);
  // Eight bytes: code and length.
  [[nodiscard]] bool readChunkHead(ChunkHead& head);
  // A length-prefixed string into dest, which the caller zero-filled: no terminator is written.
  // A length of 128 or more skips the bytes unchecked and leaves dest alone; a shorter string
  // that runs past the image fails with its length field consumed.
  [[nodiscard]] bool readString(char (&dest)[kStringCapacity], const char* what = nullptr);
  // `bytes` bytes from the offset on, bounded by the image; the cursor moves past them. For arrays
  // already checked against the file and charged to the load's limits.
  [[nodiscard]] bool takeSpan(std::uint64_t bytes, std::span<const std::uint8_t>& out,
                              const char* what);

 private:
  // True when n bytes from the offset lie inside the image; otherwise records the shortfall.
  bool fits(std::uint64_t n, const char* what);

  const std::uint8_t* image_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t offset_ = 0;
  Shortfall shortfall_;
};

}  // namespace kxm
