// The nesting driver of frames and animations. A CHILD or SIBLING chunk holds a whole frame, a
// "Next ANIMATION" chunk the next animation of a chain, each one level deeper in the file; the
// format sets no limit, so the levels live on an explicit stack, not on the call stack.
//
// Each level reads chunks up to its `end`. A chunk that opens a nested level is walked to its
// own END or end, and then the level goes on at that chunk's end (`nestedEnd`), wherever the
// nested walk left the cursor. When the outermost level is done the cursor stays where it left
// it: just after its END's head, or at the end of its last chunk.
//
// A Walker supplies `Level` (with `end` and `nestedEnd`), `kFamily` and `kWhat` (what a level
// is, for findings), `onEnd(level, head)` for an END, and `onChunk(level, head, nested)` for every
// other chunk, which enters the chunk in the reader's chain and returns Handled, Failed, or
// Nested with the nested level filled in.
#pragma once

#include <deque>
#include <new>

#include "reader/chunk_reader.h"

namespace kxm {

enum class NestedStep { Failed, Handled, Nested };

template <class Walker>
bool walkNested(ChunkReader& reader, Walker& walker, const typename Walker::Level& outermost) {
  using Level = typename Walker::Level;
  auto missingEnd = [&](std::uint32_t end) {
    if (reader.observing()) reader.reportMissingEnd(end, Walker::kWhat);
  };
  if (reader.cursor.offset() >= outermost.end) {
    missingEnd(outermost.end);
    return true;
  }
  // A deque: a chain a million deep grows without copying itself.
  std::deque<Level> levels{outermost};

  // Pops the top level, then every level whose nested chunk ended at or past its own end (and
  // so without its END). The chunk holding a nested level leaves the chain with it; the
  // outermost one is its caller's.
  auto finishLevel = [&] {
    for (;;) {
      levels.pop_back();
      if (levels.empty()) return;
      reader.leaveChunk();
      reader.cursor.seek(levels.back().nestedEnd);
      if (reader.cursor.offset() < levels.back().end) return;
      missingEnd(levels.back().end);
    }
  };

  while (!levels.empty()) {
    Level& level = levels.back();
    ChunkHead head;
    if (!reader.nextChunk(head, level.end, Walker::kFamily)) return false;
    if (head.code == chunk::End) {  // its own length is not skipped
      walker.onEnd(level, head);
      finishLevel();
      continue;
    }
    Level nested{};
    const NestedStep step = walker.onChunk(level, head, nested);
    if (step == NestedStep::Failed) return false;
    if (step == NestedStep::Nested) {
      level.nestedEnd = head.end;
      if (reader.cursor.offset() < nested.end) {
        try {
          levels.push_back(nested);
        } catch (const std::bad_alloc&) {
          return reader.outOfMemory("one more level of nesting");
        }
        continue;
      }
      // A nested level with nothing to walk returns at once.
      missingEnd(nested.end);
    }
    reader.leaveChunk();
    reader.cursor.seek(head.end);
    if (head.end >= level.end) {
      missingEnd(level.end);
      finishLevel();
    }
  }
  return true;
}

}  // namespace kxm
