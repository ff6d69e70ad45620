// The frame walker: one frame's name, transform and meshes, and its CHILD and SIBLING frames.
//
// Every CHILD and SIBLING chunk nests one frame deeper in the file, and the format sets no limit,
// so the nesting lives on an explicit stack of levels rather than on the call stack.
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "reader/chunk_reader.h"
#include "reader/nested_levels.h"

namespace kxm {

namespace {

struct FrameLevel {
  std::uint32_t end;  // end of the chunk holding this frame
  std::int32_t parentIndex;
  NodeHandle siblingParentItem;  // where this frame's SIBLING nodes go
  NodeHandle frameItem;          // where its other nodes go; relabelled at its END
  std::int32_t index;            // this frame's row
  bool named;                    // a name chunk was read: the row's name is the name buffer
  std::uint32_t nestedEnd;       // end of the CHILD or SIBLING chunk being walked below
  std::size_t frameDepth;        // tree depth of frameItem
  std::size_t siblingParentDepth;
};

// Below a frame's node its chunks, a mesh's chunks and a list's elements: three levels more.
constexpr std::size_t kLevelsBelowFrameNode = 3;

constexpr double kDegreesPerRadian = 57.295780181884766;  // 57.29578 as a single-precision value

}  // namespace

int ChunkReader::readFrame(std::uint32_t end, std::int32_t parentIndex,
                           NodeHandle siblingParentItem, NodeHandle frameItem) {
  std::vector<FrameLevel> levels;

  // Appends the frame's row; a frame with payload to walk becomes the top level. False when
  // memory runs out.
  auto enter = [&](std::uint32_t frameEnd, std::int32_t parent, NodeHandle siblingParent,
                   NodeHandle item, std::size_t depth, std::size_t siblingParentDepth) {
    const auto index = static_cast<std::int32_t>(model_.frames.count());
    Frame* frame = model_.addFrame(parent);
    if (frame == nullptr) return false;
    std::snprintf(frame->name, sizeof frame->name, "NoName%d", static_cast<int>(index));
    if (position >= frameEnd) return true;  // the row stays with its initial values, no node
    try {
      levels.push_back(
          {frameEnd, parent, siblingParent, item, index, false, 0, depth, siblingParentDepth});
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  };

  // The outermost frame's node is a Frame ROOT node, one level below the "Frames" root.
  if (!enter(end, parentIndex, siblingParentItem, frameItem, 1, 1)) return 0;
  const std::size_t depthLimit = tree_.depthLimit();

  bool nestedReturned = false;  // the call nested in the top level has just returned
  while (!levels.empty()) {
    if (nestedReturned) {
      nestedReturned = false;
      if (!resumeAfterNested(levels, position)) break;
    }
    FrameLevel& level = levels.back();

    if (!buffer) return 0;
    ChunkHead head;
    if (!readChunkHead(head)) return 0;
    const char* name = chunkNameOf(head.code);

    if (head.code == 0) {  // END: the frame is complete; its length is not skipped
      const char* frameName =
          level.named ? model_.frames[static_cast<std::size_t>(level.index)].name : "";
      insertEndNode(tree_, options_, level.frameItem, EndKind::Frame, frameName);
      relabelFrameNode(tree_, options_, level.frameItem, frameName);
      levels.pop_back();
      nestedReturned = true;
      continue;
    }

    const bool sibling = head.code == 105;
    const std::size_t depth = (sibling ? level.siblingParentDepth : level.frameDepth) + 1;
    // A frame nested deeper than the control can take fails the load before its node goes in.
    if ((head.code == 104 || sibling) && depth > depthLimit - kLevelsBelowFrameNode) return 0;
    const NodeHandle node =
        insertChunkNode(tree_, sibling ? level.siblingParentItem : level.frameItem, name);
    Frame& frame = model_.frames[static_cast<std::size_t>(level.index)];
    switch (head.code) {
      case 101: {  // Frame Name
        char frameName[kNameSize] = {};
        if (!readString(frameName)) return 0;
        std::memcpy(frame.name, frameName, sizeof frameName);
        level.named = true;
        labelNameChunk(tree_, options_, node, name, frameName);
        break;
      }
      case 102:  // Frame Matrix
        if (!readFloatsLe(frame.matrix, 16)) return 0;
        break;
      case 103:  // Frame MESH
        if (!readMesh(head.end, level.index, node)) return 0;
        break;
      case 104:    // Frame CHILD: a frame whose parent is this one
      case 105: {  // Frame SIBLING: a frame with this one's parent, shown beside it
        level.nestedEnd = head.end;
        const std::size_t open = levels.size();
        const bool child = head.code == 104;
        const std::int32_t parent = child ? level.index : level.parentIndex;
        const NodeHandle siblingParent = child ? node : level.siblingParentItem;
        const std::size_t siblingParentDepth = child ? depth : level.siblingParentDepth;
        if (!enter(head.end, parent, siblingParent, node, depth, siblingParentDepth)) return 0;
        nestedReturned = levels.size() == open;  // an empty payload finishes at once
        continue;
      }
      case 106:    // Frame Offset
      case 107:    // Frame Rotation, shown in degrees
      case 108: {  // Frame Scale
        float v[3];
        if (!readFloatsLe(v, 3)) return 0;
        float* target = head.code == 106   ? frame.offset
                        : head.code == 107 ? frame.rotation
                                           : frame.scale;
        std::memcpy(target, v, sizeof v);
        const double k = head.code == 107 ? kDegreesPerRadian : 1.0;
        labelVector(tree_, options_, node, v[0] * k, v[1] * k, v[2] * k);
        break;
      }
      default: break;
    }

    position = head.end;
    if (position >= level.end) {
      levels.pop_back();
      nestedReturned = true;
    }
  }
  return 1;
}

}  // namespace kxm
