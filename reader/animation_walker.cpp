// The animation set walker and the animation walker. The animations of a set form a chain nested
// in the file, each "Next ANIMATION" one level deeper; the chain lives on an explicit stack of
// levels, so its length is bounded by memory, not by the call stack.
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "reader/chunk_reader.h"
#include "reader/nested_levels.h"

namespace kxm {

namespace {

enum Track { kPosition, kRotation, kScale, kMatrix, kTracks };

struct AnimationLevel {
  std::uint32_t end;  // end of the chunk holding this animation
  NodeHandle parentItem;
  std::int32_t index;  // this animation's record in the set
  std::uint32_t counts[kTracks];
  std::uint32_t nestedEnd;  // end of the "Next ANIMATION" chunk being walked below
  std::size_t depth;        // tree depth of parentItem
};

std::uint32_t u32At(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

// Reads n keys of keyBytes each: a time, `floats` stored floats, and bytes that are not stored.
// The keys start at the data chunk's payload and are bounded by the image, not by the chunk.
template <class Key>
int readKeys(ChunkReader& reader, ValueArray<Key>& track, std::uint32_t n, std::uint32_t keyBytes,
             float* (*values)(Key&), int floats) {
  if (n == 0) return 1;  // the track keeps what it had
  // Keys the image cannot hold fail as the first short read would, before any allocation.
  if (n > 0x7FFFFFFFu || !reader.entriesFit(n, keyBytes)) return 0;
  if (!reader.claimArrayBytes(n, keyBytes)) return 0;
  if (!track.allocate(static_cast<std::int32_t>(n))) return 0;
  const std::uint8_t* in = reader.image() + reader.position;
  for (std::uint32_t i = 0; i < n; ++i, in += keyBytes) {
    Key& key = track[i];
    key.time = static_cast<float>(u32At(in));  // nearest float, ties to even
    float* out = values(key);
    for (int f = 0; f < floats; ++f) {
      out[f] = std::bit_cast<float>(u32At(in + 4 + 4 * static_cast<std::uint32_t>(f)));
    }
  }
  reader.position += n * keyBytes;
  return 1;
}

}  // namespace

int ChunkReader::readAnimationSet(std::uint32_t end, NodeHandle parentItem) {
  const auto setIndex = static_cast<std::int32_t>(model_.animationSets.count());
  if (model_.addAnimationSet() == nullptr) return 0;
  auto set = [&]() -> AnimationSet& {
    return model_.animationSets[static_cast<std::size_t>(setIndex)];
  };

  while (position < end) {
    ChunkHead head;
    if (!readChunkHead(head)) return 0;
    const char* name = chunkNameOf(head.code);
    if (head.code == 0) {  // END, with the set's name read so far
      insertEndNode(tree_, options_, parentItem, EndKind::AnimationSet, set().name);
      return 1;
    }
    const NodeHandle node = insertChunkNode(tree_, parentItem, name);
    switch (head.code) {
      case 201: {  // AnimationSet Name
        char setName[kNameSize] = {};
        if (!readString(setName)) return 0;
        std::memcpy(set().name, setName, sizeof setName);
        labelNameChunk(tree_, options_, node, name, setName);
        break;
      }
      case 202: {  // AnimationSet Length: unsigned, kept as the nearest float
        std::uint32_t length = 0;
        if (!readU32Le(length)) return 0;
        set().length = static_cast<float>(length);
        labelInteger(tree_, options_, node, static_cast<std::int32_t>(length));
        break;
      }
      case 203:  // AnimationSet DATA: the first animation of a chain
        if (!readAnimation(head.end, setIndex, node)) return 0;
        break;
      default: break;
    }
    position = head.end;
  }
  return 1;
}

int ChunkReader::readAnimation(std::uint32_t end, std::int32_t setIndex, NodeHandle parentItem) {
  if (setIndex < 0 || static_cast<std::size_t>(setIndex) >= model_.animationSets.count()) {
    return 0;
  }
  AnimationSet& set = model_.animationSets[static_cast<std::size_t>(setIndex)];
  std::vector<AnimationLevel> levels;

  // Appends the animation's record; one with payload to walk becomes the top level.
  auto enter = [&](std::uint32_t animationEnd, NodeHandle item, std::size_t depth) {
    const auto index = static_cast<std::int32_t>(set.animations.count());
    if (addAnimation(set) == nullptr) return false;
    if (position >= animationEnd) return true;  // an empty record, no node
    try {
      levels.push_back({animationEnd, item, index, {}, 0, depth});
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  };

  // The chain's first animation hangs from an "AnimationSet DATA" node: "AnimationSets", the
  // set's node, then that node.
  if (!enter(end, parentItem, 2)) return 0;
  const std::size_t depthLimit = tree_.depthLimit();

  bool nestedReturned = false;  // the call nested in the top level has just returned
  while (!levels.empty()) {
    if (nestedReturned) {
      nestedReturned = false;
      if (!resumeAfterNested(levels, position)) break;
    }
    AnimationLevel& level = levels.back();
    ChunkHead head;
    if (!readChunkHead(head)) return 0;
    const char* name = chunkNameOf(head.code);
    Animation& animation = set.animations[static_cast<std::size_t>(level.index)];
    if (head.code == 0) {  // END, with the bone name read at this level of the chain
      insertEndNode(tree_, options_, level.parentItem, EndKind::AnimData, animation.boneName);
      levels.pop_back();
      nestedReturned = true;
      continue;
    }
    // A chain nested deeper than the control can take fails the load before its node goes in.
    if (head.code == 220 && level.depth + 2 > depthLimit) return 0;
    const NodeHandle node = insertChunkNode(tree_, level.parentItem, name);
    int ok = 1;
    switch (head.code) {
      case 211: {  // AnimBone Name
        char boneName[kNameSize] = {};
        if (!readString(boneName)) return 0;
        std::memcpy(animation.boneName, boneName, sizeof boneName);
        labelNameChunk(tree_, options_, node, name, boneName);
        break;
      }
      case 212:    // Position Key Count
      case 214:    // Rotation Key Count
      case 216:    // Scale Key Count
      case 218: {  // Matrix Key Count
        std::uint32_t count = 0;
        if (!readU32Le(count)) return 0;
        level.counts[(head.code - 212) / 2] = count;
        labelInteger(tree_, options_, node, static_cast<std::int32_t>(count));
        break;
      }
      case 213:  // Position Data: time, x, y, z, 12 bytes not kept
        ok = readKeys(
            *this, animation.positionKeys, level.counts[kPosition], 28,
            +[](PositionKey& k) { return k.value; }, 3);
        break;
      case 215:  // Rotation Data: time and four floats
        ok = readKeys(
            *this, animation.rotationKeys, level.counts[kRotation], 20,
            +[](RotationKey& k) { return k.value; }, 4);
        break;
      case 217:  // Scale Data: as Position Data
        ok = readKeys(
            *this, animation.scaleKeys, level.counts[kScale], 28,
            +[](ScaleKey& k) { return k.value; }, 3);
        break;
      case 219:  // Matrix Data: time, sixteen floats, 64 bytes not kept
        ok = readKeys(
            *this, animation.matrixKeys, level.counts[kMatrix], 132,
            +[](MatrixKey& k) { return k.matrix; }, 16);
        break;
      case 220: {  // Next ANIMATION: the next animation of the chain, one level deeper
        level.nestedEnd = head.end;
        const std::size_t depth = level.depth + 1;
        const std::size_t open = levels.size();
        if (!enter(head.end, node, depth)) return 0;
        nestedReturned = levels.size() == open;  // an empty payload finishes at once
        continue;
      }
      default: break;
    }
    if (!ok) return 0;
    position = head.end;
    if (position >= level.end) {
      levels.pop_back();
      nestedReturned = true;
    }
  }
  return 1;
}

}  // namespace kxm
