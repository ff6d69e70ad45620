#include "web/compact_tree.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "format/chunk_catalogue.h"

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

SinkNode CompactSink::topLevelChunk(SinkRoot root, const ChunkHead& head,
                                    const RecordStart& record) {
  Label label;
  topLevelLabel(label, root, head);
  const SinkNode node = add(static_cast<SinkNode>(root) + 1, Chunk, head.offset, label.view());
  startRecord(node, head.offset, record);
  return node;
}

SinkNode CompactSink::chunk(SinkNode parent, const ChunkHead& head, const ChunkValue& value,
                            const RecordStart& record) {
  Label label;
  chunkLabel(label, options_, head, value);
  const SinkNode node = add(parent, Chunk, head.offset, label.view());
  startRecord(node, head.offset, record);
  boneField(parent, node, head);
  return node;
}

void CompactSink::end(SinkNode parent, const ChunkHead& head, EndKind endKind,
                      const char* objectName) {
  Label label;
  endLabel(label, options_, endKind, objectName);
  add(parent, Chunk, head.offset, label.view());
  if (endKind == EndKind::Bone && parent == boneList_) ++bone_;
}

// A mesh's bones are one list of field chunks, each bone's closed by an END: the bone a chunk of
// vertices or weights is of is the number of ENDs told before it, as the reader counts them.
void CompactSink::boneField(SinkNode parent, SinkNode node, const ChunkHead& head) {
  if (head.code == chunk::MeshBonesData) {
    boneList_ = node;
    boneMesh_ = parent == meshNode_ ? meshEntry_ : -1;
    bone_ = 0;
  } else if (parent == boneList_ && boneMesh_ >= 0 &&
             (head.code == chunk::BonesVertices || head.code == chunk::BonesWeights)) {
    records.add(static_cast<std::uint32_t>(node - 1), head.offset, Record::Bone,
                static_cast<std::int32_t>(records.bones.size()));
    records.bones.push_back({boneMesh_, bone_});
  }
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

void CompactSink::startRecord(SinkNode node, std::uint32_t offset, const RecordStart& record) {
  const auto row = static_cast<std::uint32_t>(node - 1);
  const auto owner = static_cast<std::int32_t>(record.owner);
  const auto index = static_cast<std::int32_t>(record.index);
  switch (record.kind) {
    case RecordStart::Kind::None: break;
    case RecordStart::Kind::Frame:
      records.add(row, offset, Record::Frame, index);
      frameRows.push_back(row);
      break;
    case RecordStart::Kind::Mesh:
      meshNode_ = node;
      meshEntry_ = static_cast<std::int32_t>(records.meshes.size());
      records.add(row, offset, Record::Mesh, meshEntry_);
      records.meshes.push_back({owner, index});
      break;
    case RecordStart::Kind::AnimationSet: records.add(row, offset, Record::Set, index); break;
    case RecordStart::Kind::Animation:
      records.add(row, offset, Record::Animation,
                  static_cast<std::int32_t>(records.animations.size()));
      records.animations.push_back({owner, index});
      break;
  }
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
  return ++rows_;
}

}  // namespace kxm::web
