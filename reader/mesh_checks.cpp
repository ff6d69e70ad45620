#include "reader/mesh_checks.h"

#include <string>

#include "model/primitive_type.h"
#include "reader/chunk_reader.h"

namespace kxm {

void MeshChecks::indexChunk(const ChunkHead& head) {
  if (!r_.observing()) return;
  indexPath_ = r_.currentPath();
  indexOffset_ = head.offset;
}

void MeshChecks::listStarts() {
  if (r_.observing()) lists_.push_back(r_.currentPath());
}

MeshChecks::Place MeshChecks::placeOf(const ChunkHead& head, const char* elementName) const {
  ChunkRef field;
  field.offset = head.offset;
  field.code = head.code;
  field.name = chunkNameOf(head.code);
  return {lists_.size() - 1, std::move(field), elementName};
}

void MeshChecks::elementField(const ChunkHead& head, const Bone* bone) {
  if (!r_.observing() || bone == nullptr || lists_.empty()) return;
  if ((head.code == chunk::BonesVertices || head.code == chunk::BonesWeights) &&
      (bones_.empty() || bones_.back().record != bone)) {
    bones_.push_back({bone, placeOf(head, bone->name)});
  }
}

void MeshChecks::elementField(const ChunkHead& head, const Texture* texture) {
  if (!r_.observing() || texture == nullptr || lists_.empty()) return;
  if ((head.code == chunk::TexturePrimitiveStart || head.code == chunk::TexturePrimitiveCount) &&
      (textures_.empty() || textures_.back().record != texture)) {
    textures_.push_back({texture, placeOf(head, texture->name)});
  }
}

void MeshChecks::elementField(const ChunkHead& head, const MultiMaterial* entry) {
  if (!r_.observing() || entry == nullptr || lists_.empty()) return;
  if ((head.code == chunk::MultiMaterialIndexStart ||
       head.code == chunk::MultiMaterialIndexCount) &&
      (multiMaterials_.empty() || multiMaterials_.back().record != entry)) {
    multiMaterials_.push_back({entry, placeOf(head, entry->name)});
  }
}

std::vector<ChunkRef> MeshChecks::pathOf(const Place& place) const {
  std::vector<ChunkRef> path = lists_[place.list];
  if (!path.empty() && place.elementName != nullptr && place.elementName[0] != '\0') {
    path.back().objectName = place.elementName;
    path.back().hasObjectName = true;
  }
  path.push_back(place.field);
  return path;
}

void MeshChecks::meshComplete(const Mesh& mesh) {
  if (!r_.observing()) return;
  LoadObserver& observer = *r_.observer;
  const std::int64_t vertices = mesh.vertices.count();
  const std::int64_t indices = mesh.indices.count();

  if (indices > 0 && !indexPath_.empty()) {
    std::int64_t past = 0;
    std::uint32_t first = 0;
    for (std::int64_t i = 0; i < indices; ++i) {
      const std::uint32_t index = mesh.indices[static_cast<std::size_t>(i)];
      if (index >= vertices && past++ == 0) first = index;
    }
    if (past > 0) {
      observer.onFinding({FindingCode::IndexOutOfRange, indexOffset_, indexPath_,
                          std::to_string(past) + (past == 1 ? " index refers" : " indices refer") +
                              " to vertices past the mesh's " + std::to_string(vertices) +
                              " (first: " + std::to_string(first) + ")"});
    }
  }

  // A range [start, start + count) of the mesh's indices or primitives, `what` they are.
  auto checkRange = [&](std::int32_t start, std::int32_t count, std::int64_t limit,
                        const char* what, const Place& place) {
    const std::int64_t end = std::int64_t{start} + count;
    if (start >= 0 && count >= 0 && end <= limit) return;
    observer.onFinding({FindingCode::RangeOutOfBounds, place.field.offset, pathOf(place),
                        std::string(what) + " " + std::to_string(start) + " to " +
                            std::to_string(end) + " lie past the mesh's " + std::to_string(limit) +
                            " " + what});
  };
  for (const auto& [entry, place] : multiMaterials_) {
    checkRange(entry->indexStart, entry->indexCount, indices, "indices", place);
  }
  const std::int64_t primitives =
      mesh.drawPrimitiveCount > 0
          ? mesh.drawPrimitiveCount
          : primitivesDrawn(primitiveTypeOf(mesh.primitiveType), indices > 0 ? indices : vertices);
  for (const auto& [texture, place] : textures_) {
    checkRange(texture->primitiveStart, texture->primitiveCount, primitives, "primitives", place);
  }

  for (const auto& [bone, place] : bones_) {
    const std::int32_t n = bone->vertexIndices.count();
    for (std::int32_t i = 0; i < n; ++i) {
      const std::int32_t v = bone->vertexIndices[static_cast<std::size_t>(i)];
      if (v < 0 || v >= vertices) {
        observer.onFinding({FindingCode::BoneVertexOutOfRange, place.field.offset, pathOf(place),
                            "vertex index " + std::to_string(v) + " (entry " + std::to_string(i) +
                                ") is past the mesh's " + std::to_string(vertices) + " vertices"});
        break;
      }
    }
    if (bone->weights.count() != n) {
      observer.onFinding({FindingCode::BoneWeightsMismatch, place.field.offset, pathOf(place),
                          std::to_string(bone->weights.count()) +
                              (bone->weights.count() == 1 ? " weight for " : " weights for ") +
                              std::to_string(n) + (n == 1 ? " vertex index" : " vertex indices")});
    }
  }
}

}  // namespace kxm
