// The top-level walk: frame hierarchies to "Frames", animation sets to "AnimationSets", custom
// data to "CustomData"; every other top-level chunk is passed over without a node. A top-level
// chunk that runs past the end of the file ends the walk with success.
#include "reader/chunk_reader.h"

#include <new>
#include <span>

namespace kxm {

// Custom data is kept only for writing the file again, whole and within the load's allowance.
void ChunkReader::keepCustomData(const ChunkHead& head) {
  if (!model.keepForWriting || head.end > cursor.size() || !allowArray(head.length, 1)) return;
  const std::span<const std::uint8_t> payload =
      cursor.image().subspan(head.end - head.length, head.length);
  try {
    model.customData.emplace_back(payload.begin(), payload.end());
  } catch (const std::bad_alloc&) {
  }
}

bool ChunkReader::walkTopLevel() {
  while (cursor.offset() < cursor.size()) {
    ChunkHead head;
    if (!nextChunk(head, cursor.size(), Family::TopLevel)) return false;
    switch (head.code) {
      case chunk::FrameRoot: {  // Frame ROOT; the walk goes on wherever the frame left the cursor
        const RecordStart frame = recordStart(RecordStart::Kind::Frame, 0, model.frames.count());
        const SinkNode node = sink ? sink->topLevelChunk(SinkRoot::Frames, head, frame) : 0;
        enterChunk(head);
        if (!readFrame(head.end, node)) return false;
        leaveChunk();
        break;
      }
      case chunk::AnimationSetRoot: {  // AnimationSet ROOT; likewise
        const RecordStart set =
            recordStart(RecordStart::Kind::AnimationSet, 0, model.animationSets.count());
        const SinkNode node = sink ? sink->topLevelChunk(SinkRoot::AnimationSets, head, set) : 0;
        enterChunk(head);
        if (!readAnimationSet(head.end, node)) return false;
        leaveChunk();
        break;
      }
      case chunk::CustomData:  // custom data: its payload is not read
        if (sink != nullptr) sink->topLevelChunk(SinkRoot::CustomData, head, {});
        keepCustomData(head);
        cursor.seek(head.end);
        break;
      default: cursor.seek(head.end); break;
    }
  }
  return true;
}

}  // namespace kxm
