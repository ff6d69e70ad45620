// A diff's values: a value chunk's one value, read by its code's type; a chunk's payload and the
// name a frame, set or animation goes by, read from the file's bytes.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "format/chunk_catalogue.h"
#include "format/little_endian.h"
#include "format/record_layouts.h"
#include "text/escape.h"
#include "text/format.h"
#include "tree/chunk_tree.h"
#include "tree/tree_diff.h"
#include "tree/tree_sink.h"

namespace kxm {

namespace {

// How a value chunk's payload reads, as the reader reads it: from the first byte after the
// head, whatever the chunk's length says.
enum class ValueType { None, Byte, Int32, Float32, Vector, Flags, Name };

ValueType valueTypeOf(ChunkCode code) {
  switch (shownValueOf(code)) {  // the render states
    case ShownValue::Byte: return ValueType::Byte;
    case ShownValue::Int32: return ValueType::Int32;
    case ShownValue::Float32: return ValueType::Float32;
    case ShownValue::None: break;
  }
  switch (code) {
    case chunk::FrameName:
    case chunk::TextureName:
    case chunk::MultiMaterialName:
    case chunk::BonesName:
    case chunk::AnimationSetName:
    case chunk::AnimBoneName: return ValueType::Name;
    case chunk::FrameOffset:
    case chunk::FrameRotation:
    case chunk::FrameScale: return ValueType::Vector;
    case chunk::MeshFvfFlags: return ValueType::Flags;
    case chunk::MeshFvfSize:
    case chunk::MeshVertexCount:
    case chunk::MeshIndexCount:
    case chunk::MeshPrimitiveType:
    case chunk::MeshDrawVertexCount:
    case chunk::MeshDrawPrimitiveCount:
    case chunk::MeshBoneCount:
    case chunk::MultipleMaterialCount:
    case chunk::MeshTextureCount:
    case chunk::TexturePrimitiveStart:
    case chunk::TexturePrimitiveCount:
    case chunk::MultiMaterialIndexStart:
    case chunk::MultiMaterialIndexCount:
    case chunk::MultiMaterialPolygonCount:
    case chunk::AnimationSetLength:
    case chunk::PositionKeyCount:
    case chunk::RotationKeyCount:
    case chunk::ScaleKeyCount:
    case chunk::MatrixKeyCount:
    case chunk::BonesNumInfluences: return ValueType::Int32;
    default:
      // Stage, blend mode, arguments, address modes, filters, coordinate mode.
      if (code >= chunk::TextureStage && code <= chunk::TextureTcMode) return ValueType::Int32;
      return ValueType::None;
  }
}

// A value as read; `present` is false where the file ends before it.
struct Value {
  ValueType type = ValueType::None;
  bool present = false;
  std::uint32_t bits = 0;  // Byte, Int32, Flags
  float floats[3] = {0, 0, 0};
  std::string_view name;
};

Value valueOf(const DiffSide& side, NodeHandle node) {
  const NodeSource s = side.source(node);
  Value v;
  // Only chunks inside chunks carry values: 1, 2 and 406 at the top level are no value chunks.
  if (s.kind != NodeSource::Kind::Chunk ||
      side.source(side.tree.parent(node)).kind == NodeSource::Kind::None) {
    return v;
  }
  v.type = valueTypeOf(s.code);
  const std::uint64_t start = std::uint64_t{s.offset} + layout::kChunkHead.size;
  switch (v.type) {
    case ValueType::None: return v;
    case ValueType::Byte:
      if (const std::uint8_t* p = side.at(start, 1)) v.present = true, v.bits = *p;
      return v;
    case ValueType::Int32:
    case ValueType::Flags:
    case ValueType::Float32:
      if (const std::uint8_t* p = side.at(start, 4)) {
        v.present = true, v.bits = loadU32Le(p);
        loadFloatsLe(p, v.floats, 1);
      }
      return v;
    case ValueType::Vector:
      if (const std::uint8_t* p = side.at(start, layout::kVector.size)) {
        v.present = true;
        loadFloatsLe(p, v.floats, 3);
      }
      return v;
    case ValueType::Name:
      if (const std::uint8_t* p = side.at(start, 4)) {
        const std::uint32_t length = loadU32Le(p);
        if (const std::uint8_t* text = side.at(start + 4, length)) {
          v.present = true;
          v.name = {reinterpret_cast<const char*>(text), length};
        }
      }
      return v;
  }
  return v;
}

}  // namespace

bool sameFloat(float x, float y, double epsilon) {
  return x == y || std::memcmp(&x, &y, 4) == 0 || std::fabs(double{x} - y) <= epsilon;
}

std::string floatsText(const float* v, std::uint32_t n) {
  std::string text = "(";
  for (std::uint32_t i = 0; i < n; ++i) text += (i ? ", " : "") + shortNumber(v[i]);
  return text + ")";
}

bool isValueChunk(const DiffSide& side, NodeHandle node) {
  return valueOf(side, node).type != ValueType::None;
}

std::optional<std::string> valueText(const DiffSide& side, NodeHandle node) {
  const Value v = valueOf(side, node);
  if (v.type == ValueType::None) return std::nullopt;
  if (!v.present) return "none";
  switch (v.type) {
    case ValueType::Byte: return std::to_string(v.bits);
    case ValueType::Int32: return std::to_string(static_cast<std::int32_t>(v.bits));
    case ValueType::Flags: return hex8(v.bits);
    case ValueType::Float32: return shortNumber(v.floats[0]);
    case ValueType::Vector: return floatsText(v.floats, 3);
    case ValueType::Name: return quotedLabel(v.name);
    case ValueType::None: break;
  }
  return std::nullopt;
}

bool sameValue(const DiffSide& a, NodeHandle na, const DiffSide& b, NodeHandle nb, double epsilon) {
  const Value x = valueOf(a, na), y = valueOf(b, nb);
  if (x.type != y.type || x.present != y.present) return false;
  switch (x.type) {
    case ValueType::Float32: return sameFloat(x.floats[0], y.floats[0], epsilon);
    case ValueType::Vector:
      for (int i = 0; i < 3; ++i) {
        if (!sameFloat(x.floats[i], y.floats[i], epsilon)) return false;
      }
      return true;
    case ValueType::Name: return x.name == y.name;
    default: return x.bits == y.bits;
  }
}

}  // namespace kxm

namespace kxm {

std::pair<const std::uint8_t*, std::uint32_t> DiffSide::payload(NodeHandle node) const {
  const NodeSource s = source(node);
  const std::uint64_t start = std::uint64_t{s.offset} + layout::kChunkHead.size;
  if (s.kind != NodeSource::Kind::Chunk || start > bytes.size()) return {nullptr, 0};
  const std::uint64_t size = std::min<std::uint64_t>(s.length, bytes.size() - start);
  return {bytes.data() + start, static_cast<std::uint32_t>(size)};
}

namespace {

// The code of the chunk that names an object, 0 for a node that is no frame, animation set or
// animation. Codes 1 and 2 hold a frame and a set at the top level only.
ChunkCode nameCodeOf(const DiffSide& side, NodeHandle node) {
  const NodeSource s = side.source(node);
  if (s.kind != NodeSource::Kind::Chunk) return 0;
  switch (s.code) {
    case chunk::FrameChild:
    case chunk::FrameSibling: return chunk::FrameName;
    case chunk::AnimationSetData:
    case chunk::NextAnimation: return chunk::AnimBoneName;
    case chunk::FrameRoot:
    case chunk::AnimationSetRoot: break;
    default: return 0;
  }
  if (side.source(side.tree.parent(node)).kind != NodeSource::Kind::None) return 0;
  return s.code == chunk::FrameRoot ? chunk::FrameName : chunk::AnimationSetName;
}

}  // namespace

bool DiffSide::isNamedObject(NodeHandle node) const {
  return nameCodeOf(*this, node) != 0;
}

std::optional<std::string_view> DiffSide::objectName(NodeHandle node) const {
  const ChunkCode code = nameCodeOf(*this, node);
  if (code == 0) return std::nullopt;
  std::optional<std::string_view> name;
  // The last name chunk names the object, as the reader keeps the last one it reads.
  for (NodeHandle c = tree.firstChild(node); c != 0; c = tree.nextSibling(c)) {
    if (source(c).code != code) continue;
    const Value v = valueOf(*this, c);
    if (v.present) name = v.name;
  }
  if (name && name->empty()) return std::nullopt;
  return name;
}

LoadOutcome DiffSide::load(std::span<const std::uint8_t> file, const DiffOptions& options,
                           const BlockSource& blocks) {
  DisplayOptions display;
  display.ShowNamesOption = options.showNames ? 1 : 0;
  display.ShowValuesOption = options.showValues ? 1 : 0;
  ChunkTree chunkTree;
  chunkTree.Attach(&tree);
  TreeSink sink(chunkTree, display);
  Model model;
  bytes = file;
  LoadOutcome outcome = kxm::load(file, model, &sink, nullptr, std::nullopt, blocks);
  if (!outcome.loaded && outcome.failure.hasOffset) failure = outcome.failure;
  return outcome;
}

}  // namespace kxm
