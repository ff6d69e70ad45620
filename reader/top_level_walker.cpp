// The top-level walk: frame hierarchies to "Frames", animation sets to "AnimationSets", custom
// data to "CustomData"; every other top-level chunk is passed over without a node.
#include "reader/chunk_reader.h"

namespace kxm {

int ChunkReader::walkTopLevel() {
  while (position < size) {
    if (!buffer) return 0;
    ChunkHead head;
    if (!readChunkHead(head)) return 0;
    char name[128];
    switch (head.code) {
      case 1: {  // Frame ROOT; the walk goes on wherever the frame left the cursor
        topLevelChunkName(1, name);
        const NodeHandle node = tree_.InsertNode(name, tree_.framesRoot, -1);
        if (!readFrame(head.end, -1, node, node)) return 0;
        break;
      }
      case 2: {  // AnimationSet ROOT; likewise
        topLevelChunkName(2, name);
        const NodeHandle node = tree_.InsertNode(name, tree_.animationSetsRoot, -1);
        if (!readAnimationSet(head.end, node)) return 0;
        break;
      }
      case 406: {  // custom data, shown by its length whatever the options
        Label label;
        label.add("chunk_length: ").addInt(static_cast<std::int32_t>(head.length));
        const NodeHandle node = tree_.InsertNode(label.c_str(), tree_.customDataRoot, -1);
        readCustomData(head.end, node);
        position = head.end;
        break;
      }
      default: position = head.end; break;
    }
  }
  return 1;
}

int ChunkReader::readCustomData(std::uint32_t /*end*/, NodeHandle /*parentItem*/) {
  return 1;
}

}  // namespace kxm
