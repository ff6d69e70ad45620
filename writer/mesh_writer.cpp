// A mesh: its vertex format and vertices, indices, drawing counts, material (those of them the
// mesh has), the values the viewer only shows, then its textures, multi-materials and bones,
// each list after its count.
#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "format/record_layouts.h"
#include "format/vertex_format.h"
#include "writer/parts.h"

namespace kxm {

namespace {

void putFloats(std::uint8_t* at, const float* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(values[i]);
    for (std::size_t b = 0; b < 4; ++b) at[4 * i + b] = static_cast<std::uint8_t>(bits >> (8 * b));
  }
}

// A colour's channel back to the byte it was read from: the reader scales bytes by 1/255.
std::uint32_t channel(float value, int shift) {
  const float scaled = std::clamp(value * 255.0f, 0.0f, 255.0f);  // NaN fails both and stays
  const auto byte = std::isnan(scaled) ? 0u : static_cast<std::uint32_t>(std::lround(scaled));
  return byte << shift;
}

void putColour(std::uint8_t* at, const float (&rgba)[4]) {
  const std::uint32_t argb =
      channel(rgba[3], 24) | channel(rgba[0], 16) | channel(rgba[1], 8) | channel(rgba[2], 0);
  for (std::size_t b = 0; b < 4; ++b) at[b] = static_cast<std::uint8_t>(argb >> (8 * b));
}

// Every vertex at the stride of its whole format; the components the model does not keep are 0.
void writeVertices(ChunkBytes& w, const Mesh& mesh) {
  const std::uint32_t flags = mesh.fvfFlags;
  const std::int32_t stride = fvfVertexSize(flags);
  if (mesh.has.fvfFlags) w.chunkU32(chunk::MeshFvfFlags, flags);
  if (mesh.has.fvfSize) w.chunkI32(chunk::MeshFvfSize, stride);
  if (mesh.vertices.empty()) return;
  w.chunkI32(chunk::MeshVertexCount, mesh.vertices.count());
  const VertexLayout at = vertexLayout(flags);
  const std::int32_t normalAt = fvfComponentOffset(flags, kFvfNormal, 0);
  const bool normals = normalAt >= 0 && mesh.normals.count() == mesh.vertices.count();
  w.open(chunk::MeshVertexData);
  const auto size = static_cast<std::size_t>(stride);
  std::uint8_t* vertex = w.append(static_cast<std::size_t>(mesh.vertices.count()) * size);
  for (std::int32_t i = 0; i < mesh.vertices.count(); ++i, vertex += size) {
    const MeshVertex& v = mesh.vertices[static_cast<std::size_t>(i)];
    if (at.posOffset >= 0) putFloats(vertex + at.posOffset, v.position, 3);
    if (normals) putFloats(vertex + normalAt, mesh.normals[static_cast<std::size_t>(i)].value, 3);
    if (at.diffuseOffset >= 0) putColour(vertex + at.diffuseOffset, v.diffuse);
    if (at.tex0Offset >= 0) putFloats(vertex + at.tex0Offset, v.texCoord0, 2);
    if (at.tex1Offset >= 0) putFloats(vertex + at.tex1Offset, v.texCoord1, 2);
  }
  w.close();
}

void writeIndices(ChunkBytes& w, const Mesh& mesh) {
  if (mesh.indices.empty()) return;
  w.chunkI32(chunk::MeshIndexCount, mesh.indices.count());
  w.open(chunk::MeshIndexData);
  std::uint8_t* at = w.append(static_cast<std::size_t>(mesh.indices.count()) * 2);
  for (std::uint32_t index : mesh.indices) {
    if (index > UINT16_MAX) w.fail("index " + std::to_string(index) + " is above 65535");
    *at++ = static_cast<std::uint8_t>(index);
    *at++ = static_cast<std::uint8_t>(index >> 8);
  }
  w.close();
}

void writeShown(ChunkBytes& w, const std::vector<ShownState>& states) {
  for (const ShownState& state : states) {
    w.open(state.code);
    if (shownValueOf(state.code) == ShownValue::Byte) {
      w.u8(static_cast<std::uint8_t>(state.raw));
    } else {
      w.u32(state.raw);
    }
    w.close();
  }
}

void writeMaterial(ChunkBytes& w, ChunkCode code, const Material& material) {
  static_assert(sizeof(Material) == layout::kMaterial.size);
  w.open(code);
  w.floats(material.diffuse, 4);
  w.floats(material.ambient, 4);
  w.floats(material.specular, 4);
  w.floats(material.emissive, 4);
  w.f32(material.power);
  w.close();
}

void writeTexture(ChunkBytes& w, const Texture& texture) {
  w.chunkName(chunk::TextureName, texture.name);
  for (const ShownState& state : texture.states) w.chunkU32(state.code, state.raw);
  if (texture.hasPrimitiveStart) w.chunkI32(chunk::TexturePrimitiveStart, texture.primitiveStart);
  if (texture.hasPrimitiveCount) w.chunkI32(chunk::TexturePrimitiveCount, texture.primitiveCount);
}

void writeMultiMaterial(ChunkBytes& w, const MultiMaterial& entry) {
  w.chunkName(chunk::MultiMaterialName, entry.name);
  writeMaterial(w, chunk::MultiMaterialMaterial, entry.material);
  w.chunkI32(chunk::MultiMaterialIndexStart, entry.indexStart);
  w.chunkI32(chunk::MultiMaterialIndexCount, entry.indexCount);
  w.chunkI32(chunk::MultiMaterialPolygonCount, entry.polygonCount);
}

// A bone's influence count stands before each array it counts; once where both arrays agree.
void writeBone(ChunkBytes& w, const Bone& bone) {
  w.chunkName(chunk::BonesName, bone.name);
  const std::int32_t vertices = bone.vertexIndices.count(), weights = bone.weights.count();
  w.chunkI32(chunk::BonesNumInfluences, vertices != 0 ? vertices : weights);
  if (vertices != 0) {
    w.open(chunk::BonesVertices);
    for (std::int32_t v : bone.vertexIndices) w.i32(v);
    w.close();
  }
  if (weights != 0) {
    if (weights != vertices && vertices != 0) w.chunkI32(chunk::BonesNumInfluences, weights);
    w.chunkFloats(chunk::BonesWeights, bone.weights.data(), static_cast<std::size_t>(weights));
  }
  w.chunkFloats(chunk::BonesTranslationMatrix, bone.translationMatrix, 16);
}

// A list after its count: every element (the defaults a short list stood for too), each closed by
// an END, and the END that closes the list.
template <class Record>
void writeList(ChunkBytes& w, ChunkCode countCode, ChunkCode listCode,
               const ElementTable<Record>& table, void (*writeOne)(ChunkBytes&, const Record&)) {
  if (table.count() == 0) return;
  if (table.count() > INT32_MAX) {
    w.fail("a list of " + std::to_string(table.count()) + " elements");
    return;
  }
  // The defaults a short list stood for are all alike: what they come to is known before one is
  // written, and a list past what a file holds is refused before it takes the memory.
  const std::uint64_t defaults = table.count() - table.storedCount();
  if (defaults > 0) {
    std::vector<std::uint8_t> one;
    ChunkBytes probe(one);
    writeOne(probe, Record{});
    probe.end();
    if (w.size() > UINT32_MAX || defaults > (UINT32_MAX - w.size()) / one.size()) {
      w.fail("a list of " + std::to_string(table.count()) + " elements, more than a file holds");
      return;
    }
  }
  w.chunkI32(countCode, static_cast<std::int32_t>(table.count()));
  w.open(listCode);
  for (std::uint64_t i = 0; i < table.count() && !w.failed(); ++i) {
    writeOne(w, table.at(i));
    w.end();
  }
  w.end();
  w.close();
}

}  // namespace

void writeMesh(ChunkBytes& w, const Mesh& mesh) {
  writeVertices(w, mesh);
  writeIndices(w, mesh);
  if (mesh.has.primitiveType) w.chunkI32(chunk::MeshPrimitiveType, mesh.primitiveType);
  if (mesh.has.drawVertexCount) w.chunkI32(chunk::MeshDrawVertexCount, mesh.drawVertexCount);
  if (mesh.has.drawPrimitiveCount)
    w.chunkI32(chunk::MeshDrawPrimitiveCount, mesh.drawPrimitiveCount);
  if (mesh.has.material) writeMaterial(w, chunk::MeshMaterial, mesh.material);
  writeShown(w, mesh.renderStates);
  writeList(w, chunk::MeshTextureCount, chunk::MeshTextures, mesh.textures, writeTexture);
  writeList(w, chunk::MultipleMaterialCount, chunk::MultipleMaterials, mesh.multiMaterials,
            writeMultiMaterial);
  writeList(w, chunk::MeshBoneCount, chunk::MeshBonesData, mesh.bones, writeBone);
  w.end();
}

}  // namespace kxm
