// The walk over one file image: the context that every chunk walker works in.
//
// A ChunkReader is handed the image, the model it fills, the sink it tells what it meets, the
// observer it tells what is wrong, and the limits of the load; the byte cursor alone moves
// through the image. The walkers are its operations, one
// family per file. While it walks it keeps the chain of chunks it is inside, so that a failure
// can say where it happened, and it holds the load to two limits that no well-formed file comes
// near (see LoadLimits).
//
// A failed walk returns false at once and leaves everything as it stood at the failure: the
// nodes told so far, the records, and the chain of enclosing chunks that explains it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "format/chunk_catalogue.h"
#include "format/record_layouts.h"
#include "model/model.h"
#include "reader/byte_cursor.h"
#include "reader/chunk_sink.h"
#include "reader/findings.h"
#include "reader/load_failure.h"

namespace kxm {

class MeshChecks;

// What one load may cost, by the size of its file. Arrays allocated at counts read the file's
// bytes again where their data overlaps (a stride of 0, two key chunks over the same keys), and a
// chunk that runs past its parent makes the parent walk the overflow again; without limits a few
// hundred bytes could claim gigabytes and minutes.
struct LoadLimits {
  // Arrays allocated at counts, each entry at its size in the model, every allocation counted.
  std::uint64_t arrayBytes = 0;
  // Chunk heads read, at every level.
  std::uint64_t chunkHeads = 0;

  static LoadLimits forFileSize(std::uint32_t fileSize) {
    return {(std::uint64_t{64} << 20) + 8 * std::uint64_t{fileSize},
            65536 + std::uint64_t{fileSize}};
  }
};

// What one walk has used of its limits.
struct LoadUsage {
  std::uint64_t arrayBytes = 0;
  std::uint64_t chunkHeads = 0;
};

class ChunkReader {
 public:
  ChunkReader(std::span<const std::uint8_t> image, Model& model, ChunkSink* sink,
              LoadObserver* observer, const LoadLimits& limits, const BlockSource& blocks);
  ChunkReader(const ChunkReader&) = delete;
  ChunkReader& operator=(const ChunkReader&) = delete;

  // The header and its five nodes, then the top-level walk. False when the load fails.
  [[nodiscard]] bool parseImage();
  // Why the walk failed; call once, after parseImage returned false.
  LoadFailure explainFailure() const;
  const LoadUsage& usage() const { return usage_; }

  ByteCursor cursor;
  Model& model;
  ChunkSink* const sink;         // nullptr: nothing is told
  LoadObserver* const observer;  // nullptr: nothing is checked beyond what the load needs
  const BlockSource& blocks;     // where the model's arrays come from

  // --- Telling the sink; each is a no-op without one.
  SinkNode tell(SinkNode parent, const ChunkHead& head, const ChunkValue& value = {}) {
    return sink != nullptr ? sink->chunk(parent, head, value, {}) : 0;
  }
  // A chunk that begins a record of the model, told before the record is added.
  SinkNode tellStart(SinkNode parent, const ChunkHead& head, RecordStart::Kind kind,
                     std::size_t owner, std::size_t index) {
    if (sink == nullptr) return 0;
    return sink->chunk(parent, head, {}, recordStart(kind, owner, index));
  }
  static RecordStart recordStart(RecordStart::Kind kind, std::size_t owner, std::size_t index) {
    // The model's tables hold fewer than 2^31 records.
    return {kind, static_cast<std::uint32_t>(owner), static_cast<std::uint32_t>(index)};
  }
  void tellEnd(SinkNode parent, const ChunkHead& head, EndKind kind, const char* objectName) {
    if (sink != nullptr) sink->end(parent, head, kind, objectName);
  }

  // Which walker reads a run of chunks, and so which codes are in place there.
  enum class Family {
    TopLevel,
    Frame,
    Mesh,
    Bone,
    Texture,
    MultiMaterial,
    AnimationSet,
    Animation
  };

  // --- What the walkers share.

  // Reads the next chunk head, counted against the chunk limit, inside a payload that ends at
  // `end` and is read by the walker of `family`.
  [[nodiscard]] bool nextChunk(ChunkHead& head, std::uint32_t end, Family family);
  // The payload of this chunk is being read from now on, until leaveChunk.
  void enterChunk(const ChunkHead& head) { path_.push_back({head.offset, head.code, nullptr}); }
  void leaveChunk() { path_.pop_back(); }
  // The chunk at this depth of the chain (0: outermost) is known by a name from now on: a
  // frame's, an element's, an animation set's or an animation's. The text must outlive the walk.
  void nameChunk(std::size_t depth, const char* objectName) {
    path_[depth].objectName = objectName;
  }
  std::size_t pathDepth() const { return path_.size(); }
  // The code of the chunk at this depth of the chain.
  ChunkCode chunkAt(std::size_t depth) const { return path_[depth].code; }

  // --- Findings, for the observer; each is a no-op without one.
  bool observing() const { return observer != nullptr; }
  // In the chunk being read, or in `chunk` below it.
  void report(FindingCode code, std::uint32_t offset, std::string message,
              const ChunkHead* chunk = nullptr);
  // A value or fixed-size chunk whose length field differs from the bytes read from it. The
  // guards stand here, inline, so that a walk without an observer pays a compare for them.
  void expectLength(const ChunkHead& head, std::uint64_t bytesRead) {
    if (observing() && head.length != bytesRead) reportLength(head, bytesRead);
  }
  // The same for a data chunk of count entries of entryBytes.
  void expectDataLength(const ChunkHead& head, std::uint64_t count, std::uint32_t entryBytes,
                        const char* what) {
    if (observing() && head.length != count * entryBytes) {
      reportDataLength(head, count, entryBytes, what);
    }
  }
  // A record of floats alone (a matrix, a material, a vector) read whole into `out`, whose
  // size is the record's; its length and its numbers checked for the observer.
  template <const layout::RecordLayout& Record, std::size_t N>
  [[nodiscard]] bool readFloatRecord(const ChunkHead& head, float (&out)[N], const char* what) {
    static_assert(N * sizeof(float) == Record.size);
    if (!cursor.readFloatsLe(out, N)) return false;
    expectLength(head, Record.size);
    expectFinite(head, out, N, what);
    return true;
  }
  // NaN or infinity among values read from this chunk: one finding per chunk.
  void expectFinite(const ChunkHead& head, const float* values, std::size_t count,
                    const char* what) {
    if (observing()) checkFinite(head, values, count, what);
  }
  // A payload that ended without its END.
  void reportMissingEnd(std::uint32_t end, const char* what);
  // The chain of chunks the walk is in now, for a finding reported later.
  std::vector<ChunkRef> currentPath() const;
  // A length-prefixed string of this chunk into dest (zero-filled by the caller); one of 128
  // bytes or more is skipped, and said to the observer.
  [[nodiscard]] bool readName(const ChunkHead& head, char (&dest)[kStringCapacity],
                              const char* what);

  // Records the failure (the first one only) and returns false.
  bool fail(FailureCause cause, std::uint32_t offset, std::string message);
  bool outOfMemory(const char* what);
  // Whether `count` entries of `entryBytes` fit in what is left of the file after the cursor.
  [[nodiscard]] bool countFits(std::uint64_t count, std::uint32_t entryBytes, const char* what);
  // Takes count entries of entryBytes from the load's allowance for arrays.
  [[nodiscard]] bool chargeArray(std::uint64_t count, std::uint32_t entryBytes, const char* what);
  // The same for an array the load can do without: false, and nothing taken, where it does not
  // fit; the load does not fail.
  [[nodiscard]] bool allowArray(std::uint64_t count, std::uint32_t entryBytes) {
    const std::uint64_t bytes = count * entryBytes;
    if (bytes > limits_.arrayBytes - usage_.arrayBytes) return false;
    usage_.arrayBytes += bytes;
    return true;
  }
  // A value the viewer only shows, kept for writing the file again where the model asks for
  // it and the load's allowance has room; the load goes on without it otherwise.
  void keepShown(std::vector<ShownState>& states, ChunkCode code, std::uint32_t raw) {
    if (!model.keepForWriting || !allowArray(1, sizeof(ShownState))) return;
    try {
      states.push_back({code, raw});
    } catch (const std::bad_alloc&) {
    }
  }
  // The whole road of an array read from the file at a count: the count checked against the
  // file, the allowance charged, the array allocated (replacing what it held).
  template <class T>
  [[nodiscard]] bool allocateCounted(ValueArray<T>& array, std::uint32_t count,
                                     std::uint32_t fileEntryBytes, const char* what) {
    if (!countFits(count, fileEntryBytes, what)) return false;
    if (!chargeArray(count, sizeof(T), what)) return false;
    if (!array.allocate(static_cast<std::int32_t>(count), blocks)) return outOfMemory(what);
    return true;
  }

  // The chunk loop of every walker whose chunks do not nest a level of their own: chunk after
  // chunk up to `end` (an END ends the walk at once, the cursor just after its head); each other
  // chunk is handed to `handle`, and the walk goes on at the chunk's end, or right after the value
  // it read where `handle` says so. `what` names the payload for a missing END (nullptr: not
  // reported).
  enum class Next { Failed, AtChunkEnd, AfterValue };
  template <class OnEnd, class Handle>
  bool walkChunks(std::uint32_t end, Family family, const char* what, OnEnd&& onEnd,
                  Handle&& handle) {
    while (cursor.offset() < end) {
      ChunkHead head;
      if (!nextChunk(head, end, family)) return false;
      if (head.code == chunk::End) {
        onEnd(head);
        return true;
      }
      enterChunk(head);
      const Next next = handle(head);
      if (next == Next::Failed) return false;
      leaveChunk();
      if (next == Next::AtChunkEnd) cursor.seek(head.end);
    }
    if (observing() && what != nullptr) reportMissingEnd(end, what);
    return true;
  }

  // The walkers, one family per file.
  bool walkTopLevel();
  void keepCustomData(const ChunkHead& head);
  bool readFrame(std::uint32_t end, SinkNode frameItem);
  bool readMesh(std::uint32_t end, Frame& frame, SinkNode parentItem);
  bool readBoneList(const ChunkHead& list, Mesh& mesh, std::int32_t count, SinkNode listItem,
                    MeshChecks& checks);
  bool readTextureList(const ChunkHead& list, Mesh& mesh, std::int32_t count, SinkNode listItem,
                       MeshChecks& checks);
  bool readMultiMaterialList(const ChunkHead& list, Mesh& mesh, std::int32_t count,
                             SinkNode listItem, MeshChecks& checks);
  bool readAnimationSet(std::uint32_t end, SinkNode parentItem);
  bool readAnimation(std::uint32_t end, AnimationSet& set, std::size_t setIndex,
                     SinkNode parentItem);
  // Whether the sink can show nodes down to `deepest` levels; the load fails where it cannot.
  bool admitsDepth(std::size_t deepest, const ChunkHead& head, const char* what);

 private:
  void reportLength(const ChunkHead& head, std::uint64_t bytesRead);
  void reportDataLength(const ChunkHead& head, std::uint64_t count, std::uint32_t entryBytes,
                        const char* what);
  void checkFinite(const ChunkHead& head, const float* values, std::size_t count, const char* what);
  void checkChunkPlace(const ChunkHead& head, std::uint32_t end, Family family);

  struct PathEntry {  // its catalogue name follows from its code and depth
    std::uint32_t offset;
    ChunkCode code;
    const char* objectName;
  };
  const char* nameOf(std::size_t depth) const {
    return depth == 0 ? topLevelNameOf(path_[0].code) : chunkNameOf(path_[depth].code);
  }
  bool readHeader();

  LoadLimits limits_;
  LoadUsage usage_;
  std::deque<PathEntry> path_;  // grows with nesting, never copied
  LoadFailure failure_;         // path filled in by explainFailure
};

}  // namespace kxm
