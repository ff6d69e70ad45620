// A small KXM writer for the tests, the sample model and the benchmarks: chunks are opened and
// closed like brackets and their lengths filled in on close. Everything is little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "format/chunk_catalogue.h"
#include "format/record_layouts.h"

namespace kxm::test {

class KxmWriter {
 public:
  // Starts with the usual header: "MAGICKXM", version 1, reserved 0 and 0.
  KxmWriter();
  // Starts empty, for files whose header is under test.
  static KxmWriter bare();

  KxmWriter& u8(std::uint8_t v);
  KxmWriter& u16(std::uint16_t v);
  KxmWriter& u32(std::uint32_t v);
  KxmWriter& i32(std::int32_t v);
  KxmWriter& f32(float v);
  KxmWriter& floats(std::initializer_list<float> values);
  KxmWriter& raw(std::string_view bytes);
  KxmWriter& raw(const std::vector<std::uint8_t>& bytes);
  KxmWriter& zeros(std::size_t n);
  // A length-prefixed string.
  KxmWriter& str(std::string_view text);
  // The usual header with chosen fields.
  KxmWriter& header(std::string_view fileId = layout::kFileId,
                    std::int32_t version = layout::kFileVersion, std::int32_t reserved1 = 0,
                    std::int32_t reserved2 = 0);

  // Opens a chunk; its length is written when it is closed.
  KxmWriter& open(std::uint32_t code);
  KxmWriter& close();
  // Closes every chunk still open, innermost first: a file cut off in the middle of them.
  KxmWriter& closeAll();
  // A chunk head with a length of our choosing (and no payload written).
  KxmWriter& head(std::uint32_t code, std::uint32_t length);
  // Whole chunks in one call.
  KxmWriter& end() { return head(0, 0); }
  KxmWriter& chunkU32(std::uint32_t code, std::uint32_t v) { return open(code).u32(v).close(); }
  KxmWriter& chunkI32(std::uint32_t code, std::int32_t v) { return open(code).i32(v).close(); }
  KxmWriter& chunkU8(std::uint32_t code, std::uint8_t v) { return open(code).u8(v).close(); }
  KxmWriter& chunkF32(std::uint32_t code, float v) { return open(code).f32(v).close(); }
  KxmWriter& chunkStr(std::uint32_t code, std::string_view s) { return open(code).str(s).close(); }
  KxmWriter& chunkFloats(std::uint32_t code, std::initializer_list<float> v) {
    return open(code).floats(v).close();
  }
  // A mesh's vertices of position only (flags, size, count and data), three floats each.
  KxmWriter& positions(const std::vector<float>& xyz);
  // A mesh's 16-bit indices, their count first.
  KxmWriter& indices(const std::vector<std::uint16_t>& list);

  // Remembers where the next byte goes: the place a test's expected offsets count from.
  KxmWriter& mark() {
    mark_ = size();
    return *this;
  }
  std::uint32_t marked() const { return static_cast<std::uint32_t>(mark_); }

  std::size_t size() const { return bytes_.size(); }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  // Writes the bytes to path; false when that fails.
  bool save(const std::string& path) const;

 private:
  struct Bare {};
  explicit KxmWriter(Bare) {}
  std::vector<std::uint8_t> bytes_;
  std::vector<std::size_t> open_;
  std::size_t mark_ = 0;
};

// A chain of chunks that run past their parents: each level is a chunk of 8 bytes whose payload
// is the head of a chunk covering the next levels, so a walk enters that chunk twice, once below
// the 8-byte chunk and again after it, and every level doubles the chunk heads read: 16 bytes a
// level, a few hundred bytes asking for billions of heads. Code 220 ("Next ANIMATION") inside an
// animation set, or 104 ("Frame CHILD") inside a root frame; `padding` puts a top-level chunk of
// that many bytes in front.
KxmWriter overflowingChain(std::uint32_t code, int levels, std::uint32_t padding = 0);

}  // namespace kxm::test
