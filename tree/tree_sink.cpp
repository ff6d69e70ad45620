#include "tree/tree_sink.h"

#include "reader/chunk_catalogue.h"
#include "reader/vertex_format.h"

namespace kxm {

namespace {

constexpr double kDegreesPerRadian = 57.295780181884766;  // 57.29578 as a single-precision value

}  // namespace

void TreeSink::headerField(std::uint32_t offset, const char* field, const ChunkValue& value) {
  // The header's labels are fixed, whatever the options.
  tree_.SetSource({NodeSource::Kind::HeaderField, offset, 0, 0});
  Label label;
  label.add(field).add(": ");
  if (value.kind == ChunkValue::Kind::Name) {
    label.addQuoted(value.text);
  } else {
    label.addInt(value.integer);
  }
  tree_.InsertNode(label.c_str(), tree_.fileHeaderRoot, -1);
}

SinkNode TreeSink::topLevelChunk(SinkRoot root, const ChunkHead& head) {
  source(head);
  switch (root) {
    case SinkRoot::Frames: return tree_.InsertNode(topLevelNameOf(1), tree_.framesRoot, -1);
    case SinkRoot::AnimationSets:
      return tree_.InsertNode(topLevelNameOf(2), tree_.animationSetsRoot, -1);
    case SinkRoot::CustomData: {  // shown by its length, whatever the options
      Label label;
      label.add("chunk_length: ").addInt(static_cast<std::int32_t>(head.length));
      return tree_.InsertNode(label.c_str(), tree_.customDataRoot, -1);
    }
    case SinkRoot::FileHeader: break;
  }
  return 0;
}

SinkNode TreeSink::chunk(SinkNode parent, const ChunkHead& head, const ChunkValue& value) {
  source(head);
  const char* name = chunkNameOf(head.code);
  switch (value.kind) {
    case ChunkValue::Kind::None: break;
    case ChunkValue::Kind::Name:
      return insertNameNode(tree_, options_, parent, name, value.text);
    case ChunkValue::Kind::Integer:
      return insertIntegerNode(tree_, options_, parent, name, value.integer);
    case ChunkValue::Kind::Float:
      return insertFloatNode(tree_, options_, parent, name, static_cast<float>(value.numbers[0]));
    case ChunkValue::Kind::Vector: {
      // A frame's turn is stored in radians and shown in degrees.
      const double k = head.code == 107 ? kDegreesPerRadian : 1.0;
      const double* v = value.numbers;
      return insertVectorNode(tree_, options_, parent, name, v[0] * k, v[1] * k, v[2] * k);
    }
    case ChunkValue::Kind::Flags: {
      char letters[6];
      fvfComponentLetters(value.flags, letters);
      return insertFlagsNode(tree_, options_, parent, name, value.flags, letters);
    }
  }
  return insertChunkNode(tree_, parent, name);
}

void TreeSink::end(SinkNode parent, const ChunkHead& head, EndKind kind, const char* objectName) {
  source(head);
  insertEndNode(tree_, options_, parent, kind, objectName);
}

void TreeSink::frameNamed(SinkNode frameNode, std::uint32_t holder, bool topLevel,
                          const char* frameName) {
  // The frame's node still shows the name of the chunk holding the frame.
  relabelFrameNode(tree_, options_, frameNode, topLevel ? topLevelNameOf(holder) : chunkNameOf(holder),
                   frameName);
}

std::string TreeSink::depthRefusal(std::size_t deepest) {
  const std::size_t limit = tree_.DepthLimit();
  if (deepest <= limit) return {};
  return "the tree view's " + std::to_string(limit) + " levels";
}

}  // namespace kxm
