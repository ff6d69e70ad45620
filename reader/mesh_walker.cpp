// The mesh walker: one "Frame MESH" chunk becomes one Mesh of its frame. Vertices are converted
// from their flexible vertex format, indices widened to 32 bits; the three element lists go to
// the element walkers.
#include <algorithm>
#include <cstring>
#include <span>

#include "reader/chunk_reader.h"
#include "reader/little_endian.h"
#include "reader/vertex_format.h"

namespace kxm {

namespace {

// What one mesh's earlier chunks set for its later ones.
struct MeshWalkState {
  std::uint32_t fvfFlags = 0;
  std::int32_t fvfSize = 0;  // a signed stride
  std::int32_t pendingVertexCount = 0;
  std::int32_t pendingIndexCount = 0;
  std::int32_t pendingBoneCount = 0;
  std::int32_t pendingMultiMaterialCount = 0;
  std::int32_t pendingTextureCount = 0;
};

bool readVertexData(ChunkReader& r, Mesh& mesh, const MeshWalkState& state) {
  const std::int32_t count = state.pendingVertexCount;
  if (count == 0) return true;
  const VertexLayout layout = vertexLayout(state.fvfFlags);
  const std::uint32_t start = r.cursor.offset();
  const auto vertices = static_cast<std::uint32_t>(count);
  // A file of n bytes may describe at most n vertices: a larger count is refused before
  // anything is allocated. (A negative count reads as 2^31 or more and ends at the limit.)
  if (vertices > r.cursor.size()) {
    return r.fail(FailureCause::CountExceedsFile, start,
                  "vertex count " + std::to_string(vertices) + " is above the file's size of " +
                      std::to_string(r.cursor.size()) + " bytes");
  }
  if (!r.chargeArray(vertices, sizeof(MeshVertex), "vertices")) return false;
  if (!allocVertices(mesh, count)) return r.outOfMemory("vertices");

  // Every component read lies wholly inside the image; a vertex that reaches outside it, or
  // that a negative stride moved below its start, fails the walk.
  const std::span<const std::uint8_t> image = r.cursor.image();
  const std::uint32_t converted =
      convertVertices(image.data(), r.cursor.size(), start, state.fvfSize, vertices, layout,
                      mesh.vertices.data());
  if (converted == vertices) return true;
  const std::int64_t base = std::int64_t{start} + std::int64_t{converted} * state.fvfSize;
  const auto offset = static_cast<std::uint32_t>(std::clamp<std::int64_t>(base, 0, kOffsetLimit));
  return r.fail(FailureCause::VertexOutsideFile, offset,
                "vertex " + std::to_string(converted) + " of " + std::to_string(vertices) +
                    " (stride " + std::to_string(state.fvfSize) + ", " +
                    std::to_string(layout.span) + " bytes of components) lies outside the file");
}

bool readIndexData(ChunkReader& r, Mesh& mesh, std::int32_t count) {
  if (count == 0) return true;
  // A negative count reads as 2^31 or more: more than any file holds.
  const auto indices = static_cast<std::uint32_t>(count);
  if (!r.allocateCounted(mesh.indices, indices, 2, "index data")) return false;
  std::span<const std::uint8_t> data;
  r.cursor.takeSpan(std::uint64_t{indices} * 2, data, "index data");
  std::uint32_t* out = mesh.indices.data();
  for (std::uint32_t k = 0; k < indices; ++k) out[k] = loadU16Le(data.data() + 2 * k);
  return true;
}

}  // namespace

bool ChunkReader::readMesh(std::uint32_t end, Frame& frame, NodeHandle parentItem) {
  Mesh* added = addMesh(frame);
  if (added == nullptr) return outOfMemory("a mesh");
  Mesh& mesh = *added;
  MeshWalkState state;

  auto onEnd = [&] { insertEndNode(tree, options, parentItem, EndKind::Mesh, ""); };
  return walkChunks(end, onEnd, [&](const ChunkHead& head, const char* name) {
    auto bare = [&] { return insertChunkNode(tree, parentItem, name); };
    auto failed = [&] {
      bare();
      return Next::Failed;
    };
    // Value chunks: one bounded read, then the node with its value.
    auto integer = [&](std::int32_t& target, Next next) {
      if (!cursor.readI32Le(target)) return failed();
      insertIntegerNode(tree, options, parentItem, name, target);
      return next;
    };
    auto byteShown = [&] {
      std::uint8_t value = 0;
      if (!cursor.readU8(value)) return failed();
      insertIntegerNode(tree, options, parentItem, name, value);
      return Next::AtChunkEnd;
    };
    auto floatShown = [&] {
      float value = 0;
      if (!cursor.readF32Le(value)) return failed();
      insertFloatNode(tree, options, parentItem, name, value);
      return Next::AtChunkEnd;
    };
    auto data = [&](bool read) {
      bare();
      return read ? Next::AtChunkEnd : Next::Failed;
    };
    std::int32_t shown = 0;

    switch (head.code) {
      // These seven go on right after their value, whatever their length says.
      case 111: {  // Mesh FVF Flags
        if (!cursor.readU32Le(state.fvfFlags)) return failed();
        char letters[6];
        fvfComponentLetters(state.fvfFlags, letters);
        insertFlagsNode(tree, options, parentItem, name, state.fvfFlags, letters);
        return Next::AfterValue;
      }
      case 112: return integer(state.fvfSize, Next::AfterValue);
      case 113: return integer(state.pendingVertexCount, Next::AfterValue);
      case 114: return integer(state.pendingIndexCount, Next::AfterValue);
      case 117: return integer(mesh.primitiveType, Next::AfterValue);
      case 118: return integer(mesh.drawVertexCount, Next::AfterValue);
      case 119: return integer(mesh.drawPrimitiveCount, Next::AfterValue);

      case 115: return data(readVertexData(*this, mesh, state));  // Mesh Vertex Data
      case 116:                                                   // Mesh Index Data
        return data(readIndexData(*this, mesh, state.pendingIndexCount));
      case 121: return integer(state.pendingBoneCount, Next::AtChunkEnd);
      case 122:  // Mesh BONES DATA
        return readBoneList(head, mesh, state.pendingBoneCount, bare()) ? Next::AtChunkEnd
                                                                         : Next::Failed;
      case 124: return integer(state.pendingMultiMaterialCount, Next::AtChunkEnd);
      case 126: {  // Mesh Material: all 68 bytes or nothing
        float values[17];
        if (!cursor.readFloatsLe(values, 17)) return failed();
        std::memcpy(&mesh.material, values, sizeof values);
        bare();
        return Next::AtChunkEnd;
      }
      case 127: return integer(state.pendingTextureCount, Next::AtChunkEnd);
      case 128:  // Mesh TEXTURES
        return readTextureList(head, mesh, state.pendingTextureCount, bare()) ? Next::AtChunkEnd
                                                                              : Next::Failed;
      case 139:  // Multiple MATERIALS
        return readMultiMaterialList(head, mesh, state.pendingMultiMaterialCount, bare())
                   ? Next::AtChunkEnd
                   : Next::Failed;

      // Render states: shown, not stored.
      case 123:  // Use Multiple Materials
      case 125:  // Mesh Uses Material
      case 129:  // Mesh Wireframe
      case 130:  // Mesh Light
      case 131:  // Mesh Cull
      case 132:  // Mesh Fog
      case 133:  // Mesh Ambient
      case 134:  // Mesh Transparency
      case 135:  // Mesh Ghost
      case 137:  // Mesh Linked - skip
      case 140:  // Mesh Visible
      case 156:  // Mesh Z Bias Flag
      case 159:  // Mesh Z Read
      case 160:  // Mesh Z Write
        return byteShown();
      case 136:  // Mesh Ghost Mode
      case 138:  // Mesh Sub Frames - skip
        return integer(shown, Next::AtChunkEnd);
      case 155:  // Mesh Arbitrary Value
      case 157:  // Mesh Z Bias Slope
      case 158:  // Mesh Z Bias Depth
      case 166:  // Mesh Alpha Test Value
        return floatShown();

      default:  // 120, 154, texture and multi-material codes, anything unlisted: name only
        bare();
        return Next::AtChunkEnd;
    }
  });
}

}  // namespace kxm
