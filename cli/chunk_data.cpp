#include "cli/chunk_data.h"

#include <algorithm>
#include <array>

#include "format/chunk_catalogue.h"
#include "format/little_endian.h"
#include "format/record_layouts.h"
#include "format/vertex_format.h"

namespace kxm {

namespace {

using layout::Field;
using layout::FieldType;
using layout::RecordLayout;

// The payload's bytes that lie inside the file: a chunk may claim more than there is.
std::span<const std::uint8_t> payloadOf(std::span<const std::uint8_t> file,
                                        const NodeSource& source) {
  const std::uint64_t start = std::uint64_t{source.offset} + layout::kChunkHead.size;
  if (start >= file.size()) return {};
  const std::uint64_t end = std::min<std::uint64_t>(start + source.length, file.size());
  return file.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

// One field of a record, by its layout: floats, or a whole number. Unused bytes are left out.
void writeField(const Field& field, std::string_view name, const std::uint8_t* record,
                DataEmitter& out) {
  switch (field.type) {
    case FieldType::Float32: {
      std::array<float, 16> values{};
      const std::uint32_t n = std::min<std::uint32_t>(field.count, 16);
      loadFloatsLe(record + field.offset, values.data(), n);
      out.floats(name, {values.data(), n}, n != 1);
      break;
    }
    case FieldType::UInt32: out.integer(name, loadU32Le(record + field.offset)); break;
    case FieldType::Int32:
      out.integer(name, static_cast<std::int32_t>(loadU32Le(record + field.offset)));
      break;
    case FieldType::UInt16: out.integer(name, loadU16Le(record + field.offset)); break;
    case FieldType::UInt8: out.integer(name, record[field.offset]); break;
    case FieldType::Argb: out.argb(name, loadU32Le(record + field.offset)); break;
    case FieldType::Unused: break;
  }
}

// Every whole record of the payload, each field by its layout.
void writeRecords(std::span<const std::uint8_t> payload, const RecordLayout& record,
                  std::string_view kind, std::string_view element, DataEmitter& out) {
  const std::uint64_t count = payload.size() / record.size;
  out.begin(kind, element, count);
  for (std::uint64_t i = 0; i < count; ++i) {
    out.beginElement(i);
    for (const Field& field : record.fields) {
      writeField(field, field.name, payload.data() + i * record.size, out);
    }
    out.endElement();
  }
  out.end();
}

// Each vertex's components where the flags put them: the position, the normal the file holds,
// the colour and every texture set.
void writeVertices(std::span<const std::uint8_t> payload, const VertexContext& context,
                   DataEmitter& out) {
  const std::uint32_t flags = context.flags;
  const std::int32_t position = fvfComponentOffset(flags, flags & 0x00E, 0);
  const std::int32_t normal = fvfComponentOffset(flags, kFvfNormal, 0);
  const std::int32_t colour = fvfComponentOffset(flags, kFvfDiffuse, 0);
  const std::uint32_t sets = fvfTexCoordSets(flags);
  std::int64_t span = (flags & 0x00E) != 0 ? 12 : 0;
  if (normal >= 0) span = std::max<std::int64_t>(span, normal + 12);
  if (colour >= 0) span = std::max<std::int64_t>(span, colour + 4);
  if (sets > 0) {
    span = std::max<std::int64_t>(
        span, fvfTexCoordOffset(flags, sets - 1) + fvfTexCoordSize(flags, sets - 1));
  }
  // A stride below what the components take reads no vertex, as the reader reads none.
  const std::uint64_t count = context.stride > 0 && context.stride >= span
                                  ? payload.size() / static_cast<std::uint32_t>(context.stride)
                                  : 0;
  static constexpr std::array<std::string_view, 16> kSets = {
      "texCoord0",  "texCoord1",  "texCoord2",  "texCoord3", "texCoord4",  "texCoord5",
      "texCoord6",  "texCoord7",  "texCoord8",  "texCoord9", "texCoord10", "texCoord11",
      "texCoord12", "texCoord13", "texCoord14", "texCoord15"};
  out.begin("vertices", "vertex", count);
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint8_t* v = payload.data() + i * static_cast<std::uint32_t>(context.stride);
    std::array<float, 4> f{};
    out.beginElement(i);
    if ((flags & 0x00E) != 0) {
      loadFloatsLe(v + position, f.data(), 3);
      out.floats("position", {f.data(), 3}, true);
    }
    if (normal >= 0) {
      loadFloatsLe(v + normal, f.data(), 3);
      out.floats("normal", {f.data(), 3}, true);
    }
    if (colour >= 0) out.argb("colour", loadU32Le(v + colour));
    for (std::uint32_t s = 0; s < sets; ++s) {
      const auto n = static_cast<std::uint32_t>(fvfTexCoordSize(flags, s) / 4);
      loadFloatsLe(v + fvfTexCoordOffset(flags, s), f.data(), n);
      out.floats(kSets[s], {f.data(), n}, true);
    }
    out.endElement();
  }
  out.end();
}

}  // namespace

void noteVertexFormat(std::span<const std::uint8_t> file, const NodeSource& source,
                      VertexContext& context) {
  if (source.kind != NodeSource::Kind::Chunk) return;
  if (source.code != chunk::MeshFvfFlags && source.code != chunk::MeshFvfSize) return;
  const std::span<const std::uint8_t> payload = payloadOf(file, source);
  if (payload.size() < 4) return;
  const std::uint32_t value = loadU32Le(payload.data());
  if (source.code == chunk::MeshFvfFlags) {
    context.flags = value;
  } else {
    context.stride = static_cast<std::int32_t>(value);
  }
}

bool writeChunkData(std::span<const std::uint8_t> file, const NodeSource& source,
                    const VertexContext& context, DataEmitter& out) {
  if (source.kind != NodeSource::Kind::Chunk) return false;
  const std::span<const std::uint8_t> payload = payloadOf(file, source);
  switch (source.code) {
    case chunk::MeshVertexData: writeVertices(payload, context, out); return true;
    case chunk::MeshIndexData:
      writeRecords(payload, layout::kIndex, "indices", "index", out);
      break;
    case chunk::BonesVertices:
      writeRecords(payload, layout::kBoneVertex, "boneVertices", "bone vertex", out);
      break;
    case chunk::BonesWeights:
      writeRecords(payload, layout::kBoneWeight, "boneWeights", "bone weight", out);
      break;
    case chunk::PositionData:
      writeRecords(payload, layout::kPositionKey, "positionKeys", "position key", out);
      break;
    case chunk::RotationData:
      writeRecords(payload, layout::kRotationKey, "rotationKeys", "rotation key", out);
      break;
    case chunk::ScaleData:
      writeRecords(payload, layout::kScaleKey, "scaleKeys", "scale key", out);
      break;
    case chunk::MatrixData:
      writeRecords(payload, layout::kMatrixKey, "matrixKeys", "matrix key", out);
      break;
    case chunk::FrameMatrix:
    case chunk::BonesTranslationMatrix:
      writeRecords(payload, layout::kMatrix, "matrix", "matrix", out);
      break;
    case chunk::MeshMaterial:
    case chunk::MultiMaterialMaterial:
      writeRecords(payload, layout::kMaterial, "material", "material", out);
      break;
    case chunk::CustomData:  // and a frame's bone matrix data, of the same code
      out.begin("bytes", "bytes", payload.size());
      out.bytes(payload);
      out.end();
      break;
    default: return false;
  }
  return true;
}

}  // namespace kxm
