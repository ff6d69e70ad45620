// The animation set walker and the animation walker. The animations of a set form a chain
// nested in the file, each "Next ANIMATION" one level deeper, walked by the nesting driver.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "format/little_endian.h"
#include "reader/chunk_reader.h"
#include "reader/nested_walk.h"
#include "text/format.h"

namespace kxm {

namespace {

enum Track { kPosition, kRotation, kScale, kMatrix, kTracks };

// What a key record holds that the model keeps: its time and its stored floats.
struct KeyFields {
  std::uint32_t size, timeAt, valuesAt, floats;
};
constexpr KeyFields keyFields(const layout::RecordLayout& record, std::string_view values) {
  return {record.size, record.field("time").offset, record.field(values).offset,
          record.field(values).count};
}
constexpr KeyFields kPositionFields = keyFields(layout::kPositionKey, "value");
constexpr KeyFields kRotationFields = keyFields(layout::kRotationKey, "value");
constexpr KeyFields kScaleFields = keyFields(layout::kScaleKey, "value");
constexpr KeyFields kMatrixFields = keyFields(layout::kMatrixKey, "matrix");
static_assert(std::size(PositionKey{}.value) == kPositionFields.floats &&
              std::size(RotationKey{}.value) == kRotationFields.floats &&
              std::size(ScaleKey{}.value) == kScaleFields.floats &&
              std::size(MatrixKey{}.matrix) == kMatrixFields.floats);

// Reads n keys: a time, the stored floats, and bytes that are not stored. The keys start at the
// data chunk's payload and are bounded by the file, not by the chunk.
template <class Key>
bool readKeys(ChunkReader& r, ValueArray<Key>& track, std::uint32_t n, const KeyFields& fields,
              float* (*values)(Key&)) {
  if (n == 0) return true;  // the track keeps what it had
  if (!r.allocateCounted(track, n, fields.size, "keys")) return false;
  std::span<const std::uint8_t> data;
  if (!r.cursor.takeSpan(std::uint64_t{n} * fields.size, data, "keys")) return false;
  const std::uint8_t* in = data.data();
  for (std::uint32_t i = 0; i < n; ++i, in += fields.size) {
    Key& key = track[i];
    key.time = static_cast<float>(loadU32Le(in + fields.timeAt));  // nearest float, ties to even
    loadFloatsLe(in + fields.valuesAt, values(key), fields.floats);
  }
  return true;
}

struct AnimationWalker {
  struct Level {
    std::uint32_t end;        // end of the chunk holding this animation
    std::uint32_t nestedEnd;  // end of the "Next ANIMATION" chunk being walked below
    SinkNode parentItem;
    Animation* animation;
    std::uint32_t counts[kTracks];
    bool counted[kTracks];     // its count chunk was read
    std::uint32_t depth;       // tree depth of parentItem
    std::uint32_t chainDepth;  // the chunk holding this animation, in the reader's chain
  };

  static constexpr ChunkReader::Family kFamily = ChunkReader::Family::Animation;
  static constexpr const char* kWhat = "animation";

  ChunkReader& r;
  AnimationSet& set;
  std::size_t setIndex;  // of the set in the model

  void onEnd(Level& level, const ChunkHead& head) {
    r.tellEnd(level.parentItem, head, EndKind::AnimData, level.animation->boneName);
  }

  // One key track's data chunk: its keys, and what is wrong with them for the observer.
  template <class Key>
  bool readTrack(const Level& level, const ChunkHead& head, Track track, ValueArray<Key>& keys,
                 const KeyFields& fields, float* (*values)(Key&)) {
    const std::uint32_t n = level.counts[track];
    const std::uint32_t floats = fields.floats;
    if (!readKeys(r, keys, n, fields, values)) return false;
    if (!r.observing()) return true;
    if (!level.counted[track]) {
      r.report(FindingCode::DataWithoutCount, head.offset,
               "key data with no key count chunk before it: nothing is stored");
      return true;
    }
    r.expectDataLength(head, n, fields.size, "keys");
    if (n == 0) return true;
    for (std::uint32_t i = 0; i < n; ++i) {
      float* v = values(keys[i]);
      if (!std::all_of(v, v + floats, [](float f) { return std::isfinite(f); })) {
        r.expectFinite(head, v, floats, "key");
        break;
      }
    }
    for (std::uint32_t i = 1; i < n; ++i) {
      if (!(keys[i].time > keys[i - 1].time)) {
        r.report(FindingCode::KeyTimesNotIncreasing, head.offset,
                 "key " + std::to_string(i) + " at time " + shortNumber(keys[i].time) +
                     " does not come after key " + std::to_string(i - 1) + " at " +
                     shortNumber(keys[i - 1].time));
        break;
      }
    }
    if constexpr (std::is_same_v<Key, RotationKey>) {
      for (std::uint32_t i = 0; i < n; ++i) {
        const float* q = keys[i].value;
        const double length = std::sqrt(double{q[0]} * q[0] + double{q[1]} * q[1] +
                                        double{q[2]} * q[2] + double{q[3]} * q[3]);
        if (std::isfinite(length) && std::abs(length - 1.0) > 0.001) {
          r.report(FindingCode::RotationNotUnit, head.offset,
                   "rotation key " + std::to_string(i) + " has length " + shortNumber(length) +
                       ", not 1");
          break;
        }
      }
    }
    return true;
  }

  NestedStep onChunk(Level& level, const ChunkHead& head, Level& nested) {
    // The next animation's node one level deeper, its chunks' nodes below that.
    if (head.code == chunk::NextAnimation && !r.admitsDepth(level.depth + 2, head, "animations")) {
      return NestedStep::Failed;
    }
    r.enterChunk(head);
    Animation& animation = *level.animation;
    auto done = [&](bool read) {
      r.tell(level.parentItem, head);
      return read ? NestedStep::Handled : NestedStep::Failed;
    };
    switch (head.code) {
      case chunk::AnimBoneName: {
        char boneName[kStringCapacity] = {};
        if (!r.readName(head, boneName, "bone name")) return done(false);
        std::memcpy(animation.boneName, boneName, sizeof boneName);
        r.nameChunk(level.chainDepth, animation.boneName);
        r.tell(level.parentItem, head, ChunkValue::name(boneName));
        return NestedStep::Handled;
      }
      case chunk::PositionKeyCount:
      case chunk::RotationKeyCount:
      case chunk::ScaleKeyCount:
      case chunk::MatrixKeyCount: {
        std::uint32_t count = 0;
        if (!r.cursor.readU32Le(count)) return done(false);
        r.expectLength(head, 4);
        level.counts[(head.code - chunk::PositionKeyCount) / 2] = count;
        level.counted[(head.code - chunk::PositionKeyCount) / 2] = true;
        r.tell(level.parentItem, head, ChunkValue::number(static_cast<std::int32_t>(count)));
        return NestedStep::Handled;
      }
      case chunk::PositionData:
        return done(readTrack(
            level, head, kPosition, animation.positionKeys, kPositionFields,
            +[](PositionKey& k) { return k.value; }));
      case chunk::RotationData:
        return done(readTrack(
            level, head, kRotation, animation.rotationKeys, kRotationFields,
            +[](RotationKey& k) { return k.value; }));
      case chunk::ScaleData:
        return done(readTrack(
            level, head, kScale, animation.scaleKeys, kScaleFields,
            +[](ScaleKey& k) { return k.value; }));
      case chunk::MatrixData:
        return done(readTrack(
            level, head, kMatrix, animation.matrixKeys, kMatrixFields,
            +[](MatrixKey& k) { return k.matrix; }));
      case chunk::NextAnimation: {
        // Next ANIMATION: the next animation of the chain, one level deeper.
        const SinkNode node = r.tellStart(level.parentItem, head, RecordStart::Kind::Animation,
                                          setIndex, set.animations.count());
        nested.animation = set.animations.append();
        if (nested.animation == nullptr) {
          r.outOfMemory("an animation");
          return NestedStep::Failed;
        }
        nested.end = head.end;
        nested.parentItem = node;
        nested.depth = level.depth + 1;
        nested.chainDepth = static_cast<std::uint32_t>(r.pathDepth() - 1);
        return NestedStep::Nested;
      }
      default: return done(true);
    }
  }
};

}  // namespace

bool ChunkReader::readAnimationSet(std::uint32_t end, SinkNode parentItem) {
  AnimationSet* added = model.addAnimationSet();
  if (added == nullptr) return outOfMemory("an animation set");
  AnimationSet& set = *added;
  if (model.keepForWriting) set.hasLength = false;  // till its chunk comes
  const std::size_t setIndex = model.animationSets.count() - 1;
  const std::size_t setDepth = pathDepth() - 1;

  auto onEnd = [&](const ChunkHead& head) {
    tellEnd(parentItem, head, EndKind::AnimationSet, set.name);
  };
  return walkChunks(end, Family::AnimationSet, "animation set", onEnd, [&](const ChunkHead& head) {
    switch (head.code) {
      case chunk::AnimationSetName: {
        char setName[kStringCapacity] = {};
        if (!readName(head, setName, "animation set name")) break;
        std::memcpy(set.name, setName, sizeof setName);
        nameChunk(setDepth, set.name);
        tell(parentItem, head, ChunkValue::name(setName));
        return Next::AtChunkEnd;
      }
      case chunk::AnimationSetLength: {  // AnimationSet Length: unsigned, kept as the nearest float
        std::uint32_t length = 0;
        if (!cursor.readU32Le(length)) break;
        expectLength(head, 4);
        set.length = static_cast<float>(length);
        set.hasLength = true;
        tell(parentItem, head, ChunkValue::number(static_cast<std::int32_t>(length)));
        return Next::AtChunkEnd;
      }
      case chunk::AnimationSetData: {  // AnimationSet DATA: the first animation of a chain
        const SinkNode node = tellStart(parentItem, head, RecordStart::Kind::Animation, setIndex,
                                        set.animations.count());
        return readAnimation(head.end, set, setIndex, node) ? Next::AtChunkEnd : Next::Failed;
      }
      default: tell(parentItem, head); return Next::AtChunkEnd;
    }
    tell(parentItem, head);  // its payload failed to read
    return Next::Failed;
  });
}

bool ChunkReader::readAnimation(std::uint32_t end, AnimationSet& set, std::size_t setIndex,
                                SinkNode parentItem) {
  AnimationWalker walker{*this, set, setIndex};
  AnimationWalker::Level first{};
  first.animation = set.animations.append();
  if (first.animation == nullptr) return outOfMemory("an animation");
  // The chain's first animation hangs from an "AnimationSet DATA" node: "AnimationSets", the
  // set's node, then that node.
  first.end = end;
  first.parentItem = parentItem;
  first.depth = 2;
  first.chainDepth = static_cast<std::uint32_t>(pathDepth() - 1);
  return walkNested(*this, walker, first);
}

}  // namespace kxm
