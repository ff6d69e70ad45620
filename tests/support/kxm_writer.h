// A small KXM writer for the tests, the sample model and the benchmarks: chunks are opened and
// closed like brackets and their lengths filled in on close. Everything is little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
  KxmWriter& zeros(std::size_t n);
  // A length-prefixed string.
  KxmWriter& str(std::string_view text);
  // The usual header with chosen fields.
  KxmWriter& header(std::string_view fileId = "MAGICKXM", std::int32_t version = 1,
                    std::int32_t reserved1 = 0, std::int32_t reserved2 = 0);

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

  std::size_t size() const { return bytes_.size(); }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  // Writes the bytes to path; false when that fails.
  bool save(const std::string& path) const;

 private:
  struct Bare {};
  explicit KxmWriter(Bare) {}
  std::vector<std::uint8_t> bytes_;
  std::vector<std::size_t> open_;
};

}  // namespace kxm::test
