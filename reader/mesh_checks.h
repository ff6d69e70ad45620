// What can only be checked once a mesh is complete: its indices against its vertices, the ranges
// of its multi-materials and textures against its indices and primitives, its bones' vertices
// and weights. The walk notes where each of these was read; the checks run at the mesh's end,
// and only for an observer.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model.h"
#include "reader/byte_cursor.h"
#include "reader/load_failure.h"

namespace kxm {

class ChunkReader;

class MeshChecks {
 public:
  explicit MeshChecks(ChunkReader& reader) : r_(reader) {}

  void indexChunk(const ChunkHead& head);
  // A list chunk is being walked; its elements' fields follow.
  void listStarts();
  // A field chunk of an element of the current list, with the record it fills.
  void elementField(const ChunkHead& head, const Bone* bone);
  void elementField(const ChunkHead& head, const Texture* texture);
  void elementField(const ChunkHead& head, const MultiMaterial* entry);

  void meshComplete(const Mesh& mesh);

 private:
  struct Place {
    std::size_t list;  // into lists_
    ChunkRef field;
    const char* elementName;
  };
  template <class Record>
  struct Noted {
    const Record* record;
    Place place;
  };
  Place placeOf(const ChunkHead& head, const char* elementName) const;
  std::vector<ChunkRef> pathOf(const Place& place) const;

  ChunkReader& r_;
  std::vector<ChunkRef> indexPath_;
  std::uint32_t indexOffset_ = 0;
  std::vector<std::vector<ChunkRef>> lists_;  // the chain down to each list chunk
  std::vector<Noted<Bone>> bones_;
  std::vector<Noted<Texture>> textures_;
  std::vector<Noted<MultiMaterial>> multiMaterials_;
};

}  // namespace kxm
