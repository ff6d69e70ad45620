#include "tests/support/kxm_writer.h"

#include "format/vertex_format.h"

#include <bit>
#include <cstdio>
#include <stdexcept>

namespace kxm::test {

KxmWriter::KxmWriter() {
  header();
}

KxmWriter KxmWriter::bare() {
  return KxmWriter(Bare{});
}

KxmWriter& KxmWriter::u8(std::uint8_t v) {
  bytes_.push_back(v);
  return *this;
}

KxmWriter& KxmWriter::u16(std::uint16_t v) {
  bytes_.push_back(static_cast<std::uint8_t>(v));
  bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
  return *this;
}

KxmWriter& KxmWriter::u32(std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8)
    bytes_.push_back(static_cast<std::uint8_t>(v >> shift));
  return *this;
}

KxmWriter& KxmWriter::i32(std::int32_t v) {
  return u32(static_cast<std::uint32_t>(v));
}
KxmWriter& KxmWriter::f32(float v) {
  return u32(std::bit_cast<std::uint32_t>(v));
}

KxmWriter& KxmWriter::floats(std::initializer_list<float> values) {
  for (float v : values) f32(v);
  return *this;
}

KxmWriter& KxmWriter::raw(std::string_view text) {
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  return *this;
}

KxmWriter& KxmWriter::raw(const std::vector<std::uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

KxmWriter& KxmWriter::zeros(std::size_t n) {
  bytes_.insert(bytes_.end(), n, 0);
  return *this;
}

KxmWriter& KxmWriter::str(std::string_view text) {
  u32(static_cast<std::uint32_t>(text.size()));
  return raw(text);
}

KxmWriter& KxmWriter::header(std::string_view fileId, std::int32_t version, std::int32_t reserved1,
                             std::int32_t reserved2) {
  return str(fileId).i32(version).i32(reserved1).i32(reserved2);
}

KxmWriter& KxmWriter::open(std::uint32_t code) {
  u32(code);
  open_.push_back(bytes_.size());
  return u32(0);
}

KxmWriter& KxmWriter::closeAll() {
  while (!open_.empty()) close();
  return *this;
}

KxmWriter& KxmWriter::close() {
  if (open_.empty()) throw std::logic_error("KxmWriter: close without open");
  const std::size_t at = open_.back();
  open_.pop_back();
  const auto length = static_cast<std::uint32_t>(bytes_.size() - at - 4);
  for (int i = 0; i < 4; ++i)
    bytes_[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
  return *this;
}

KxmWriter& KxmWriter::head(std::uint32_t code, std::uint32_t length) {
  return u32(code).u32(length);
}

KxmWriter& KxmWriter::positions(const std::vector<float>& xyz) {
  chunkU32(chunk::MeshFvfFlags, kFvfPosition)
      .chunkI32(chunk::MeshFvfSize, static_cast<std::int32_t>(layout::kVector.size))
      .chunkI32(chunk::MeshVertexCount, static_cast<std::int32_t>(xyz.size() / 3));
  open(chunk::MeshVertexData);
  for (float v : xyz) f32(v);
  return close();
}

KxmWriter& KxmWriter::indices(const std::vector<std::uint16_t>& list) {
  chunkI32(chunk::MeshIndexCount, static_cast<std::int32_t>(list.size()))
      .open(chunk::MeshIndexData);
  for (std::uint16_t i : list) u16(i);
  return close();
}

bool KxmWriter::save(const std::string& path) const {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes_.data(), 1, bytes_.size(), file) == bytes_.size();
  return std::fclose(file) == 0 && ok;
}

KxmWriter overflowingChain(std::uint32_t code, int levels, std::uint32_t padding) {
  KxmWriter w;
  if (padding != 0) w.head(3, padding).zeros(padding);  // a top-level chunk passed over
  const bool animations = code == chunk::NextAnimation;
  w.open(animations ? chunk::AnimationSetRoot : chunk::FrameRoot);
  if (animations) w.open(chunk::AnimationSetData);
  for (int i = 0; i < levels; ++i) {
    w.head(code, 8).head(code, static_cast<std::uint32_t>(16 * (levels - i - 1) + 8));
  }
  return w.head(500, 0).closeAll();
}

}  // namespace kxm::test
