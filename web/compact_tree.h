// The rows of one view of the file, as the browser takes them over: a sink that keeps the rows
// in the order the reader tells them, in fixed blocks of columns, and the label bytes in fixed
// blocks of a stream. Blocks never move: a column that grew by copying would hold its old and
// new memory at once at each growth, and WebAssembly memory keeps such a peak for good. The
// worker reads the blocks in place and puts the rows into the pre-order the page shows. Which
// model record a chunk starts is kept, by the chunk's offset, so that a data chunk's values can
// be found in the model the same load filled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "reader/chunk_sink.h"
#include "tree/labels.h"

namespace kxm::web {

// Row kinds, as the page tells them apart for the hex pane.
enum RowKind : std::uint8_t { Root = 0, HeaderField = 1, Chunk = 2 };

// Label bytes end to end, in blocks of 1 MiB; a label may run on into the next block. Starts
// are 32-bit, as the page's arrays are: a stream past 4 GiB could not be shown.
class LabelStream {
 public:
  static constexpr std::uint32_t kBlock = 1u << 20;

  std::uint32_t append(std::string_view label);
  std::size_t blocks() const { return blocks_.size(); }
  const char* block(std::size_t i) const { return blocks_[i].get(); }

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::uint64_t size_ = 0;
};

// The model record a chunk starts, as the reader told it, so that a data chunk's values can be
// taken from the model the walk filled: frames, meshes (an entry of `meshes`), animation sets
// and animations (an entry of `animations`); and the bone whose vertices or weights a chunk holds
// (an entry of `bones`), at that chunk.
struct Record {
  enum Kind : std::uint8_t { None, Frame, Mesh, Set, Animation, Bone };
  std::uint32_t row = 0, offset = 0;
  Kind kind = None;
  std::int32_t index = -1;
};

struct Records {
  std::vector<Record> starts;  // the rows that start a record, in row order
  // (frame, mesh of the frame), (set, animation of the set) and (entry of `meshes`, bone of the
  // mesh), in the order told.
  std::vector<std::pair<std::int32_t, std::int32_t>> meshes, animations, bones;

  void add(std::uint32_t row, std::uint32_t offset, Record::Kind kind, std::int32_t index) {
    starts.push_back({row, offset, kind, index});
  }
  // Once the load is done: the records by the offset of the chunk that starts them.
  void finish();
  const Record* atOffset(std::uint32_t offset) const;
};

// Rows in the order told, column by column. A row's parent is a row told before it (-1 for the
// four roots); its label is `labelLength` bytes at `labelStart` in the label stream.
struct RowBlock {
  static constexpr std::uint32_t kRows = 16384;
  std::int32_t parent[kRows];
  std::uint32_t offset[kRows];
  std::uint32_t labelStart[kRows];
  std::uint32_t labelLength[kRows];
  std::uint8_t kind[kRows];
};

class CompactSink final : public ChunkSink {
 public:
  explicit CompactSink(const DisplayOptions& options);

  void headerField(std::uint32_t offset, const char* field, const ChunkValue& value) override;
  SinkNode topLevelChunk(SinkRoot root, const ChunkHead& head, const RecordStart& record) override;
  SinkNode chunk(SinkNode parent, const ChunkHead& head, const ChunkValue& value,
                 const RecordStart& record) override;
  void end(SinkNode parent, const ChunkHead& head, EndKind endKind,
           const char* objectName) override;
  void frameNamed(SinkNode frameNode, std::uint32_t holder, bool topLevel,
                  const char* frameName) override;

  std::uint32_t rowCount() const { return rows_; }
  // Row r is in block r / RowBlock::kRows; the last block holds the rest.
  std::size_t blocks() const { return blocks_.size(); }
  const RowBlock& block(std::size_t i) const { return *blocks_[i]; }

  LabelStream labels;
  // The rows of frames, in the order the reader adds them to the model: frame k is the
  // export's node k.
  std::vector<std::uint32_t> frameRows;
  // Each header field's row and its bytes: the file id's characters, any other field's four.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> fieldBytes;
  Records records;

 private:
  // A told row's place in its block.
  struct At {
    RowBlock& block;
    std::uint32_t index;
  };
  At at(SinkNode node) const {
    const auto row = static_cast<std::uint32_t>(node - 1);
    return {*blocks_[row / RowBlock::kRows], row % RowBlock::kRows};
  }
  void startRecord(SinkNode node, std::uint32_t offset, const RecordStart& record);
  void boneField(SinkNode parent, SinkNode node, const ChunkHead& head);
  SinkNode add(SinkNode parentNode, RowKind rowKind, std::uint32_t offset, std::string_view label);

  DisplayOptions options_;
  // The last mesh told (its node and entry), and the bone list being told: its node, its mesh's
  // entry, and the bone its next field chunks are of.
  SinkNode meshNode_ = 0, boneList_ = 0;
  std::int32_t meshEntry_ = -1, boneMesh_ = -1, bone_ = 0;
  std::vector<std::unique_ptr<RowBlock>> blocks_;
  std::uint32_t rows_ = 0;
};

}  // namespace kxm::web
