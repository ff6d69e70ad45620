// The bytes of a KXM file as they are written: chunks opened and closed like brackets, each
// length filled in when its chunk closes. Numbers little-endian, as the format has them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/chunk_catalogue.h"

namespace kxm {

class ChunkBytes {
 public:
  explicit ChunkBytes(std::vector<std::uint8_t>& out) : out_(out) {}

  void u8(std::uint8_t v) { out_.push_back(v); }
  void u16(std::uint16_t v);
  void u32(std::uint32_t v);
  void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void f32(float v);
  void floats(const float* values, std::size_t count);
  void zeros(std::size_t count) { out_.insert(out_.end(), count, 0); }
  void bytes(const std::uint8_t* data, std::size_t count) {
    out_.insert(out_.end(), data, data + count);
  }
  // `count` zero bytes appended, to be filled in place: a payload of a million vertices is
  // written where it stays, not pushed a byte at a time.
  std::uint8_t* append(std::size_t count);
  // Room for `count` more bytes, so that the file is not copied as it grows.
  void reserve(std::size_t count);
  // A length-prefixed string: a name of the model, at most 127 bytes before its zero.
  void name(const char* text);

  void open(ChunkCode code);
  // False, and the error said, when the payload passed what a length can hold.
  bool close();
  void end() {
    open(chunk::End);
    close();
  }
  void chunkU32(ChunkCode code, std::uint32_t v) {
    open(code);
    u32(v);
    close();
  }
  void chunkI32(ChunkCode code, std::int32_t v) { chunkU32(code, static_cast<std::uint32_t>(v)); }
  void chunkName(ChunkCode code, const char* text) {
    open(code);
    name(text);
    close();
  }
  void chunkFloats(ChunkCode code, const float* values, std::size_t count) {
    open(code);
    floats(values, count);
    close();
  }

  std::size_t size() const { return out_.size(); }
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  void fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::vector<std::size_t> open_;  // where each open chunk's length goes
  std::string error_;
};

// A key time or a set's length, a float of the model, as the file's unsigned 32 bits: the
// nearest, held inside 0 to 4294967295.
std::uint32_t fileTicks(float time);

}  // namespace kxm
