// What kxm export kept in extras, taken back where the glTF still holds what the extras were
// written beside: their fingerprint is taken again of what the glTF holds now, and only a
// match lets them in. Extras that do not fit, or are not as the export writes them, are left
// out with a warning, and the glTF's own data is used.
#include <algorithm>

#include "format/chunk_catalogue.h"
#include "format/gltf_extras.h"
#include "import/accessors.h"
#include "import/importer.h"

namespace kxm::gltfin {

std::uint64_t Importer::printOf(int accessor) {
  if (accessor < 0) return 0;
  const auto found = prints_.find(accessor);
  if (found != prints_.end()) return found->second;
  const auto a = static_cast<std::size_t>(accessor);
  extras::Fingerprint print;
  readWords(doc_, a, [&](const std::uint32_t* words, std::size_t n) { print.words(words, n); });
  return prints_[accessor] = print.value();
}

bool Importer::keptWords(const tinygltf::Value* index, std::size_t count,
                         std::vector<std::uint32_t>& out) {
  std::int32_t a = -1;
  if (index == nullptr || !keptInt(*index, a) || a < 0 ||
      static_cast<std::size_t>(a) >= doc_.accessors.size()) {
    return false;
  }
  const tinygltf::Accessor& accessor = doc_.accessors[static_cast<std::size_t>(a)];
  if (accessor.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT ||
      accessor.type != TINYGLTF_TYPE_SCALAR || (count != 0 && accessor.count != count)) {
    return false;
  }
  out.clear();
  readWords(doc_, static_cast<std::size_t>(a), [&](const std::uint32_t* words, std::size_t n) {
    out.insert(out.end(), words, words + n);
  });
  return true;
}

namespace {

// The order the chunks had, each of them once, as the reader keeps it: those it has first.
bool keptTransformOrder(const tinygltf::Value& transform, Frame& read) {
  const tinygltf::Value* order = keptValue(transform, extras::kOrder);
  if (order == nullptr) return true;
  const ChunkCode codes[4] = {chunk::FrameMatrix, chunk::FrameOffset, chunk::FrameRotation,
                              chunk::FrameScale};
  const bool has[4] = {read.hasMatrix, read.hasOffset, read.hasRotation, read.hasScale};
  std::array<std::uint8_t, 4> out{};
  std::size_t placed = 0;
  for (std::size_t i = 0; i < keptLength(order); ++i) {
    std::uint32_t code = 0;
    const auto k = static_cast<std::uint8_t>(keptWord(order->Get(static_cast<int>(i)), code)
                                                 ? std::find(codes, codes + 4, code) - codes
                                                 : 4);
    if (k >= 4 || !has[k] ||
        std::find(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(placed), k) !=
            out.begin() + static_cast<std::ptrdiff_t>(placed))
      return false;
    out[placed++] = k;
  }
  if (placed != static_cast<std::size_t>(std::count(has, has + 4, true))) return false;
  for (std::uint8_t k = 0; k < 4; ++k)
    if (!has[k]) out[placed++] = k;
  read.transformOrder = out;
  return true;
}

}  // namespace

bool Importer::keptTransform(std::size_t n, Frame& frame) {
  const tinygltf::Node& node = doc_.nodes[n];
  const tinygltf::Value* kept = keptIn(node.extras);
  const tinygltf::Value* transform = kept ? keptValue(*kept, extras::kTransform) : nullptr;
  if (transform == nullptr) return false;
  extras::Fingerprint now;
  auto floats = [&](const std::vector<double>& values, std::initializer_list<float> defaults) {
    if (values.empty())
      for (const float v : defaults) now.real(v);
    for (const double v : values) now.real(static_cast<float>(v));
  };
  now.word(node.matrix.empty() ? 0U : 1U);
  floats(node.matrix, {});
  floats(node.translation, {0, 0, 0});
  floats(node.rotation, {0, 0, 0, 1});
  floats(node.scale, {1, 1, 1});
  const std::string where = "/nodes/" + std::to_string(n);
  if (!keptFits(*transform, now)) {
    ignored(where, "of the frame's transform do not fit the node's, which has changed");
    return false;
  }
  Frame read = {};
  bool ok = true;
  auto chunk = [&](const char* key, float* to, std::size_t count, bool& has) {
    const tinygltf::Value* values = keptValue(*transform, key);
    has = values != nullptr;
    ok = ok && (!has || keptFloats(*values, to, count));
  };
  chunk(extras::kMatrix, read.matrix, 16, read.hasMatrix);
  chunk(extras::kOffset, read.offset, 3, read.hasOffset);
  chunk(extras::kRotation, read.rotation, 3, read.hasRotation);
  chunk(extras::kScale, read.scale, 3, read.hasScale);
  ok = ok && keptTransformOrder(*transform, read);
  if (!ok) {
    ignored(where, "of the frame's transform are not as kxm export writes them");
    return false;
  }
  std::copy(std::begin(read.matrix), std::end(read.matrix), frame.matrix);
  std::copy(std::begin(read.offset), std::end(read.offset), frame.offset);
  std::copy(std::begin(read.rotation), std::end(read.rotation), frame.rotation);
  std::copy(std::begin(read.scale), std::end(read.scale), frame.scale);
  frame.transformOrder = read.transformOrder;
  frame.hasMatrix = read.hasMatrix, frame.hasOffset = read.hasOffset;
  frame.hasRotation = read.hasRotation, frame.hasScale = read.hasScale;
  return true;
}

bool Importer::keptMaterialFits(const tinygltf::Material& material) {
  const auto& pbr = material.pbrMetallicRoughness;
  extras::Fingerprint now;
  for (std::size_t i = 0; i < 4; ++i)
    now.real(i < pbr.baseColorFactor.size() ? static_cast<float>(pbr.baseColorFactor[i]) : 1.0f);
  now.real(static_cast<float>(pbr.metallicFactor));
  now.real(static_cast<float>(pbr.roughnessFactor));
  for (std::size_t i = 0; i < 3; ++i)
    now.real(i < material.emissiveFactor.size() ? static_cast<float>(material.emissiveFactor[i])
                                                : 0.0f);
  now.word(extras::alphaModeCode(material.alphaMode));
  const tinygltf::Value* kept = keptIn(material.extras);
  return kept != nullptr && keptFits(*kept, now);
}

// The custom data chunks, from the scene shown.
void Importer::addCustomData() {
  if (doc_.scenes.empty()) return;
  const std::size_t s = sceneShown();
  const tinygltf::Value* kept = keptIn(doc_.scenes[s].extras);
  const tinygltf::Value* list = kept ? keptValue(*kept, extras::kCustomData) : nullptr;
  for (std::size_t i = 0; i < keptLength(list); ++i) {
    std::vector<std::uint8_t> bytes;
    if (!keptBytes(list->Get(static_cast<int>(i)), bytes)) {
      ignored("/scenes/" + std::to_string(s),
              "custom data " + std::to_string(i) + " is not base64 as kxm export writes it");
      continue;
    }
    model_.customData.push_back(std::move(bytes));
  }
}

}  // namespace kxm::gltfin
