// What the reader tells as it walks. The reader fills the model; whoever wants to show what it
// met (the viewer's tree, kxm-dump, a browser's rows) hands it a sink, and the reader tells it
// every header field, every chunk with the value it carried, every END, in file order. The
// reader knows where each chunk's node belongs (the node of the chunk that holds it, or a
// frame's sibling parent), not what a node says: that is the sink's label rule.
//
// A load without a sink tells nothing and pays nothing for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "reader/byte_cursor.h"

namespace kxm {

// A node the sink made, for the chunks below it; 0 for none (a sink that makes no nodes).
using SinkNode = std::uintptr_t;

// Where top-level chunks and header fields go: the four roots every view of a file shows.
enum class SinkRoot { FileHeader, Frames, AnimationSets, CustomData };
inline constexpr SinkRoot kSinkRoots[] = {SinkRoot::FileHeader, SinkRoot::Frames,
                                          SinkRoot::AnimationSets, SinkRoot::CustomData};

// "FileHeader", "Frames", "AnimationSets", "CustomData": the roots' labels.
constexpr const char* rootName(SinkRoot root) {
  constexpr const char* kNames[] = {"FileHeader", "Frames", "AnimationSets", "CustomData"};
  return kNames[static_cast<int>(root)];
}

// The value a chunk or header field carried, as read.
struct ChunkValue {
  enum class Kind : std::uint8_t { None, Name, Integer, Float, Vector, Flags };
  Kind kind = Kind::None;
  std::int32_t integer = 0;       // Integer (a byte or an unsigned count as the file's 32 bits)
  std::uint32_t flags = 0;        // Flags: a vertex format
  double numbers[3] = {0, 0, 0};  // Float (the first) and Vector, as stored (radians for a turn)
  const char* text = nullptr;     // Name: the string read, empty for one that was skipped

  static ChunkValue name(const char* text) {
    ChunkValue v;
    v.kind = Kind::Name;
    v.text = text;
    return v;
  }
  static ChunkValue number(std::int32_t value) {
    ChunkValue v;
    v.kind = Kind::Integer;
    v.integer = value;
    return v;
  }
  static ChunkValue real(float value) {
    ChunkValue v;
    v.kind = Kind::Float;
    v.numbers[0] = value;
    return v;
  }
  static ChunkValue vector(const float (&values)[3]) {
    ChunkValue v;
    v.kind = Kind::Vector;
    for (int i = 0; i < 3; ++i) v.numbers[i] = values[i];
    return v;
  }
  static ChunkValue vertexFormat(std::uint32_t bits) {
    ChunkValue v;
    v.kind = Kind::Flags;
    v.flags = bits;
    return v;
  }
};

// The model record a chunk begins, as the reader adds it: frame `index` of the model, mesh
// `index` of frame `owner`, animation set `index`, or animation `index` of set `owner`. None
// for every other chunk. A sink that shows a record's values finds them by it.
struct RecordStart {
  enum class Kind : std::uint8_t { None, Frame, Mesh, AnimationSet, Animation };
  Kind kind = Kind::None;
  std::uint32_t owner = 0;
  std::uint32_t index = 0;
};

// What an END closes.
enum class EndKind { Frame, Mesh, Bone, Texture, MultiMaterial, AnimationSet, AnimData };

class ChunkSink {
 public:
  virtual ~ChunkSink() = default;

  // One field of a valid header: "str_length", "file_id" (a Name), "file_version", "reserved1",
  // "reserved2", at its offset.
  virtual void headerField(std::uint32_t offset, const char* field, const ChunkValue& value) = 0;
  // A top-level chunk: a frame hierarchy (code 1), an animation set (2) or custom data (406),
  // with the record it begins.
  virtual SinkNode topLevelChunk(SinkRoot root, const ChunkHead& head,
                                 const RecordStart& record) = 0;
  // A chunk inside another, told once what its node shows has been read: the value it carried
  // (None for containers, data, skipped chunks and chunks whose payload failed to read), and the
  // record it begins (a CHILD or SIBLING frame, a MESH, an animation).
  virtual SinkNode chunk(SinkNode parent, const ChunkHead& head, const ChunkValue& value,
                         const RecordStart& record) = 0;
  // An END under `parent`, closing an object of this kind with the name read for it so far.
  virtual void end(SinkNode parent, const ChunkHead& head, EndKind kind,
                   const char* objectName) = 0;
  // At a frame's END: the node of the chunk that holds the frame (code `holder`, at the top
  // level or not) now knows the frame's name ("" when it had none).
  virtual void frameNamed(SinkNode frameNode, std::uint32_t holder, bool topLevel,
                          const char* frameName) = 0;
  // Nested frames and animations ask before they go deeper: can the sink show nodes `deepest`
  // levels below its roots (the roots at 0)? Empty when it can; otherwise what it cannot hold,
  // for the explanation ("the tree view's 1024 levels"), and the load fails there.
  virtual std::string depthRefusal(std::size_t /*deepest*/) { return {}; }
};

}  // namespace kxm
