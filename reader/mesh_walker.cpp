// The mesh walker: one "Frame MESH" chunk becomes one Mesh of its frame. Vertices are converted
// from their flexible vertex format, indices widened to 32 bits; the three element lists go to
// the element walkers.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>
#include <span>
#include <string>

#include "format/little_endian.h"
#include "format/vertex_format.h"
#include "reader/chunk_reader.h"
#include "reader/mesh_checks.h"

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
  // Which count chunks were read, for the observer: data without one stores nothing.
  bool vertexCounted = false, indexCounted = false, bonesCounted = false;
  bool multiMaterialsCounted = false, texturesCounted = false;
};

// The normals, where the model keeps them: within the load's allowance, and only when every one
// lies inside the file; otherwise the mesh has none, and the load goes on as it would without.
void keepNormals(ChunkReader& r, Mesh& mesh, const MeshWalkState& state, std::uint32_t start,
                 std::uint32_t vertices) {
  const std::int32_t offset = fvfComponentOffset(state.fvfFlags, kFvfNormal, 0);
  if (!r.model.keepNormals || offset < 0) return;
  if (!r.allowArray(vertices, sizeof(Normal))) return;
  if (!mesh.normals.allocate(static_cast<std::int32_t>(vertices), r.blocks)) return;
  const std::span<const std::uint8_t> image = r.cursor.image();
  if (readNormals(image.data(), r.cursor.size(), start, state.fvfSize, vertices, offset,
                  mesh.normals.data()) != vertices) {
    mesh.normals.release();
  }
}

bool readVertexData(ChunkReader& r, const ChunkHead& head, Mesh& mesh, const MeshWalkState& state) {
  const std::int32_t count = state.pendingVertexCount;
  const VertexLayout layout = vertexLayout(state.fvfFlags);
  if (r.observing()) {
    if (!state.vertexCounted) {
      r.report(FindingCode::DataWithoutCount, head.offset,
               "vertex data with no vertex count chunk before it: nothing is stored");
    } else if (state.fvfSize <= 0 || state.fvfSize < layout.span) {
      r.report(FindingCode::StrideTooSmall, head.offset,
               "the vertex size (stride) is " + std::to_string(state.fvfSize) +
                   ", but the format's components take " + std::to_string(layout.span) + " bytes" +
                   (state.fvfSize <= 0 ? " and a stride must be positive" : ""));
    } else {
      r.expectDataLength(head, static_cast<std::uint32_t>(count),
                         static_cast<std::uint32_t>(state.fvfSize), "vertices");
    }
  }
  if (count == 0) return true;
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
  if (!mesh.vertices.allocate(count, r.blocks)) return r.outOfMemory("vertices");

  // Every component read lies wholly inside the image; a vertex that reaches outside it, or
  // that a negative stride moved below its start, fails the walk.
  const std::span<const std::uint8_t> image = r.cursor.image();
  const std::uint32_t converted = convertVertices(
      image.data(), r.cursor.size(), start, state.fvfSize, vertices, layout, mesh.vertices.data());
  if (converted == vertices) {
    keepNormals(r, mesh, state, start, vertices);
    if (r.observing()) {
      for (std::uint32_t k = 0; k < vertices; ++k) {
        const MeshVertex& v = mesh.vertices[k];
        const float values[] = {v.position[0],  v.position[1],  v.position[2], v.texCoord0[0],
                                v.texCoord0[1], v.texCoord1[0], v.texCoord1[1]};
        if (!std::all_of(std::begin(values), std::end(values),
                         [](float f) { return std::isfinite(f); })) {
          r.expectFinite(head, values, std::size(values), ("vertex " + std::to_string(k)).c_str());
          break;
        }
      }
    }
    return true;
  }
  const std::int64_t base = std::int64_t{start} + std::int64_t{converted} * state.fvfSize;
  const auto offset = static_cast<std::uint32_t>(std::clamp<std::int64_t>(base, 0, kOffsetLimit));
  return r.fail(FailureCause::VertexOutsideFile, offset,
                "vertex " + std::to_string(converted) + " of " + std::to_string(vertices) +
                    " (stride " + std::to_string(state.fvfSize) + ", " +
                    std::to_string(layout.span) + " bytes of components) lies outside the file");
}

constexpr std::uint32_t kIndexBytes = layout::kIndex.size;

bool readIndexData(ChunkReader& r, const ChunkHead& head, Mesh& mesh, const MeshWalkState& state) {
  const std::int32_t count = state.pendingIndexCount;
  if (r.observing()) {
    if (!state.indexCounted) {
      r.report(FindingCode::DataWithoutCount, head.offset,
               "index data with no index count chunk before it: nothing is stored");
    } else {
      r.expectDataLength(head, static_cast<std::uint32_t>(count), kIndexBytes, "indices");
    }
  }
  if (count == 0) return true;
  // A negative count reads as 2^31 or more: more than any file holds.
  const auto indices = static_cast<std::uint32_t>(count);
  if (!r.allocateCounted(mesh.indices, indices, kIndexBytes, "index data")) return false;
  std::span<const std::uint8_t> data;
  if (!r.cursor.takeSpan(std::uint64_t{indices} * kIndexBytes, data, "index data")) return false;
  std::uint32_t* out = mesh.indices.data();
  for (std::uint32_t k = 0; k < indices; ++k) out[k] = loadU16Le(data.data() + kIndexBytes * k);
  return true;
}

// One chunk of a mesh being handled: the reads that end in its node.
struct MeshChunk {
  using Next = ChunkReader::Next;
  ChunkReader& r;
  const ChunkHead& head;
  SinkNode parentItem;
  Mesh& mesh;

  SinkNode bare() { return r.tell(parentItem, head); }
  Next failed() {
    bare();
    return Next::Failed;
  }
  // Value chunks: one bounded read, then the node with its value.
  Next integer(std::int32_t& target, Next next) {
    if (!r.cursor.readI32Le(target)) return failed();
    r.expectLength(head, 4);
    r.tell(parentItem, head, ChunkValue::number(target));
    return next;
  }
  Next count(std::int32_t& target, bool& counted, Next next) {
    counted = true;
    return integer(target, next);
  }
  // The render states: shown, stored nowhere. Every other code: its name only.
  Next renderState() {
    switch (shownValueOf(head.code)) {
      case ShownValue::Byte: {
        std::uint8_t value = 0;
        if (!r.cursor.readU8(value)) return failed();
        r.expectLength(head, 1);
        r.keepShown(mesh.renderStates, head.code, value);
        r.tell(parentItem, head, ChunkValue::number(value));
        return Next::AtChunkEnd;
      }
      case ShownValue::Int32: {
        std::int32_t shown = 0;
        const Next next = integer(shown, Next::AtChunkEnd);
        r.keepShown(mesh.renderStates, head.code, static_cast<std::uint32_t>(shown));
        return next;
      }
      case ShownValue::Float32: {
        float value = 0;
        if (!r.cursor.readF32Le(value)) return failed();
        r.expectLength(head, 4);
        r.keepShown(mesh.renderStates, head.code, std::bit_cast<std::uint32_t>(value));
        r.tell(parentItem, head, ChunkValue::real(value));
        return Next::AtChunkEnd;
      }
      case ShownValue::None: break;
    }
    bare();
    return Next::AtChunkEnd;
  }
  // A list chunk: its elements, after the count chunk that says how many.
  template <class Read>
  Next list(bool counted, const char* what, Read read) {
    if (!counted && r.observing()) {
      r.report(FindingCode::DataWithoutCount, head.offset,
               std::string(what) + " with no count chunk before it: no element is stored");
    }
    return read(bare()) ? Next::AtChunkEnd : Next::Failed;
  }
  Next data(bool read) {
    bare();
    return read ? Next::AtChunkEnd : Next::Failed;
  }
};

}  // namespace

bool ChunkReader::readMesh(std::uint32_t end, Frame& frame, SinkNode parentItem) {
  Mesh* added = frame.meshes.append();
  if (added == nullptr) return outOfMemory("a mesh");
  Mesh& mesh = *added;
  MeshWalkState state;
  if (model.keepForWriting) mesh.has = {false, false, false, false, false, false};  // till read

  MeshChecks checks(*this);
  auto onEnd = [&](const ChunkHead& head) { tellEnd(parentItem, head, EndKind::Mesh, ""); };
  const bool walked = walkChunks(end, Family::Mesh, "mesh", onEnd, [&](const ChunkHead& head) {
    MeshChunk c{*this, head, parentItem, mesh};
    switch (head.code) {
      // These seven go on right after their value, whatever their length says.
      case chunk::MeshFvfFlags: {
        if (!cursor.readU32Le(state.fvfFlags)) return c.failed();
        expectLength(head, 4);
        mesh.fvfFlags = state.fvfFlags;
        mesh.has.fvfFlags = true;
        tell(parentItem, head, ChunkValue::vertexFormat(state.fvfFlags));
        return Next::AfterValue;
      }
      case chunk::MeshFvfSize:
        mesh.has.fvfSize = true;
        return c.integer(state.fvfSize, Next::AfterValue);
      case chunk::MeshVertexCount:
        return c.count(state.pendingVertexCount, state.vertexCounted, Next::AfterValue);
      case chunk::MeshIndexCount:
        return c.count(state.pendingIndexCount, state.indexCounted, Next::AfterValue);
      case chunk::MeshPrimitiveType:
        mesh.has.primitiveType = true;
        return c.integer(mesh.primitiveType, Next::AfterValue);
      case chunk::MeshDrawVertexCount:
        mesh.has.drawVertexCount = true;
        return c.integer(mesh.drawVertexCount, Next::AfterValue);
      case chunk::MeshDrawPrimitiveCount:
        mesh.has.drawPrimitiveCount = true;
        return c.integer(mesh.drawPrimitiveCount, Next::AfterValue);

      case chunk::MeshVertexData: return c.data(readVertexData(*this, head, mesh, state));
      case chunk::MeshIndexData:
        checks.indexChunk(head);
        return c.data(readIndexData(*this, head, mesh, state));
      case chunk::MeshBoneCount:
        return c.count(state.pendingBoneCount, state.bonesCounted, Next::AtChunkEnd);
      case chunk::MeshBonesData:
        return c.list(state.bonesCounted, "a bone list", [&](SinkNode node) {
          return readBoneList(head, mesh, state.pendingBoneCount, node, checks);
        });
      case chunk::MultipleMaterialCount:
        return c.count(state.pendingMultiMaterialCount, state.multiMaterialsCounted,
                       Next::AtChunkEnd);
      case chunk::MeshMaterial: {  // Mesh Material: the whole material or nothing
        float values[layout::kMaterial.size / sizeof(float)];
        if (!readFloatRecord<layout::kMaterial>(head, values, "material")) return c.failed();
        mesh.material = materialFrom(values);
        mesh.has.material = true;
        c.bare();
        return Next::AtChunkEnd;
      }
      case chunk::MeshTextureCount:
        return c.count(state.pendingTextureCount, state.texturesCounted, Next::AtChunkEnd);
      case chunk::MeshTextures:
        return c.list(state.texturesCounted, "a texture list", [&](SinkNode node) {
          return readTextureList(head, mesh, state.pendingTextureCount, node, checks);
        });
      case chunk::MultipleMaterials:
        return c.list(state.multiMaterialsCounted, "a multi-material list", [&](SinkNode node) {
          return readMultiMaterialList(head, mesh, state.pendingMultiMaterialCount, node, checks);
        });
      // 120, 154, texture and multi-material codes, anything unlisted: name only.
      default: return c.renderState();
    }
  });
  if (walked) checks.meshComplete(mesh);
  return walked;
}

}  // namespace kxm
