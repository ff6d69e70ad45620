// The values a data chunk holds, read from the file's own bytes by the record layouts, for kxm
// dump --data: what a script would otherwise decode itself. Written element by element to an
// emitter, so that a million vertices never stand in memory as text.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "tree/tree_control.h"

namespace kxm {

// What a vertex data chunk is decoded by: the flags and stride of the chunks before it in its
// mesh, as the reader takes them.
struct VertexContext {
  std::uint32_t flags = 0;
  std::int32_t stride = 0;
};

// Where the values go. A kind ("vertices", "indices", ...) opens with its count of whole records;
// each element is its fields, a field with an empty name being the element's one value.
class DataEmitter {
 public:
  virtual ~DataEmitter() = default;
  virtual void begin(std::string_view kind, std::string_view element, std::uint64_t count) = 0;
  virtual void beginElement(std::uint64_t index) = 0;
  // A list of floats, or (`list` false) the one float it holds.
  virtual void floats(std::string_view name, std::span<const float> values, bool list) = 0;
  virtual void integer(std::string_view name, std::int64_t value) = 0;
  // A colour as the file holds it: 0xAARRGGBB.
  virtual void argb(std::string_view name, std::uint32_t value) = 0;
  virtual void endElement() = 0;
  // Bytes of no known record: custom data, frame bone data.
  virtual void bytes(std::span<const std::uint8_t> bytes) = 0;
  virtual void end() = 0;
};

// Notes the vertex format a sibling chunk (Mesh FVF Flags, Mesh FVF Size) gives its mesh.
void noteVertexFormat(std::span<const std::uint8_t> file, const NodeSource& source,
                      VertexContext& context);

// Writes the values of a data chunk to `out`; false, with nothing written, for any other node.
// Only the payload's bytes inside the file are read, and only whole records.
bool writeChunkData(std::span<const std::uint8_t> file, const NodeSource& source,
                    const VertexContext& context, DataEmitter& out);

}  // namespace kxm
