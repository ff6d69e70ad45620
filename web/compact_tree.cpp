#include "web/compact_tree.h"

#include <cstring>

namespace kxm::web {

CompactSink::CompactSink(const DisplayOptions& options) : options_(options) {
  for (const char* root : {"FileHeader", "Frames", "AnimationSets", "CustomData"}) {
    add(0, Root, 0, 0, 0, root);
  }
}

void CompactSink::headerField(std::uint32_t offset, const char* field, const ChunkValue& value) {
  Label label;
  headerLabel(label, field, value);
  // A header field's bytes: the file id's characters, any other field's four.
  const auto bytes = value.kind == ChunkValue::Kind::Name
                         ? static_cast<std::uint32_t>(std::strlen(value.text))
                         : std::uint32_t{4};
  add(1, HeaderField, offset, 0, bytes, label.view());
}

SinkNode CompactSink::topLevelChunk(SinkRoot root, const ChunkHead& head) {
  Label label;
  topLevelLabel(label, root, head);
  const SinkNode node = add(static_cast<SinkNode>(root) + 1, Chunk, head.offset, head.code,
                            head.length, label.view());
  if (root == SinkRoot::Frames) addFrame(node);
  if (root == SinkRoot::AnimationSets) {
    records.set(node - 1, Record::Set, static_cast<std::int32_t>(records.setAnimations.size()));
    records.setAnimations.push_back(0);
  }
  return node;
}

SinkNode CompactSink::chunk(SinkNode parent, const ChunkHead& head, const ChunkValue& value) {
  Label label;
  chunkLabel(label, options_, head, value);
  const SinkNode node = add(parent, Chunk, head.offset, head.code, head.length, label.view());
  // Which record of the model the chunk starts, as the walkers add them: a frame where a
  // frame or the Frames root holds it, a mesh in a frame, an animation in a set or after
  // another animation.
  const Record::Kind holder = parent == static_cast<SinkNode>(SinkRoot::Frames) + 1
                                  ? Record::Frame
                                  : records.kindOf(parent);
  if ((head.code == kChildFrame || head.code == kSiblingFrame) && holder == Record::Frame) {
    addFrame(node);
  } else if (head.code == kFrameMesh && holder == Record::Frame) {
    const auto frame = static_cast<std::size_t>(records.indexOf(parent));
    const std::int32_t mesh = records.frameMeshes[frame]++;
    records.set(node - 1, Record::Mesh, static_cast<std::int32_t>(records.meshes.size()));
    records.meshes.push_back({static_cast<std::int32_t>(frame), mesh});
  } else if ((head.code == kFirstAnimation && holder == Record::Set) ||
             (head.code == kNextAnimation && holder == Record::Animation)) {
    const std::int32_t set = holder == Record::Set
                                 ? records.indexOf(parent)
                                 : records.animations[static_cast<std::size_t>(
                                       records.indexOf(parent))].first;
    const std::int32_t animation = records.setAnimations[static_cast<std::size_t>(set)]++;
    records.set(node - 1, Record::Animation,
                static_cast<std::int32_t>(records.animations.size()));
    records.animations.push_back({set, animation});
  }
  return node;
}

void CompactSink::end(SinkNode parent, const ChunkHead& head, EndKind endKind,
                      const char* objectName) {
  Label label;
  endLabel(label, options_, endKind, objectName);
  add(parent, Chunk, head.offset, head.code, head.length, label.view());
}

void CompactSink::frameNamed(SinkNode frameNode, std::uint32_t holder, bool topLevel,
                             const char* frameName) {
  Label label;
  if (frameNode == 0 || !frameNodeLabel(label, options_, holder, topLevel, frameName)) return;
  // The old text stays in the pool unused: a frame is relabelled once.
  const std::size_t row = frameNode - 1;
  labelStarts[row] = labels.append(label.view());
  labelLengths[row] = static_cast<std::uint32_t>(label.view().size());
}

void CompactSink::addFrame(SinkNode node) {
  records.set(node - 1, Record::Frame, static_cast<std::int32_t>(frameRows.size()));
  frameRows.push_back(node - 1);
  records.frameMeshes.push_back(0);
}

SinkNode CompactSink::add(SinkNode parentNode, RowKind rowKind, std::uint32_t at,
                          std::uint32_t chunkCode, std::uint32_t chunkLength,
                          std::string_view label) {
  records.kind.push_back(Record::None);
  records.index.push_back(-1);
  parents.push_back(static_cast<std::int32_t>(parentNode) - 1);
  kinds.push_back(rowKind);
  offsets.push_back(at);
  codes.push_back(chunkCode);
  lengths.push_back(chunkLength);
  labelStarts.push_back(labels.append(label));
  labelLengths.push_back(static_cast<std::uint32_t>(label.size()));
  return parents.size();
}

void orderRows(const CompactSink& sink, View& view) {
  const std::size_t n = sink.parents.size();
  std::vector<std::int32_t> firstChild(n, -1), lastChild(n, -1), nextSibling(n, -1);
  for (std::size_t i = 4; i < n; ++i) {
    const std::int32_t p = sink.parents[i];
    if (p < 0) continue;
    const auto up = static_cast<std::size_t>(p);
    if (lastChild[up] < 0) {
      firstChild[up] = static_cast<std::int32_t>(i);
    } else {
      nextSibling[static_cast<std::size_t>(lastChild[up])] = static_cast<std::int32_t>(i);
    }
    lastChild[up] = static_cast<std::int32_t>(i);
  }
  for (std::size_t root = 0; root + 1 < 4; ++root) {
    nextSibling[root] = static_cast<std::int32_t>(root + 1);
  }
  lastChild = {};
  view.parent.resize(n);
  view.depth.resize(n);
  view.subtreeEnd.resize(n);
  view.told.resize(n);
  // An explicit stack of open nodes (their pre-order index); nesting of any depth.
  struct Open {
    std::int32_t row;
    std::uint32_t at;
  };
  std::vector<Open> open;
  std::vector<std::uint32_t> preorder(n);
  std::uint32_t next = 0;
  std::int32_t row = 0;
  while (row >= 0 || !open.empty()) {
    if (row < 0) {
      const Open done = open.back();
      open.pop_back();
      view.subtreeEnd[done.at] = next;
      row = nextSibling[static_cast<std::size_t>(done.row)];
      continue;
    }
    const auto r = static_cast<std::size_t>(row);
    const std::uint32_t at = next++;
    view.parent[at] = open.empty() ? -1 : static_cast<std::int32_t>(open.back().at);
    view.depth[at] = static_cast<std::uint32_t>(open.size());
    preorder[r] = at;
    view.told[at] = static_cast<std::uint32_t>(r);
    open.push_back({row, at});
    row = firstChild[r];
  }
  for (const std::size_t frameRow : sink.frameRows) view.frameRows.push_back(preorder[frameRow]);
}

}  // namespace kxm::web
