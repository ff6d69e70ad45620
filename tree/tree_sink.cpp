#include "tree/tree_sink.h"

namespace kxm {

void TreeSink::headerField(std::uint32_t offset, const char* field, const ChunkValue& value) {
  tree_.SetSource({NodeSource::Kind::HeaderField, offset, 0, 0});
  Label label;
  headerLabel(label, field, value);
  tree_.InsertNode(label.c_str(), tree_.fileHeaderRoot, -1);
}

SinkNode TreeSink::topLevelChunk(SinkRoot root, const ChunkHead& head, const RecordStart&) {
  source(head);
  Label label;
  topLevelLabel(label, root, head);
  const NodeHandle parent = root == SinkRoot::Frames          ? tree_.framesRoot
                            : root == SinkRoot::AnimationSets ? tree_.animationSetsRoot
                            : root == SinkRoot::CustomData    ? tree_.customDataRoot
                                                              : tree_.fileHeaderRoot;
  return tree_.InsertNode(label.c_str(), parent, -1);
}

SinkNode TreeSink::chunk(SinkNode parent, const ChunkHead& head, const ChunkValue& value,
                         const RecordStart&) {
  source(head);
  Label label;
  chunkLabel(label, options_, head, value);
  return tree_.InsertNode(label.c_str(), parent, -1);
}

void TreeSink::end(SinkNode parent, const ChunkHead& head, EndKind kind, const char* objectName) {
  source(head);
  Label label;
  endLabel(label, options_, kind, objectName);
  tree_.InsertNode(label.c_str(), parent, -1);
}

void TreeSink::frameNamed(SinkNode frameNode, std::uint32_t holder, bool topLevel,
                          const char* frameName) {
  Label label;
  if (frameNodeLabel(label, options_, holder, topLevel, frameName)) {
    tree_.SetNodeText(frameNode, label.c_str());
  }
}

std::string TreeSink::depthRefusal(std::size_t deepest) {
  const std::size_t limit = tree_.DepthLimit();
  if (deepest <= limit) return {};
  return "the tree view's " + std::to_string(limit) + " levels";
}

}  // namespace kxm
