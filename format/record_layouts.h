// The records of a KXM file byte by byte: each record's size, and the offset, type and count of
// its fields. Every number is little-endian (format/little_endian.h). The reader reads by these,
// kxm diff compares by them, and our writers write by them: a size or an offset is said here
// and nowhere else.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kxm::layout {

enum class FieldType : std::uint8_t {
  UInt32,   // unsigned 32-bit: a key's time, a chunk's code and length
  Int32,    // signed 32-bit
  UInt16,   // an index
  UInt8,    // a byte
  Float32,  // `count` 32-bit floats one after another
  Argb,     // a colour: alpha, red, green, blue, 8 bits each from the top
  Unused,   // `count` bytes read past and kept nowhere
};

struct Field {
  std::string_view name;  // empty for the one field of a record that is just a value
  std::uint32_t offset;
  FieldType type;
  std::uint32_t count = 1;  // values of `type`; bytes for Unused

  constexpr std::uint32_t size() const {
    switch (type) {
      case FieldType::UInt16: return 2 * count;
      case FieldType::UInt8:
      case FieldType::Unused: return count;
      default: return 4 * count;
    }
  }
  constexpr std::uint32_t end() const { return offset + size(); }
};

struct RecordLayout {
  std::uint32_t size;
  std::span<const Field> fields;

  // The field of that name; asked in a constant expression, a wrong name does not compile.
  constexpr const Field& field(std::string_view name) const {
    for (const Field& f : fields) {
      if (f.name == name) return f;
    }
    throw "no such field";
  }
};

namespace fields {
using enum FieldType;
inline constexpr Field kChunkHead[] = {{"code", 0, UInt32}, {"length", 4, UInt32}};
inline constexpr Field kHeaderTail[] = {
    {"file_version", 0, Int32}, {"reserved1", 4, Int32}, {"reserved2", 8, Int32}};
inline constexpr Field kPositionKey[] = {
    {"time", 0, UInt32}, {"value", 4, Float32, 3}, {"unused", 16, Unused, 12}};
inline constexpr Field kRotationKey[] = {{"time", 0, UInt32}, {"value", 4, Float32, 4}};
inline constexpr Field kMatrixKey[] = {
    {"time", 0, UInt32}, {"matrix", 4, Float32, 16}, {"unused", 68, Unused, 64}};
inline constexpr Field kMaterial[] = {{"diffuse", 0, Float32, 4},
                                      {"ambient", 16, Float32, 4},
                                      {"specular", 32, Float32, 4},
                                      {"emissive", 48, Float32, 4},
                                      {"power", 64, Float32, 1}};
inline constexpr Field kMatrix[] = {{"", 0, Float32, 16}};
inline constexpr Field kVector[] = {{"", 0, Float32, 3}};
inline constexpr Field kIndex[] = {{"", 0, UInt16}};
inline constexpr Field kBoneVertex[] = {{"", 0, Int32}};
inline constexpr Field kBoneWeight[] = {{"", 0, Float32, 1}};
}  // namespace fields

// Every chunk opens with its code and the length of its payload.
inline constexpr RecordLayout kChunkHead{8, fields::kChunkHead};

// The header: str_length at 0, then str_length bytes of file_id, then these three numbers.
inline constexpr std::uint32_t kFileIdOffset = 4;
inline constexpr RecordLayout kHeaderTail{12, fields::kHeaderTail};
// The file id the header must hold, read with the zero byte that follows it.
inline constexpr char kFileId[] = "MAGICKXM";
inline constexpr std::int32_t kFileVersion = 1;

// Keys of "Position Data" and "Scale Data", "Rotation Data", "Matrix Data".
inline constexpr RecordLayout kPositionKey{28, fields::kPositionKey};
inline constexpr RecordLayout kScaleKey = kPositionKey;
inline constexpr RecordLayout kRotationKey{20, fields::kRotationKey};
inline constexpr RecordLayout kMatrixKey{132, fields::kMatrixKey};
// Seventeen floats in the order of a Direct3D 9 material.
inline constexpr RecordLayout kMaterial{68, fields::kMaterial};
// A frame's matrix, a bone's translation matrix: sixteen floats.
inline constexpr RecordLayout kMatrix{64, fields::kMatrix};
// A frame's offset, rotation (radians) or scale.
inline constexpr RecordLayout kVector{12, fields::kVector};
inline constexpr RecordLayout kIndex{2, fields::kIndex};
inline constexpr RecordLayout kBoneVertex{4, fields::kBoneVertex};
inline constexpr RecordLayout kBoneWeight{4, fields::kBoneWeight};

}  // namespace kxm::layout
