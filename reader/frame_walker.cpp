// The frame walker: one frame's name, transform and meshes, and its CHILD and SIBLING frames.
//
// Every frame is one row of the model's frame table, added as soon as the walk enters it. A
// SIBLING's node hangs under the sibling parent handed down the chain, so a chain of siblings
// nested in the file shows as peers in the tree.
#include <cstdio>
#include <cstring>

#include "reader/chunk_reader.h"
#include "reader/nested_walk.h"

namespace kxm {

namespace {

// Below a frame's node its chunks, a mesh's chunks and a list's elements: three levels more.
constexpr std::size_t kLevelsBelowFrameNode = 3;

struct FrameWalker {
  struct Level {
    std::uint32_t end;           // end of the chunk holding this frame
    std::uint32_t nestedEnd;     // end of the CHILD or SIBLING chunk being walked below
    std::int32_t index;          // its row
    SinkNode siblingParentItem;  // where this frame's SIBLING nodes go
    SinkNode frameItem;          // where its other nodes go; named at its END
    std::uint32_t frameDepth;    // tree depths of frameItem and siblingParentItem
    std::uint32_t siblingParentDepth;
    std::uint32_t chainDepth;  // the chunk holding this frame, in the reader's chain
    bool named;
  };

  static constexpr ChunkReader::Family kFamily = ChunkReader::Family::Frame;
  static constexpr const char* kWhat = "frame";

  ChunkReader& r;

  // Appends a frame's row, named by its index until a name chunk names it.
  Frame* addFrame(std::int32_t parentIndex, std::int32_t& index) {
    index = static_cast<std::int32_t>(r.model.frames.count());
    Frame* frame = r.model.addFrame(parentIndex);
    if (frame != nullptr) {
      std::snprintf(frame->name, sizeof frame->name, "NoName%d", static_cast<int>(index));
      frame->hasName = !r.model.keepForWriting;  // till its chunk comes
    }
    return frame;
  }

  // A transform chunk met for the first time takes the next place in the frame's order, those
  // after it moving down one.
  static void transformChunk(Frame& frame, std::uint8_t which) {
    const bool has[4] = {frame.hasMatrix, frame.hasOffset, frame.hasRotation, frame.hasScale};
    if (which >= 4 || has[which]) return;
    std::size_t next = 0;
    for (const bool h : has) next += h ? 1 : 0;
    auto& order = frame.transformOrder;
    std::size_t at = next;
    while (at < order.size() && order[at] != which) ++at;
    for (; at > next && at < order.size(); --at) order[at] = order[at - 1];
    order[next] = which;
  }

  Frame& frameOf(const Level& level) {
    return r.model.frames[static_cast<std::size_t>(level.index)];
  }

  void onEnd(Level& level, const ChunkHead& head) {
    if (r.sink == nullptr) return;
    const char* frameName = level.named ? frameOf(level).name : "";
    r.sink->end(level.frameItem, head, EndKind::Frame, frameName);
    r.sink->frameNamed(level.frameItem, r.chunkAt(level.chainDepth), level.chainDepth == 0,
                       frameName);
  }

  // A CHILD or SIBLING chunk: a new frame row, walked as the nested level.
  NestedStep enterFrame(Level& level, const ChunkHead& head, Level& nested, SinkNode parent,
                        std::size_t depth) {
    const bool child = head.code == chunk::FrameChild;
    Frame& frame = frameOf(level);
    const SinkNode node =
        r.tellStart(parent, head, RecordStart::Kind::Frame, 0, r.model.frames.count());
    nested.end = head.end;
    Frame* added = addFrame(child ? level.index : frame.parentIndex, nested.index);
    if (added == nullptr) {
      r.outOfMemory("a frame");
      return NestedStep::Failed;
    }
    added->heldBy = level.index;
    added->afterMeshes = static_cast<std::int32_t>(frame.meshes.count());
    nested.siblingParentItem = child ? node : level.siblingParentItem;
    nested.frameItem = node;
    nested.frameDepth = static_cast<std::uint32_t>(depth);
    nested.siblingParentDepth =
        child ? static_cast<std::uint32_t>(depth) : level.siblingParentDepth;
    nested.chainDepth = static_cast<std::uint32_t>(r.pathDepth() - 1);
    nested.named = false;
    return NestedStep::Nested;
  }

  NestedStep onChunk(Level& level, const ChunkHead& head, Level& nested) {
    const bool sibling = head.code == chunk::FrameSibling;
    const std::size_t depth = (sibling ? level.siblingParentDepth : level.frameDepth) + 1;
    if ((head.code == chunk::FrameChild || sibling) &&
        !r.admitsDepth(depth + kLevelsBelowFrameNode, head, "frames")) {
      return NestedStep::Failed;
    }
    const SinkNode parent = sibling ? level.siblingParentItem : level.frameItem;
    r.enterChunk(head);
    Frame& frame = frameOf(level);
    auto failed = [&] {
      r.tell(parent, head);
      return NestedStep::Failed;
    };

    switch (head.code) {
      case chunk::FrameName: {  // Frame Name; one of 128 bytes or more leaves the row's name empty
        char frameName[kStringCapacity] = {};
        if (!r.readName(head, frameName, "frame name")) return failed();
        std::memcpy(frame.name, frameName, sizeof frameName);
        frame.hasName = level.named = true;
        r.nameChunk(level.chainDepth, frame.name);
        r.tell(parent, head, ChunkValue::name(frameName));
        return NestedStep::Handled;
      }
      case chunk::FrameMatrix:  // Frame Matrix: a whole matrix, whatever the length says
        if (!r.readFloatRecord<layout::kMatrix>(head, frame.matrix, "matrix")) return failed();
        transformChunk(frame, 0);
        frame.hasMatrix = true;
        r.tell(parent, head);
        return NestedStep::Handled;
      case chunk::FrameMesh: {
        const SinkNode node =
            r.tellStart(parent, head, RecordStart::Kind::Mesh,
                        static_cast<std::size_t>(level.index), frame.meshes.count());
        return r.readMesh(head.end, frame, node) ? NestedStep::Handled : NestedStep::Failed;
      }
      case chunk::FrameChild:    // Frame CHILD: a frame whose parent is this one
      case chunk::FrameSibling:  // Frame SIBLING: a frame with this one's parent, shown beside it
        return enterFrame(level, head, nested, parent, depth);
      case chunk::FrameOffset:
      case chunk::FrameRotation:  // Frame Rotation, in radians
      case chunk::FrameScale: {
        float v[layout::kVector.size / sizeof(float)];
        if (!r.readFloatRecord<layout::kVector>(head, v, chunkNameOf(head.code))) return failed();
        float* target = head.code == chunk::FrameOffset     ? frame.offset
                        : head.code == chunk::FrameRotation ? frame.rotation
                                                            : frame.scale;
        std::memcpy(target, v, sizeof v);
        transformChunk(frame, static_cast<std::uint8_t>(head.code == chunk::FrameOffset     ? 1
                                                        : head.code == chunk::FrameRotation ? 2
                                                                                            : 3));
        (head.code == chunk::FrameOffset     ? frame.hasOffset
         : head.code == chunk::FrameRotation ? frame.hasRotation
                                             : frame.hasScale) = true;
        r.tell(parent, head, ChunkValue::vector(v));
        return NestedStep::Handled;
      }
      default:  // every other code: its name, payload passed over
        r.tell(parent, head);
        return NestedStep::Handled;
    }
  }
};

}  // namespace

bool ChunkReader::readFrame(std::uint32_t end, SinkNode frameItem) {
  FrameWalker walker{*this};
  FrameWalker::Level root{};
  root.end = end;
  if (walker.addFrame(-1, root.index) == nullptr) return outOfMemory("a frame");
  // The root frame's node is a Frame ROOT node, one level below the "Frames" root.
  root.siblingParentItem = root.frameItem = frameItem;
  root.frameDepth = root.siblingParentDepth = 1;
  root.chainDepth = static_cast<std::uint32_t>(pathDepth() - 1);
  return walkNested(*this, walker, root);
}

}  // namespace kxm
