// The top-level walk: frame hierarchies to "Frames", animation sets to "AnimationSets", custom
// data to "CustomData"; every other top-level chunk is passed over without a node. A top-level
// chunk that runs past the end of the file ends the walk with success.
#include "reader/chunk_reader.h"

namespace kxm {

bool ChunkReader::walkTopLevel() {
  while (cursor.offset() < cursor.size()) {
    ChunkHead head;
    if (!nextChunk(head, cursor.size(), Family::TopLevel)) return false;
    switch (head.code) {
      case 1: {  // Frame ROOT; the walk goes on wherever the frame left the cursor
        const char* name = topLevelNameOf(1);
        const NodeHandle node = tree.InsertNode(name, tree.framesRoot, -1);
        enterChunk(head);
        if (!readFrame(head.end, node)) return false;
        leaveChunk();
        break;
      }
      case 2: {  // AnimationSet ROOT; likewise
        const char* name = topLevelNameOf(2);
        const NodeHandle node = tree.InsertNode(name, tree.animationSetsRoot, -1);
        enterChunk(head);
        if (!readAnimationSet(head.end, node)) return false;
        leaveChunk();
        break;
      }
      case 406: {  // custom data, shown by its length whatever the options; its payload is not read
        Label label;
        label.add("chunk_length: ").addInt(static_cast<std::int32_t>(head.length));
        tree.InsertNode(label.c_str(), tree.customDataRoot, -1);
        cursor.seek(head.end);
        break;
      }
      default: cursor.seek(head.end); break;
    }
  }
  return true;
}

}  // namespace kxm
