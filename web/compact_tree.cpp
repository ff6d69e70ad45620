#include "web/compact_tree.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace kxm::web {

std::uint32_t LabelStream::append(std::string_view label) {
  if (size_ + label.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("the labels of this file pass 4 GiB");
  }
  const auto start = static_cast<std::uint32_t>(size_);
  while (!label.empty()) {
    const auto used = static_cast<std::uint32_t>(size_ % kBlock);
    if (used == 0 && size_ / kBlock == blocks_.size()) {
      blocks_.push_back(std::make_unique<char[]>(kBlock));
    }
    const std::size_t n = std::min<std::size_t>(label.size(), kBlock - used);
    std::memcpy(blocks_.back().get() + used, label.data(), n);
    label.remove_prefix(n);
    size_ += n;
  }
  return start;
}

// Only asked of a row that starts a record, so the search finds it.
std::int32_t Records::indexOf(SinkNode node) const {
  const auto row = static_cast<std::uint32_t>(node - 1);
  const auto at = std::lower_bound(starts.begin(), starts.end(), row,
                                   [](const Record& r, std::uint32_t x) { return r.row < x; });
  return at != starts.end() && at->row == row ? at->index : -1;
}

// A chunk that runs past its parent is walked again, so one chunk may start a record more than
// once: the first, the one walked whole, stays first.
void Records::finish() {
  std::stable_sort(starts.begin(), starts.end(),
                   [](const Record& a, const Record& b) { return a.offset < b.offset; });
}

const Record* Records::atOffset(std::uint32_t offset) const {
  const auto at = std::lower_bound(starts.begin(), starts.end(), offset,
                                   [](const Record& r, std::uint32_t x) { return r.offset < x; });
  return at != starts.end() && at->offset == offset ? &*at : nullptr;
}

CompactSink::CompactSink(const DisplayOptions& options) : options_(options) {
  for (const SinkRoot root : kSinkRoots) add(0, Root, 0, rootName(root));
}

void CompactSink::headerField(std::uint32_t offset, const char* field, const ChunkValue& value) {
  Label label;
  headerLabel(label, field, value);
  const auto bytes = value.kind == ChunkValue::Kind::Name
                         ? static_cast<std::uint32_t>(std::strlen(value.text))
                         : std::uint32_t{4};
  fieldBytes.push_back({rows_, bytes});
  add(1, HeaderField, offset, label.view());
}

SinkNode CompactSink::topLevelChunk(SinkRoot root, const ChunkHead& head) {
  Label label;
  topLevelLabel(label, root, head);
  const SinkNode node = add(static_cast<SinkNode>(root) + 1, Chunk, head.offset, label.view());
  if (root == SinkRoot::Frames) addFrame(node, head.offset);
  if (root == SinkRoot::AnimationSets) {
    startRecord(node, head.offset, Record::Set,
                static_cast<std::int32_t>(records.setAnimations.size()));
    records.setAnimations.push_back(0);
  }
  return node;
}

SinkNode CompactSink::chunk(SinkNode parent, const ChunkHead& head, const ChunkValue& value) {
  Label label;
  chunkLabel(label, options_, head, value);
  const SinkNode node = add(parent, Chunk, head.offset, label.view());
  // Which record of the model the chunk starts, as the walkers add them: a frame where a
  // frame or the Frames root holds it, a mesh in a frame, an animation in a set or after
  // another animation.
  const Record::Kind holder = parent == static_cast<SinkNode>(SinkRoot::Frames) + 1
                                  ? Record::Frame
                                  : recordOf(parent);
  if ((head.code == kChildFrame || head.code == kSiblingFrame) && holder == Record::Frame) {
    addFrame(node, head.offset);
  } else if (head.code == kFrameMesh && holder == Record::Frame) {
    const auto frame = static_cast<std::size_t>(records.indexOf(parent));
    const std::int32_t mesh = records.frameMeshes[frame]++;
    startRecord(node, head.offset, Record::Mesh, static_cast<std::int32_t>(records.meshes.size()));
    records.meshes.push_back({static_cast<std::int32_t>(frame), mesh});
  } else if ((head.code == kFirstAnimation && holder == Record::Set) ||
             (head.code == kNextAnimation && holder == Record::Animation)) {
    const std::int32_t set = holder == Record::Set
                                 ? records.indexOf(parent)
                                 : records.animations[static_cast<std::size_t>(
                                       records.indexOf(parent))].first;
    const std::int32_t animation = records.setAnimations[static_cast<std::size_t>(set)]++;
    startRecord(node, head.offset, Record::Animation,
                static_cast<std::int32_t>(records.animations.size()));
    records.animations.push_back({set, animation});
  }
  return node;
}

void CompactSink::end(SinkNode parent, const ChunkHead& head, EndKind endKind,
                      const char* objectName) {
  Label label;
  endLabel(label, options_, endKind, objectName);
  add(parent, Chunk, head.offset, label.view());
}

void CompactSink::frameNamed(SinkNode frameNode, std::uint32_t holder, bool topLevel,
                             const char* frameName) {
  Label label;
  if (frameNode == 0 || frameNode > rows_ ||
      !frameNodeLabel(label, options_, holder, topLevel, frameName)) {
    return;
  }
  // The old text stays in the stream unused: a frame is relabelled once.
  const At a = at(frameNode);
  a.block.labelStart[a.index] = labels.append(label.view());
  a.block.labelLength[a.index] = static_cast<std::uint32_t>(label.view().size());
}

Record::Kind CompactSink::recordOf(SinkNode node) const {
  if (node == 0 || node > rows_) return Record::None;
  const At a = at(node);
  return a.block.record[a.index];
}

void CompactSink::startRecord(SinkNode node, std::uint32_t offset, Record::Kind kind,
                              std::int32_t index) {
  const At a = at(node);
  a.block.record[a.index] = kind;
  records.add(static_cast<std::uint32_t>(node - 1), offset, kind, index);
}

void CompactSink::addFrame(SinkNode node, std::uint32_t offset) {
  startRecord(node, offset, Record::Frame, static_cast<std::int32_t>(frameRows.size()));
  frameRows.push_back(static_cast<std::uint32_t>(node - 1));
  records.frameMeshes.push_back(0);
}

SinkNode CompactSink::add(SinkNode parentNode, RowKind rowKind, std::uint32_t offset,
                          std::string_view label) {
  // The label first: what may run out of memory does so before the row is counted, so the
  // rows made so far stay whole.
  const std::uint32_t labelStart = labels.append(label);
  const std::uint32_t index = rows_ % RowBlock::kRows;
  if (index == 0) blocks_.push_back(std::make_unique<RowBlock>());
  RowBlock& b = *blocks_.back();
  b.parent[index] = static_cast<std::int32_t>(parentNode) - 1;
  b.offset[index] = offset;
  b.labelStart[index] = labelStart;
  b.labelLength[index] = static_cast<std::uint32_t>(label.size());
  b.kind[index] = rowKind;
  b.record[index] = Record::None;
  return ++rows_;
}

}  // namespace kxm::web
