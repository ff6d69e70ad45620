// The viewer's sink: every header field, chunk and END the reader tells becomes a node of the
// chunk tree, labelled by the label rule under Show names and Show values, and inserted through
// the ChunkTree in the order told. The Win32 tree view and the in-memory control see the same
// insertions with the same texts. How deep the control can hold nodes is this sink's limit.
#pragma once

#include <cstddef>
#include <string>

#include "reader/chunk_sink.h"
#include "tree/chunk_tree.h"
#include "tree/labels.h"

namespace kxm {

class TreeSink final : public ChunkSink {
 public:
  TreeSink(ChunkTree& tree, const DisplayOptions& options) : tree_(tree), options_(options) {}

  void headerField(std::uint32_t offset, const char* field, const ChunkValue& value) override;
  SinkNode topLevelChunk(SinkRoot root, const ChunkHead& head, const RecordStart&) override;
  SinkNode chunk(SinkNode parent, const ChunkHead& head, const ChunkValue& value,
                 const RecordStart&) override;
  void end(SinkNode parent, const ChunkHead& head, EndKind kind, const char* objectName) override;
  void frameNamed(SinkNode frameNode, std::uint32_t holder, bool topLevel,
                  const char* frameName) override;
  std::string depthRefusal(std::size_t deepest) override;

 private:
  void source(const ChunkHead& head) {
    tree_.SetSource({NodeSource::Kind::Chunk, head.offset, head.code, head.length});
  }

  ChunkTree& tree_;
  const DisplayOptions& options_;
};

}  // namespace kxm
