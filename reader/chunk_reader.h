// The byte cursor over one file image, and every chunk walker as one of its operations.
//
// A reader is handed the model it fills, the tree it labels and the display options; it owns the
// image for one load. Every read is bounded by the image: a read that would pass its end fails,
// leaves the position where it was, and the walker that asked returns 0 at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "model/block.h"
#include "model/model.h"
#include "reader/chunk_catalogue.h"
#include "tree/chunk_tree.h"
#include "tree/labels.h"

namespace kxm {

// The head of one chunk: its code, its payload length and where its payload ends.
struct ChunkHead {
  ChunkCode code = 0;
  std::uint32_t length = 0;
  std::uint32_t end = 0;  // saturated at 0xFFFFFFFF
};

class ChunkReader {
 public:
  ChunkReader(Model& model, ChunkTree& tree, const DisplayOptions& options);
  ~ChunkReader();
  ChunkReader(const ChunkReader&) = delete;
  ChunkReader& operator=(const ChunkReader&) = delete;

  // Reads the file whole and parses it; 1 on success. The image and the model are released on
  // every path before it returns.
  int load(const char* path);
  // The same for an image already in memory (the fuzzer's and the tests' way in).
  int loadImage(const void* data, std::size_t length);

  void releaseImage();
  void reset();
  // Header, header nodes, then the top-level walk.
  int parseImage();
  // A length-prefixed string into dest, a caller's zero-filled 128-byte buffer. A string of 128
  // bytes or more is skipped and leaves dest as it was.
  int readString(char* dest);

  // Takes a copy of data as the image without parsing it, for tests of single walkers.
  bool setImage(const void* data, std::size_t length);

  // Bounded reads, little-endian.
  bool readBytes(void* dest, std::uint32_t n);
  bool readU8(std::uint8_t& value);
  bool readU16Le(std::uint16_t& value);
  bool readU32Le(std::uint32_t& value);
  bool readI32Le(std::int32_t& value);
  bool readF32Le(float& value);
  bool readFloatsLe(float* values, std::uint32_t count);
  bool readMaterial(Material& material);
  bool readChunkHead(ChunkHead& head);
  bool hasImage() const { return static_cast<bool>(buffer); }
  const std::uint8_t* image() const { return static_cast<const std::uint8_t*>(buffer.get()); }
  std::uint32_t remaining() const { return position < size ? size - position : 0; }

  // The walkers.
  int walkTopLevel();
  int readFrame(std::uint32_t end, std::int32_t parentIndex, NodeHandle siblingParentItem,
                NodeHandle frameItem);
  int readCustomData(std::uint32_t end, NodeHandle parentItem);
  int readMesh(std::uint32_t end, std::int32_t frameIndex, NodeHandle parentItem);
  int readMeshBone(std::uint32_t end, std::int32_t frameIndex, std::int32_t meshIndex,
                   int createRecord, NodeHandle parentItem);
  int readTexture(std::uint32_t end, std::int32_t frameIndex, std::int32_t meshIndex,
                  int createRecord, NodeHandle parentItem);
  int readMultiMaterial(std::uint32_t end, std::int32_t frameIndex, std::int32_t meshIndex,
                        int createRecord, NodeHandle parentItem);
  int readAnimationSet(std::uint32_t end, NodeHandle parentItem);
  int readAnimation(std::uint32_t end, std::int32_t setIndex, NodeHandle parentItem);

  // The mesh at (frame row, mesh index), looked up anew; nullptr when there is none.
  Mesh* findMesh(std::int32_t frameIndex, std::int32_t meshIndex);
  Model& model() { return model_; }
  ChunkTree& tree() { return tree_; }
  const DisplayOptions& options() const { return options_; }
  // Whether n entries of entrySize bytes fit in what is left of the image.
  bool entriesFit(std::uint64_t n, std::uint32_t entrySize) const;
  // Takes n entries of entrySize file bytes from the load's array budget, or refuses like a
  // failed allocation. Arrays read at counts may reach past their chunks and so read the same
  // bytes again; in a well-formed file they never overlap, so all of them together claim no
  // more bytes than the image has. The budget holds a hostile file to that, so that a few bytes
  // repeated cannot claim memory in proportion to the square of the file's size.
  bool claimArrayBytes(std::uint64_t n, std::uint32_t entrySize);

  Block buffer;  // the file image
  std::uint32_t position = 0;
  std::uint32_t size = 0;

 private:
  int parseAndRelease();
  // The vertex and index data chunks of a mesh.
  int readVertexData(Mesh& mesh, std::uint32_t flags, std::int32_t stride, std::int32_t count);
  int readIndexData(Mesh& mesh, std::int32_t count);

  std::uint64_t arrayBudget_ = 0;  // file bytes that arrays may still claim in this load
  Model& model_;
  ChunkTree& tree_;
  const DisplayOptions& options_;
};

}  // namespace kxm
