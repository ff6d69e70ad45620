// An animation set: its name and length, then its animations as chains, each animation's
// "Next ANIMATION" holding the next one. A chain is cut after kChainLength animations and the
// next begins a "AnimationSet DATA" of its own, so that no viewer has to nest deeper than that.
#include <string_view>

#include "format/record_layouts.h"
#include "writer/parts.h"

namespace kxm {

namespace {

constexpr std::size_t kChainLength = 256;

template <class Key>
void writeTrack(ChunkBytes& w, ChunkCode countCode, const ValueArray<Key>& keys,
                const layout::RecordLayout& record, std::string_view valuesField,
                const float* (*values)(const Key&)) {
  if (keys.empty()) return;
  const layout::Field& valuesAt = record.field(valuesField);
  w.chunkU32(countCode, static_cast<std::uint32_t>(keys.count()));
  w.open(countCode + 1);  // each track's data follows its count
  for (const Key& key : keys) {
    const std::size_t start = w.size();
    w.u32(fileTicks(key.time));
    w.zeros(valuesAt.offset - (w.size() - start));
    w.floats(values(key), valuesAt.count);
    w.zeros(record.size - (w.size() - start));  // the bytes a key has and the model does not
  }
  w.close();
}

static_assert(chunk::PositionData == chunk::PositionKeyCount + 1 &&
              chunk::RotationData == chunk::RotationKeyCount + 1 &&
              chunk::ScaleData == chunk::ScaleKeyCount + 1 &&
              chunk::MatrixData == chunk::MatrixKeyCount + 1);

void writeAnimationFields(ChunkBytes& w, const Animation& animation) {
  w.chunkName(chunk::AnimBoneName, animation.boneName);
  writeTrack(
      w, chunk::PositionKeyCount, animation.positionKeys, layout::kPositionKey, "value",
      +[](const PositionKey& k) -> const float* { return k.value; });
  writeTrack(
      w, chunk::RotationKeyCount, animation.rotationKeys, layout::kRotationKey, "value",
      +[](const RotationKey& k) -> const float* { return k.value; });
  writeTrack(
      w, chunk::ScaleKeyCount, animation.scaleKeys, layout::kScaleKey, "value",
      +[](const ScaleKey& k) -> const float* { return k.value; });
  writeTrack(
      w, chunk::MatrixKeyCount, animation.matrixKeys, layout::kMatrixKey, "matrix",
      +[](const MatrixKey& k) -> const float* { return k.matrix; });
}

}  // namespace

void writeAnimationSet(ChunkBytes& w, const AnimationSet& set) {
  w.open(chunk::AnimationSetRoot);
  w.chunkName(chunk::AnimationSetName, set.name);
  if (set.hasLength) w.chunkU32(chunk::AnimationSetLength, fileTicks(set.length));
  const std::size_t count = set.animations.count();
  for (std::size_t first = 0; first < count && !w.failed(); first += kChainLength) {
    const std::size_t last = std::min(count, first + kChainLength);
    w.open(chunk::AnimationSetData);
    for (std::size_t i = first; i < last; ++i) {
      if (i != first) w.open(chunk::NextAnimation);
      writeAnimationFields(w, set.animations[i]);
    }
    for (std::size_t i = first; i < last; ++i) {  // innermost first
      w.end();
      w.close();
    }
  }
  w.end();
  w.close();
}

}  // namespace kxm
