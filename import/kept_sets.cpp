// An animation set as kxm export kept it (format/gltf_extras.h): its length, and every
// animation with its keys whole, matrix keys and all, as the file has them; glTF's channels
// hold only what they can of them, and of the animations that name a frame.
#include <array>
#include <cstring>

#include "format/gltf_extras.h"
#include "import/importer.h"

namespace kxm::gltfin {

namespace {

using namespace extras;

// A track's keys from the words kept, `count` of them from `at` on.
template <class Key>
void fillKeys(const std::vector<std::uint32_t>& words, std::size_t& at, std::int32_t count,
              ValueArray<Key>& keys) {
  if (count <= 0) return;
  if (!keys.allocate(count)) throw std::bad_alloc();
  const std::size_t n = static_cast<std::size_t>(count) * kWords<Key>;
  std::memcpy(static_cast<void*>(keys.data()), words.data() + at, n * 4);
  at += n;
}

}  // namespace

bool Importer::keptSetFits(std::size_t a, const tinygltf::Value& kept) {
  const tinygltf::Animation& ga = doc_.animations[a];
  Fingerprint now;
  now.word(static_cast<std::uint32_t>(ga.channels.size()));
  for (const tinygltf::AnimationChannel& channel : ga.channels) {
    const tinygltf::AnimationSampler& sampler =
        ga.samplers[static_cast<std::size_t>(channel.sampler)];
    now.word(static_cast<std::uint32_t>(channel.target_node));
    now.word(pathCode(channel.target_path));
    now.print(printOf(sampler.input));
    now.print(printOf(sampler.output));
    now.word(interpolationCode(sampler.interpolation));
  }
  const tinygltf::Value* keys = keptValue(kept, kKeys);
  std::int32_t k = -1;
  if (keys != nullptr &&
      (!keptInt(*keys, k) || k < 0 || static_cast<std::size_t>(k) >= doc_.accessors.size())) {
    return false;
  }
  now.print(printOf(k));
  return keptFits(kept, now);
}

// The set's length and animations; its name too where the set is kept whole.
bool Importer::setFromKept(const tinygltf::Value& kept, AnimationSet& set) {
  const tinygltf::Value* length = keptValue(kept, kLength);
  const tinygltf::Value* name = keptValue(kept, kName);
  set.hasLength = length != nullptr;
  if ((length != nullptr && !keptFloat(*length, set.length)) ||
      (name != nullptr && !keptName(*name, set.name))) {
    return false;
  }
  const tinygltf::Value* list = keptValue(kept, kAnimations);
  constexpr std::size_t kKeyWords[4] = {kWords<PositionKey>, kWords<RotationKey>, kWords<ScaleKey>,
                                        kWords<MatrixKey>};
  std::vector<std::array<std::int32_t, 4>> counts(keptLength(list));
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const tinygltf::Value* keys = keptValue(list->Get(static_cast<int>(i)), kKeys);
    if (keys == nullptr || !keys->IsArray() || keys->ArrayLen() != 4) return false;
    for (std::size_t t = 0; t < 4; ++t) {
      if (!keptInt(keys->Get(static_cast<int>(t)), counts[i][t]) || counts[i][t] < 0) return false;
      total += static_cast<std::uint64_t>(counts[i][t]) * kKeyWords[t];
    }
  }
  std::vector<std::uint32_t> words;
  const tinygltf::Value* keys = keptValue(kept, kKeys);
  if (total == 0 ? keys != nullptr : !keptWords(keys, total, words)) return false;
  std::size_t at = 0;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    Animation* animation = set.animations.append();
    if (animation == nullptr) throw std::bad_alloc();
    const tinygltf::Value* bone = keptValue(list->Get(static_cast<int>(i)), kBone);
    if (bone == nullptr || !keptName(*bone, animation->boneName)) return false;
    fillKeys(words, at, counts[i][0], animation->positionKeys);
    fillKeys(words, at, counts[i][1], animation->rotationKeys);
    fillKeys(words, at, counts[i][2], animation->scaleKeys);
    fillKeys(words, at, counts[i][3], animation->matrixKeys);
  }
  return true;
}

}  // namespace kxm::gltfin
