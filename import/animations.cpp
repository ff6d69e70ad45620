// Animations become animation sets: one animation per node moved, named as the node, with
// position, rotation and scale keys mirrored back and times in ticks. Linear and step keys are
// kept as keys; a cubic spline keeps its values at the key times.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "format/gltf_extras.h"
#include "import/accessors.h"
#include "import/importer.h"

namespace kxm::gltfin {

namespace {

template <class Key>
bool allocateKeys(ValueArray<Key>& keys, std::size_t n) {
  return n > 0 && keys.allocate(static_cast<std::int32_t>(n));
}

}  // namespace

bool Importer::addChannel(std::size_t a, std::size_t c, AnimationSet& set, std::string& error) {
  const tinygltf::Animation& ga = doc_.animations[a];
  const tinygltf::AnimationChannel& channel = ga.channels[c];
  const tinygltf::AnimationSampler& sampler =
      ga.samplers[static_cast<std::size_t>(channel.sampler)];
  const std::string where = "/animations/" + std::to_string(a) + "/channels/" + std::to_string(c);
  if (channel.target_node < 0) return true;
  const std::string& path = channel.target_path;
  if (path == "weights") {
    warn(IssueCode::ImportLeftOut, where + ": morph target weights; left out");
    return true;
  }
  const std::size_t n = static_cast<std::size_t>(channel.target_node);
  const std::vector<float> times = readFloats(doc_, static_cast<std::size_t>(sampler.input));
  const std::vector<float> values = readFloats(doc_, static_cast<std::size_t>(sampler.output));
  const std::size_t width = path == "rotation" ? 4 : 3;
  const bool cubic = sampler.interpolation == "CUBICSPLINE";
  const std::size_t per = cubic ? 3 : 1;
  const auto& output = doc_.accessors[static_cast<std::size_t>(sampler.output)];
  if (static_cast<std::size_t>(componentsOf(output.type)) != width) {
    error = "/animations/" + std::to_string(a) + "/samplers/" + std::to_string(channel.sampler) +
            "/output: not a VEC" + std::to_string(width) + " for " + path;
    return false;
  }
  if (cubic) warn(IssueCode::KeysSampled, where + ": cubic spline keys kept as their values");
  // The node's animation: one per node in the set.
  Animation* anim = nullptr;
  char name[kNameSize];
  copyName(doc_.nodes[n].name, name);
  for (Animation& existing : set.animations)
    if (std::strncmp(existing.boneName, name, kNameSize) == 0) anim = &existing;
  if (anim == nullptr) {
    anim = set.animations.append();
    if (anim == nullptr) throw std::bad_alloc();
    std::memcpy(anim->boneName, name, kNameSize);
  }
  const std::size_t keys = times.size();
  auto ticks = [&](std::size_t k) {
    const double t = std::round(double{times[k]} * options_.ticksPerSecond);
    return static_cast<float>(std::clamp(t, 0.0, 4294967295.0));
  };
  auto value = [&](std::size_t k, std::size_t i) {
    return values[(k * per + (cubic ? 1 : 0)) * width + i];
  };
  for (std::size_t k = 0; k < keys; ++k) set.length = std::max(set.length, ticks(k));
  if (path == "translation" || path == "scale") {
    auto fill = [&](auto& track, bool mirrored) {
      if (!allocateKeys(track, keys)) return;
      for (std::size_t k = 0; k < keys; ++k) {
        track[k].time = ticks(k);
        const double p[3] = {value(k, 0), value(k, 1), value(k, 2)};
        if (mirrored)
          pointFromGltf(p, track[k].value);
        else
          for (std::size_t i = 0; i < 3; ++i) track[k].value[i] = static_cast<float>(p[i]);
      }
    };
    if (path == "translation")
      fill(anim->positionKeys, true);
    else
      fill(anim->scaleKeys, false);
  } else if (path == "rotation") {
    if (!allocateKeys(anim->rotationKeys, keys)) return true;
    for (std::size_t k = 0; k < keys; ++k) {
      RotationKey& key = anim->rotationKeys[k];
      key.time = ticks(k);
      // (x, y, z, w) mirrored back: (-x, -y, z, w).
      key.value[0] = -value(k, 0) + 0.0f, key.value[1] = -value(k, 1) + 0.0f;
      key.value[2] = value(k, 2), key.value[3] = value(k, 3);
    }
  }
  return true;
}

// One animation as a set: as kxm export kept it, where its extras fit its channels; else from
// the channels, one animation per node they move.
bool Importer::addAnimation(std::size_t a, std::string& error) {
  AnimationSet* set = model_.addAnimationSet();
  if (set == nullptr) throw std::bad_alloc();
  const tinygltf::Animation& ga = doc_.animations[a];
  if (const tinygltf::Value* kept = keptIn(ga.extras)) {
    const std::string where = "/animations/" + std::to_string(a);
    if (!keptSetFits(a, *kept)) {
      ignored(where, "do not fit its channels, which have changed");
    } else if (setFromKept(*kept, *set)) {
      copyName(ga.name, set->name);
      return true;
    } else {
      ignored(where, "are not as kxm export writes them");
      model_.animationSets.removeLast();
      set = model_.addAnimationSet();
      if (set == nullptr) throw std::bad_alloc();
    }
  }
  copyName(ga.name, set->name);
  for (std::size_t c = 0; c < ga.channels.size(); ++c)
    if (!addChannel(a, c, *set, error)) return false;
  return true;
}

// The sets in the order the scene's extras keep, with those kxm export left out kept whole,
// where that list names every animation once; else one set per animation, in order.
bool Importer::addAnimations(std::string& error) {
  const tinygltf::Value* kept =
      doc_.scenes.empty() ? nullptr : keptIn(doc_.scenes[sceneShown()].extras);
  const std::string where = "/scenes/" + std::to_string(sceneShown());
  const tinygltf::Value* list = kept ? keptValue(*kept, extras::kAnimationSets) : nullptr;
  std::vector<int> named(doc_.animations.size(), 0);
  bool ordered = list != nullptr;
  for (std::size_t i = 0; ordered && i < keptLength(list); ++i) {
    const tinygltf::Value& entry = list->Get(static_cast<int>(i));
    std::int32_t a = -1;
    if (entry.IsObject()) continue;
    ordered = keptInt(entry, a) && a >= 0 && static_cast<std::size_t>(a) < named.size() &&
              ++named[static_cast<std::size_t>(a)] == 1;
  }
  ordered = ordered && std::all_of(named.begin(), named.end(), [](int n) { return n == 1; });
  if (list != nullptr && !ordered) ignored(where, "name animations other than the file's");
  if (!ordered) {
    for (std::size_t a = 0; a < doc_.animations.size(); ++a)
      if (!addAnimation(a, error)) return false;
    return true;
  }
  for (std::size_t i = 0; i < keptLength(list); ++i) {
    const tinygltf::Value& entry = list->Get(static_cast<int>(i));
    std::int32_t a = -1;
    if (keptInt(entry, a)) {
      if (!addAnimation(static_cast<std::size_t>(a), error)) return false;
      continue;
    }
    AnimationSet* set = model_.addAnimationSet();
    if (set == nullptr) throw std::bad_alloc();
    if (!setFromKept(entry, *set)) {
      model_.animationSets.removeLast();
      ignored(where, "of an animation set left out are not as kxm export writes them");
    }
  }
  return true;
}

}  // namespace kxm::gltfin
