// Animation sets become animations: translation, rotation and scale channels from the keys,
// matrix keys giving the parts that have none, times in seconds that strictly increase.
#include <algorithm>
#include <cmath>
#include <set>

#include "export/builder.h"

namespace kxm::gltf {

// Sorts a track by time; of keys at the same time the last in the file stays. Times must
// strictly increase in glTF.
template <std::size_t N>
bool repairTimes(std::vector<Key<N>>& keys) {
  bool changed = false;
  for (std::size_t i = 1; i < keys.size() && !changed; ++i) {
    changed = !(keys[i - 1].time < keys[i].time);
  }
  if (!changed) return false;
  std::stable_sort(keys.begin(), keys.end(),
                   [](const Key<N>& a, const Key<N>& b) { return a.time < b.time; });
  std::vector<Key<N>> kept;
  for (const Key<N>& key : keys) {
    if (!kept.empty() && kept.back().time == key.time)
      kept.back() = key;
    else
      kept.push_back(key);
  }
  keys = std::move(kept);
  return true;
}

template <std::size_t N>
int Builder::addSampler(Json& samplers, std::vector<Key<N>> keys, const std::string& what) {
  if (repairTimes(keys)) {
    warn(IssueCode::KeysSorted,
         what +
             ": key times do not strictly increase; sorted, and of keys at one time the last kept");
  }
  const int input = addAccessor<float>(keys.size(), 1, "SCALAR", 0, true, [&](float* out) {
    for (const Key<N>& key : keys) *out++ = key.time;
  });
  const int output =
      addAccessor<float>(keys.size(), N, N == 4 ? "VEC4" : "VEC3", 0, false, [&](float* out) {
        for (const Key<N>& key : keys) out = std::copy(key.value.begin(), key.value.end(), out);
      });
  samplers.push_back({{"input", input}, {"output", output}, {"interpolation", "LINEAR"}});
  return static_cast<int>(samplers.size() - 1);
}

namespace {

template <class Values>
bool allFinite(const Values& values) {
  return std::all_of(values.begin(), values.end(), [](float x) { return std::isfinite(x); });
}

// One bone's tracks in glTF's space with times in seconds, and what was repaired or left out on
// the way, to be said once for the bone.
struct Tracks {
  std::vector<Key<3>> translations, scales;
  std::vector<Key<4>> rotations;
  std::uint64_t dropped = 0;   // keys with numbers that are not finite
  std::uint64_t noTurn = 0;    // rotation keys of length 0
  std::uint64_t tooLarge = 0;  // matrix keys with a scale past the float range
  std::uint64_t inexact = 0;   // matrix keys that are not a translation, rotation and scale
};

float seconds(float ticks, double ticksPerSecond) {
  return static_cast<float>(double{ticks} / ticksPerSecond);
}

void addPartKeys(const Animation& anim, double ticksPerSecond, Tracks& tracks) {
  for (const PositionKey& key : anim.positionKeys) {
    const Vec3 v = pointToGltf(key.value);
    if (allFinite(v))
      tracks.translations.push_back({seconds(key.time, ticksPerSecond), v});
    else
      ++tracks.dropped;
  }
  for (const RotationKey& key : anim.rotationKeys) {
    const Quat q = {key.value[0], key.value[1], key.value[2], key.value[3]};
    if (!allFinite(q)) {
      ++tracks.dropped;
    } else {
      if (q == Quat{0, 0, 0, 0}) ++tracks.noTurn;
      tracks.rotations.push_back({seconds(key.time, ticksPerSecond), rotationToGltf(key.value)});
    }
  }
  for (const ScaleKey& key : anim.scaleKeys) {
    const Vec3 v = {key.value[0], key.value[1], key.value[2]};
    if (allFinite(v))
      tracks.scales.push_back({seconds(key.time, ticksPerSecond), v});
    else
      ++tracks.dropped;
  }
}

// Matrix keys give each part that has no keys of its own.
void addMatrixKeys(const Animation& anim, double ticksPerSecond, Tracks& tracks) {
  const bool fromMatrix[3] = {tracks.translations.empty(), tracks.rotations.empty(),
                              tracks.scales.empty()};
  for (const MatrixKey& key : anim.matrixKeys) {
    const Matrix4 m = matrixToGltf(key.matrix);
    if (!allFinite(m)) {
      ++tracks.dropped;
      continue;
    }
    bool exact = true;
    const Trs trs = decompose(m, exact);
    if (!isFinite(trs)) {
      ++tracks.tooLarge;
      continue;
    }
    if (!exact) ++tracks.inexact;
    const float time = seconds(key.time, ticksPerSecond);
    if (fromMatrix[0]) tracks.translations.push_back({time, trs.translation});
    if (fromMatrix[1]) tracks.rotations.push_back({time, trs.rotation});
    if (fromMatrix[2]) tracks.scales.push_back({time, trs.scale});
  }
}

}  // namespace

// The animation being built from one set: a track per node and path at most.
struct Builder::AnimationOut {
  Json channels = Json::array(), samplers = Json::array();
  std::set<std::pair<int, std::string>> targeted;  // node and path of each channel
};

template <std::size_t N>
void Builder::addChannel(AnimationOut& out, int node, const char* path, std::vector<Key<N>>& keys,
                         const std::string& what) {
  if (keys.empty()) return;
  if (!out.targeted.insert({node, path}).second) {
    warn(IssueCode::AnimationDropped,
         what + ": a second " + path + " track for its frame in this set; left out");
    return;
  }
  const int sampler = addSampler(out.samplers, std::move(keys), what + " " + path);
  out.channels.push_back({{"sampler", sampler}, {"target", {{"node", node}, {"path", path}}}});
}

// The channels of one bone, on the node of the frame it names.
void Builder::addBoneChannels(const AnimationSet& set, const Animation& anim, AnimationOut& out) {
  const std::string what = "animation set " + quoted(set.name) + " bone " + quoted(anim.boneName);
  const auto named = frameByName_.find(std::string(nameOf(anim.boneName)));
  if (named == frameByName_.end()) {
    warn(IssueCode::AnimationDropped, what + ": names no frame; left out");
    return;
  }
  const int node = frameNode_[named->second];
  Tracks tracks;
  addPartKeys(anim, options_.ticksPerSecond, tracks);
  addMatrixKeys(anim, options_.ticksPerSecond, tracks);
  warnCount(IssueCode::KeysDropped, what, tracks.dropped,
            "key(s) with numbers that are not finite; left out");
  warnCount(IssueCode::NumberRepaired, what, tracks.noTurn,
            "rotation key(s) of length 0; written as no turn");
  warnCount(IssueCode::KeysDropped, what, tracks.tooLarge,
            "matrix key(s) with a scale past the float range; left out");
  warnCount(IssueCode::TransformApproximated, what, tracks.inexact,
            "matrix key(s) not a translation, rotation and scale; written as the nearest");
  addChannel(out, node, "translation", tracks.translations, what);
  addChannel(out, node, "rotation", tracks.rotations, what);
  addChannel(out, node, "scale", tracks.scales, what);
}

void Builder::addAnimations() {
  using Kind = Warnings::Subject::Kind;
  for (std::size_t s = 0; s < model_.animationSets.count(); ++s) {
    const AnimationSet& set = model_.animationSets[s];
    AnimationOut out;
    for (std::size_t a = 0; a < set.animations.count(); ++a) {
      warnings_.about({Kind::Animation, s, a});
      addBoneChannels(set, set.animations[a], out);
    }
    warnings_.about({Kind::AnimationSet, s, 0});
    if (out.channels.empty()) {
      if (set.animations.count() > 0) {
        warn(IssueCode::AnimationDropped,
             "animation set " + quoted(set.name) + ": nothing to animate; left out");
      }
      setsKept_.push_back(keptSet(set, nullptr));  // kept whole in the scene's extras
      setLeftOut_ = true;
      continue;
    }
    Json animation = {{"name", nameToUtf8(set.name)},
                      {"channels", std::move(out.channels)},
                      {"samplers", std::move(out.samplers)}};
    Json kept = keptSet(set, &animation);
    animation["extras"] = {{extras::kKey, std::move(kept)}};
    setsKept_.push_back(animations_.size());
    animations_.push_back(std::move(animation));
  }
  warnings_.about({});
}

}  // namespace kxm::gltf
