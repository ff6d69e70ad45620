// The rows of one view of the file, as the browser takes them over: a sink that keeps each row
// as columns of flat arrays (labels in a pool of blocks), and the pre-order the page shows them
// in. Which model record each row starts is kept beside them, so that a data chunk's values can
// be found in the model the same load filled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "reader/chunk_sink.h"
#include "tree/labels.h"

namespace kxm::web {

// Row kinds, as the page tells them apart for the hex pane.
enum RowKind : std::uint8_t { Root = 0, HeaderField = 1, Chunk = 2 };

// Label bytes in blocks of 1 MiB that never move. A pool that grew by copying would hold its
// old and new bytes at once at every growth, and the WebAssembly memory keeps that peak. A
// label starts at block * kBlock + its place in the block; no label is near a block's size.
class LabelPool {
 public:
  static constexpr std::uint32_t kBlock = 1u << 20;

  std::uint32_t append(std::string_view label) {
    if (blocks_.empty() || kBlock - used_.back() < label.size()) {
      blocks_.push_back(std::make_unique<char[]>(kBlock));
      used_.push_back(0);
    }
    const std::uint32_t at = used_.back();
    std::memcpy(blocks_.back().get() + at, label.data(), label.size());
    used_.back() += static_cast<std::uint32_t>(label.size());
    return static_cast<std::uint32_t>((blocks_.size() - 1) * kBlock) + at;
  }
  std::size_t blocks() const { return blocks_.size(); }
  const char* block(std::size_t i) const { return blocks_[i].get(); }
  std::uint32_t used(std::size_t i) const { return used_[i]; }

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::vector<std::uint32_t> used_;
};

// The model record a row starts, so that a data chunk's values can be taken from the model
// the walk filled: frames, meshes (frame, mesh of the frame), animation sets and animations
// (set, animation of the set), counted as the walkers add them.
struct Record {
  enum Kind : std::uint8_t { None, Frame, Mesh, Set, Animation };
};

struct Records {
  std::vector<Record::Kind> kind;  // per row, in the order told
  std::vector<std::int32_t> index;
  std::vector<std::int32_t> frameMeshes;    // meshes so far, per frame
  std::vector<std::int32_t> setAnimations;  // animations so far, per set
  std::vector<std::pair<std::int32_t, std::int32_t>> meshes, animations;

  void set(std::size_t row, Record::Kind k, std::int32_t i) {
    kind[row] = k;
    index[row] = i;
  }
  Record::Kind kindOf(SinkNode node) const {
    return node == 0 || node > kind.size() ? Record::None : kind[node - 1];
  }
  std::int32_t indexOf(SinkNode node) const { return index[node - 1]; }
};

// Rows in the order the reader told them; the parent of a row is its index plus one as a
// SinkNode (0: none), the four roots first.
class CompactSink final : public ChunkSink {
 public:
  explicit CompactSink(const DisplayOptions& options);

  void headerField(std::uint32_t offset, const char* field, const ChunkValue& value) override;
  SinkNode topLevelChunk(SinkRoot root, const ChunkHead& head) override;
  SinkNode chunk(SinkNode parent, const ChunkHead& head, const ChunkValue& value) override;
  void end(SinkNode parent, const ChunkHead& head, EndKind endKind,
           const char* objectName) override;
  void frameNamed(SinkNode frameNode, std::uint32_t holder, bool topLevel,
                  const char* frameName) override;

  std::vector<std::int32_t> parents;  // row index, -1 for a root
  std::vector<std::uint8_t> kinds;
  std::vector<std::uint32_t> offsets, codes, lengths, labelStarts, labelLengths;
  LabelPool labels;
  // The rows of frames, in the order the reader adds the frames to the model: frame k is the
  // export's node k.
  std::vector<std::size_t> frameRows;
  Records records;

 private:
  static constexpr std::uint32_t kFrameMesh = 103, kChildFrame = 104, kSiblingFrame = 105,
                                 kFirstAnimation = 203, kNextAnimation = 220;

  void addFrame(SinkNode node);
  SinkNode add(SinkNode parentNode, RowKind rowKind, std::uint32_t at, std::uint32_t chunkCode,
               std::uint32_t chunkLength, std::string_view label);

  DisplayOptions options_;
};

// The rows in pre-order (a node, then its children in the order told), as the page shows and
// kxm-dump prints them, with each row's depth, parent and the row after its subtree.
// The other columns stay in the sink, in the order told: the worker gathers them by `told`
// straight into the page's arrays, so they are not copied twice here.
struct View {
  std::vector<std::int32_t> parent;
  std::vector<std::uint32_t> depth, subtreeEnd;
  std::vector<std::uint32_t> frameRows;  // frame k's row
  std::vector<std::uint32_t> told;       // each row's place in the order told
};

void orderRows(const CompactSink& sink, View& view);

}  // namespace kxm::web
