// The mesh walker: one "Frame MESH" chunk becomes one Mesh of its frame. Vertices are converted
// from their flexible vertex format, indices widened to 32 bits; the three element lists go to
// the element walkers.
#include <algorithm>
#include <cstring>

#include "reader/chunk_reader.h"
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

using ElementWalker = int (ChunkReader::*)(std::uint32_t, std::int32_t, std::int32_t, int,
                                           NodeHandle);

// One element walk per counted element, then the closing walk. Once the payload holds nothing
// more, every remaining element is a new record without a node; those are appended as one run.
template <class T>
int readElementList(ChunkReader& reader, ElementWalker walker, ElementTable<T> Mesh::*list,
                    const ChunkHead& head, std::int32_t frameIndex, std::int32_t meshIndex,
                    std::int32_t count, NodeHandle node) {
  const auto elements = static_cast<std::uint32_t>(count);
  for (std::uint32_t i = 0; i < elements; ++i) {
    if (reader.position >= head.end) {
      Mesh* mesh = reader.findMesh(frameIndex, meshIndex);
      if (mesh == nullptr || !((*mesh).*list).appendDefaults(elements - i)) return 0;
      break;
    }
    if (!(reader.*walker)(head.end, frameIndex, meshIndex, 1, node)) return 0;
  }
  return (reader.*walker)(head.end, frameIndex, meshIndex, 0, node);
}

}  // namespace

int ChunkReader::readMesh(std::uint32_t end, std::int32_t frameIndex, NodeHandle parentItem) {
  if (frameIndex < 0 || static_cast<std::size_t>(frameIndex) >= model_.frames.count()) return 0;
  Frame& frame = model_.frames[static_cast<std::size_t>(frameIndex)];
  const auto meshIndex = static_cast<std::int32_t>(frame.meshes.count());
  if (addMesh(frame) == nullptr) return 0;

  MeshWalkState state;
  while (position < end) {
    ChunkHead head;
    if (!readChunkHead(head)) return 0;
    const char* name = chunkNameOf(head.code);
    if (head.code == 0) {  // END Mesh; the cursor stays just after its head
      insertEndNode(tree_, options_, parentItem, EndKind::Mesh, "");
      return 1;
    }
    const NodeHandle node = insertChunkNode(tree_, parentItem, name);
    Mesh& mesh = *findMesh(frameIndex, meshIndex);

    // Value chunks: one bounded read, then the label.
    auto int32Value = [&](std::int32_t& target) {
      if (!readI32Le(target)) return false;
      labelInteger(tree_, options_, node, target);
      return true;
    };
    auto byteShown = [&] {
      std::uint8_t value = 0;
      if (!readU8(value)) return false;
      labelInteger(tree_, options_, node, value);
      return true;
    };
    auto floatShown = [&] {
      float value = 0;
      if (!readF32Le(value)) return false;
      labelFloat(tree_, options_, node, value);
      return true;
    };
    std::int32_t shown = 0;

    bool toChunkEnd = true;
    bool ok = true;
    switch (head.code) {
      // These seven continue right after their value, whatever their length says.
      case 111: {  // Mesh FVF Flags
        ok = readU32Le(state.fvfFlags);
        if (ok) {
          char letters[6];
          fvfComponentLetters(state.fvfFlags, letters);
          labelFlags(tree_, options_, node, state.fvfFlags, letters);
        }
        toChunkEnd = false;
        break;
      }
      case 112: ok = int32Value(state.fvfSize), toChunkEnd = false; break;
      case 113: ok = int32Value(state.pendingVertexCount), toChunkEnd = false; break;
      case 114: ok = int32Value(state.pendingIndexCount), toChunkEnd = false; break;
      case 117: ok = int32Value(mesh.primitiveType), toChunkEnd = false; break;
      case 118: ok = int32Value(mesh.drawVertexCount), toChunkEnd = false; break;
      case 119: ok = int32Value(mesh.drawPrimitiveCount), toChunkEnd = false; break;

      case 115:  // Mesh Vertex Data
        ok = readVertexData(mesh, state.fvfFlags, state.fvfSize, state.pendingVertexCount);
        break;
      case 116:  // Mesh Index Data
        ok = readIndexData(mesh, state.pendingIndexCount);
        break;
      case 121: ok = int32Value(state.pendingBoneCount); break;
      case 122:  // Mesh BONES DATA
        ok = readElementList(*this, &ChunkReader::readMeshBone, &Mesh::bones, head, frameIndex,
                             meshIndex, state.pendingBoneCount, node);
        break;
      case 124: ok = int32Value(state.pendingMultiMaterialCount); break;
      case 126: ok = readMaterial(mesh.material); break;
      case 127: ok = int32Value(state.pendingTextureCount); break;
      case 128:  // Mesh TEXTURES
        ok = readElementList(*this, &ChunkReader::readTexture, &Mesh::textures, head, frameIndex,
                             meshIndex, state.pendingTextureCount, node);
        break;
      case 139:  // Multiple MATERIALS
        ok = readElementList(*this, &ChunkReader::readMultiMaterial, &Mesh::multiMaterials, head,
                             frameIndex, meshIndex, state.pendingMultiMaterialCount, node);
        break;

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
        ok = byteShown();
        break;
      case 136:  // Mesh Ghost Mode
      case 138:  // Mesh Sub Frames - skip
        ok = int32Value(shown);
        break;
      case 155:  // Mesh Arbitrary Value
      case 157:  // Mesh Z Bias Slope
      case 158:  // Mesh Z Bias Depth
      case 166:  // Mesh Alpha Test Value
        ok = floatShown();
        break;

      default:  // 120, 154, texture and multi-material codes, anything unlisted: name only
        break;
    }
    if (!ok) return 0;
    if (toChunkEnd) position = head.end;
  }
  return 1;
}

int ChunkReader::readVertexData(Mesh& mesh, std::uint32_t flags, std::int32_t stride,
                                std::int32_t count) {
  const VertexLayout layout = vertexLayout(flags);
  if (count == 0) return 1;
  // A file of n bytes is not allowed to describe more than n vertices: a larger count is refused
  // before anything is allocated.
  if (static_cast<std::uint32_t>(count) > size) return 0;
  // A vertex claims the bytes its components span (one at the least), whatever its stride.
  const auto claimed = static_cast<std::uint32_t>(std::max(layout.span, 1));
  if (!claimArrayBytes(static_cast<std::uint32_t>(count), claimed)) return 0;
  if (!allocVertices(mesh, count)) return 0;

  // Every component read lies wholly inside the image; a vertex that reaches outside it, or
  // that a negative stride moved below its start, fails the walk.
  const auto vertices = static_cast<std::uint32_t>(count);
  return convertVertices(image(), size, position, stride, vertices, layout,
                         mesh.vertices.data()) == vertices
             ? 1
             : 0;
}

int ChunkReader::readIndexData(Mesh& mesh, std::int32_t count) {
  if (count == 0) return 1;
  // Indices the image cannot hold fail as the first short read would, before any allocation.
  if (count < 0 || !entriesFit(static_cast<std::uint32_t>(count), 2)) return 0;
  if (!claimArrayBytes(static_cast<std::uint32_t>(count), 2)) return 0;
  if (!allocIndices(mesh, count)) return 0;
  const std::uint8_t* in = image() + position;
  std::uint32_t* out = mesh.indices.data();
  for (std::int32_t k = 0; k < count; ++k, in += 2) {
    out[k] = std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8;
  }
  position += static_cast<std::uint32_t>(count) * 2;
  return 1;
}

}  // namespace kxm
