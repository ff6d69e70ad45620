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
         what + ": key times do not strictly increase; sorted, and of keys at one time the last kept");
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

void Builder::addAnimations() {
  for (const AnimationSet& set : model_.animationSets) {
    Json channels = Json::array(), samplers = Json::array();
    std::set<std::pair<int, std::string>> targeted;  // node and path of each channel
    for (const Animation& anim : set.animations) {
      const std::string what =
          "animation set " + quoted(set.name) + " bone " + quoted(anim.boneName);
      const auto named = frameByName_.find(std::string(nameOf(anim.boneName)));
      if (named == frameByName_.end()) {
        warn(IssueCode::AnimationDropped, what + ": names no frame; left out");
        continue;
      }
      const int node = frameNode_[named->second];
      auto seconds = [&](float ticks) {
        return static_cast<float>(double{ticks} / options_.ticksPerSecond);
      };
      std::vector<Key<3>> translations, scales;
      std::vector<Key<4>> rotations;
      std::uint64_t dropped = 0, noTurn = 0;
      auto finite = [](const auto& v) {
        return std::all_of(v.begin(), v.end(), [](float x) { return std::isfinite(x); });
      };
      for (const PositionKey& key : anim.positionKeys) {
        const Vec3 v = pointToGltf(key.value);
        if (finite(v))
          translations.push_back({seconds(key.time), v});
        else
          ++dropped;
      }
      for (const RotationKey& key : anim.rotationKeys) {
        const Quat q = {key.value[0], key.value[1], key.value[2], key.value[3]};
        if (!finite(q)) {
          ++dropped;
        } else {
          if (q == Quat{0, 0, 0, 0}) ++noTurn;
          rotations.push_back({seconds(key.time), rotationToGltf(key.value)});
        }
      }
      for (const ScaleKey& key : anim.scaleKeys) {
        const Vec3 v = {key.value[0], key.value[1], key.value[2]};
        if (finite(v))
          scales.push_back({seconds(key.time), v});
        else
          ++dropped;
      }
      // Matrix keys give each part that has no keys of its own.
      const bool fromMatrix[3] = {translations.empty(), rotations.empty(), scales.empty()};
      std::uint64_t inexact = 0, tooLarge = 0;
      for (const MatrixKey& key : anim.matrixKeys) {
        const Matrix4 m = matrixToGltf(key.matrix);
        if (!finite(m)) {
          ++dropped;
          continue;
        }
        bool exact = true;
        const Trs trs = decompose(m, exact);
        if (!isFinite(trs)) {
          ++tooLarge;
          continue;
        }
        if (!exact) ++inexact;
        if (fromMatrix[0]) translations.push_back({seconds(key.time), trs.translation});
        if (fromMatrix[1]) rotations.push_back({seconds(key.time), trs.rotation});
        if (fromMatrix[2]) scales.push_back({seconds(key.time), trs.scale});
      }
      warnCount(IssueCode::KeysDropped, what, dropped,
                "key(s) with numbers that are not finite; left out");
      warnCount(IssueCode::NumberRepaired, what, noTurn,
                "rotation key(s) of length 0; written as no turn");
      warnCount(IssueCode::KeysDropped, what, tooLarge,
                "matrix key(s) with a scale past the float range; left out");
      warnCount(IssueCode::TransformApproximated, what, inexact,
                "matrix key(s) not a translation, rotation and scale; written as the nearest");
      auto channel = [&](const char* path, auto& keys) {
        if (keys.empty()) return;
        if (!targeted.insert({node, path}).second) {
          warn(IssueCode::AnimationDropped,
               what + ": a second " + path + " track for its frame in this set; left out");
          return;
        }
        const int sampler = addSampler(samplers, std::move(keys), what + " " + path);
        channels.push_back({{"sampler", sampler}, {"target", {{"node", node}, {"path", path}}}});
      };
      channel("translation", translations);
      channel("rotation", rotations);
      channel("scale", scales);
    }
    if (channels.empty()) {
      if (set.animations.count() > 0) {
        warn(IssueCode::AnimationDropped,
             "animation set " + quoted(set.name) + ": nothing to animate; left out");
      }
      continue;
    }
    animations_.push_back({{"name", nameToUtf8(set.name)},
                           {"channels", std::move(channels)},
                           {"samplers", std::move(samplers)}});
  }
}

}  // namespace kxm::gltf
