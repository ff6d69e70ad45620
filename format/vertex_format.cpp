#include "format/vertex_format.h"

#include "format/little_endian.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kxm {

namespace {

// The size code of set i lies in two bits at 16 + 2i. Sets 8 and up (a malformed count can claim
// fifteen) would lie at bit 32 or above: they read as code 0, and no size-bit request matches.
std::uint32_t sizeCode(std::uint32_t flags, std::uint32_t i) {
  return i < 8 ? (flags >> (16 + 2 * i)) & 3u : 0u;
}
std::uint32_t sizeBits(std::uint32_t code, std::uint32_t i) {
  return i < 8 ? code << (16 + 2 * i) : 0u;
}

// Bytes of the position block, by the position bits (1 to 3) of the flags.
constexpr std::int32_t kPositionBytes[8] = {0, 12, 16, 16, 20, 24, 28, 32};

}  // namespace

std::int32_t fvfTexCoordSize(std::uint32_t flags, std::uint32_t i) {
  if ((flags & 0xF00) == 0) return 0;
  switch (sizeCode(flags, i)) {
    case 0: return 8;
    case 1: return 12;
    case 2: return 16;
    default: return 4;
  }
}

std::int32_t fvfVertexSize(std::uint32_t flags) {
  static constexpr std::int32_t kPositionBlock[8] = {0, 12, 16, 16, 20, 24, 28, 32};
  std::int32_t size = kPositionBlock[(flags & 0x00E) >> 1];
  if (flags & 0x010) size += 12;
  for (std::uint32_t bit : {0x020u, 0x040u, 0x080u}) {
    if (flags & bit) size += 4;  // point size, diffuse, specular
  }
  for (std::uint32_t i = 0; i < fvfTexCoordSets(flags); ++i) size += fvfTexCoordSize(flags, i);
  return size;
}

std::int32_t fvfComponentOffset(std::uint32_t flags, std::uint32_t component, std::uint8_t texSet) {
  if (flags == 0) return -1;
  if (component != 0 && (flags & component) != component) return -1;
  const std::uint32_t positionBits = flags & 0x00E;
  if (component != 0 && component == positionBits) return 0;

  std::int32_t offset = kPositionBytes[positionBits >> 1];
  if (component == 0x010) return offset;
  if (flags & 0x010) offset += 12;
  if (component == 0x020) return offset;
  if (flags & 0x020) offset += 4;
  if (component == 0x040) return offset;
  if (flags & 0x040) offset += 4;
  if (component == 0x080) return offset;
  if (flags & 0x080) offset += 4;

  const std::uint32_t sets = fvfTexCoordSets(flags);
  for (std::uint32_t i = 0; i < sets; ++i) {
    switch (fvfTexCoordSize(flags, i)) {
      case 4:
        if (i < 8 && component == sizeBits(3, i)) return offset;
        offset += 4;
        break;
      case 8:
        if (i == texSet && component == 0) return offset;
        offset += 8;
        break;
      case 12:
        if (i < 8 && component == sizeBits(1, i)) return offset;
        offset += 12;
        break;
      default:
        if (i < 8 && component == sizeBits(2, i)) return offset;
        offset += 16;
        break;
    }
  }
  return -1;
}

std::int32_t fvfTexCoordOffset(std::uint32_t flags, std::uint32_t set) {
  if (flags == 0 || set >= fvfTexCoordSets(flags)) return -1;
  // Past the last component before the sets: the specular colour, else what comes before it.
  std::int32_t offset = 0;
  for (const std::uint32_t component : {0x080u, 0x040u, 0x020u, 0x010u}) {
    if ((flags & component) != 0) {
      offset = fvfComponentOffset(flags, component, 0) + (component == 0x010 ? 12 : 4);
      break;
    }
  }
  if (offset == 0 && (flags & 0x00E) != 0) {
    offset = fvfComponentOffset(flags, flags & 0x00E, 0) + kPositionBytes[(flags & 0x00E) >> 1];
  }
  for (std::uint32_t i = 0; i < set; ++i) offset += fvfTexCoordSize(flags, i);
  return offset;
}

void fvfComponentLetters(std::uint32_t flags, char (&letters)[6]) {
  char* out = letters;
  if (fvfComponentOffset(flags, kFvfPosition, 0) != -1) *out++ = 'P';
  if (fvfComponentOffset(flags, kFvfNormal, 0) != -1) *out++ = 'N';
  if (fvfComponentOffset(flags, kFvfDiffuse, 0) != -1) *out++ = 'C';
  if (fvfComponentOffset(flags, 0, 0) != -1) *out++ = '1';
  if (fvfComponentOffset(flags, 0, 1) != -1) *out++ = '2';
  *out = '\0';
}

VertexLayout vertexLayout(std::uint32_t flags) {
  VertexLayout layout;
  layout.posOffset = fvfComponentOffset(flags, kFvfPosition, 0);
  layout.diffuseOffset = fvfComponentOffset(flags, kFvfDiffuse, 0);
  layout.tex0Offset = fvfComponentOffset(flags, 0, 0);
  layout.tex1Offset = fvfComponentOffset(flags, 0, 1);
  auto reach = [&layout](std::int32_t offset, std::int32_t width) {
    if (offset != -1) layout.span = std::max(layout.span, offset + width);
  };
  reach(layout.posOffset, 12);
  reach(layout.diffuseOffset, 4);
  reach(layout.tex0Offset, 8);
  reach(layout.tex1Offset, 8);
  return layout;
}

namespace {

// 1/255 rounded to a float, as the exporters scale colour bytes.
const float kByteToUnit = std::bit_cast<float>(0x3B808081u);

void convertInto(const std::uint8_t* vertex, const VertexLayout& layout, MeshVertex& out) {
  out = MeshVertex{};
  if (layout.posOffset != -1) loadFloatsLe(vertex + layout.posOffset, out.position, 3);
  if (layout.diffuseOffset != -1) {
    const std::uint32_t colour = loadU32Le(vertex + layout.diffuseOffset);
    out.diffuse[0] = static_cast<float>((colour >> 16) & 0xFF) * kByteToUnit;
    out.diffuse[1] = static_cast<float>((colour >> 8) & 0xFF) * kByteToUnit;
    out.diffuse[2] = static_cast<float>(colour & 0xFF) * kByteToUnit;
    out.diffuse[3] = static_cast<float>(colour >> 24) * kByteToUnit;
  }
  if (layout.tex0Offset != -1) loadFloatsLe(vertex + layout.tex0Offset, out.texCoord0, 2);
  if (layout.tex1Offset != -1) loadFloatsLe(vertex + layout.tex1Offset, out.texCoord1, 2);
}

}  // namespace

MeshVertex convertVertex(const std::uint8_t* vertex, const VertexLayout& layout) {
  MeshVertex out;
  convertInto(vertex, layout, out);
  return out;
}

std::uint32_t readNormals(const std::uint8_t* image, std::uint32_t imageSize, std::int64_t base,
                          std::int32_t stride, std::uint32_t count, std::int32_t normalOffset,
                          Normal* out) {
  const std::int64_t last = std::int64_t{imageSize} - 12;
  for (std::uint32_t k = 0; k < count; ++k, base += stride) {
    const std::int64_t at = base + normalOffset;
    if (at < 0 || at > last) return k;
    loadFloatsLe(image + at, out[k].value, 3);
  }
  return count;
}

std::uint32_t convertVertices(const std::uint8_t* image, std::uint32_t imageSize, std::int64_t base,
                              std::int32_t stride, std::uint32_t count, const VertexLayout& layout,
                              MeshVertex* out) {
  if (layout.span == 0) {  // nothing to read: every vertex has the missing-component values
    std::fill(out, out + count, MeshVertex{});
    return count;
  }
  const std::int64_t last = std::int64_t{imageSize} - layout.span;
  for (std::uint32_t k = 0; k < count; ++k, base += stride) {
    if (base < 0 || base > last) return k;
    convertInto(image + base, layout, out[k]);
  }
  return count;
}

}  // namespace kxm
