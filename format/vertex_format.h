// Flexible vertex format arithmetic: where a component lies in a file vertex, what a texture
// coordinate set weighs, the component letters of a flags label, and the conversion of one file
// vertex into a MeshVertex. Pure functions; nothing here reads the file.
#pragma once

#include <cstdint>

#include "model/model.h"

namespace kxm {

inline constexpr std::uint32_t kFvfPosition = 0x002;
inline constexpr std::uint32_t kFvfNormal = 0x010;
inline constexpr std::uint32_t kFvfDiffuse = 0x040;

// How many texture coordinate sets the flags give (bits 8 to 11), 0 to 15.
inline std::uint32_t fvfTexCoordSets(std::uint32_t flags) {
  return (flags >> 8) & 0xF;
}

// Bytes of texture coordinate set i: 4, 8, 12 or 16; 0 when the flags have no sets.
std::int32_t fvfTexCoordSize(std::uint32_t flags, std::uint32_t i);

// Bytes of one whole vertex of the format: every component it names, texture sets included.
std::int32_t fvfVertexSize(std::uint32_t flags);

// Offset of a component from the start of a vertex, -1 when the format lacks it. A two-float
// texture set is asked for by component 0 and its index.
std::int32_t fvfComponentOffset(std::uint32_t flags, std::uint32_t component, std::uint8_t texSet);

// Offset of texture coordinate set `set` (of fvfTexCoordSize bytes), -1 past the flags' sets.
std::int32_t fvfTexCoordOffset(std::uint32_t flags, std::uint32_t set);

// "P", "N", "C", "1", "2" for the components present, in that order, into a buffer of six.
void fvfComponentLetters(std::uint32_t flags, char (&letters)[6]);

// The four offsets a vertex data chunk converts by, and the bytes they reach.
struct VertexLayout {
  std::int32_t posOffset = -1;
  std::int32_t diffuseOffset = -1;
  std::int32_t tex0Offset = -1;
  std::int32_t tex1Offset = -1;
  // One past the last byte any component reads; 0 when no component is read at all.
  std::int32_t span = 0;
};
VertexLayout vertexLayout(std::uint32_t flags);

// Converts the file vertex at `vertex`, which must hold layout.span readable bytes.
MeshVertex convertVertex(const std::uint8_t* vertex, const VertexLayout& layout);

// Reads `count` normals, the first at offset `base` of the image plus `normalOffset` and each
// next one `stride` bytes on. Returns how many lie wholly inside the image (the rest are not
// read).
std::uint32_t readNormals(const std::uint8_t* image, std::uint32_t imageSize, std::int64_t base,
                          std::int32_t stride, std::uint32_t count, std::int32_t normalOffset,
                          Normal* out);

// Converts `count` file vertices, the first at offset `base` of the image and each next one
// `stride` bytes on. Every component read must lie wholly inside the image: a vertex that
// reaches outside it, below its start included, stops the conversion. Returns how many
// vertices were converted.
std::uint32_t convertVertices(const std::uint8_t* image, std::uint32_t imageSize, std::int64_t base,
                              std::int32_t stride, std::uint32_t count, const VertexLayout& layout,
                              MeshVertex* out);

}  // namespace kxm
