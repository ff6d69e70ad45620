// Loads each input through the real reader into the in-memory tree with the options on and off,
// prints the tree as kxm-dump would, and checks that a failed load is explained; then loads it
// once more as kxm check does, with an observer
// that hears every finding and a model kept, which is then exported as glTF and the document
// checked as a glTF reader would check it.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "export/gltf_export.h"
#include "export/gltf_file.h"
#include "model/model.h"
#include "reader/findings.h"
#include "reader/load.h"
#include "tree/chunk_tree.h"
#include "tree/labels.h"
#include "tree/memory_tree.h"
#include "tree/tree_dump.h"
#include "tree/tree_sink.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// Every finding must say what it is and where, inside the file. A hostile input can make a
// hundred thousand of them; as kxm check does, only the first ones are asked for their path and
// message, the rest are counted and checked for offset and code alone.
class FindingChecker : public kxm::LoadObserver {
 public:
  explicit FindingChecker(std::size_t size) : size_(size) {}
  void onFinding(kxm::Finding finding) override {
    require(static_cast<std::size_t>(finding.code) < kxm::issueKinds().size());
    require(finding.offset <= size_);
    if (detailed_ < kDetailed) {
      ++detailed_;
      require(!finding.message.empty());
      // The chain runs from the outside in: each head lies inside the file, after its holder's.
      std::uint32_t previous = 0;
      for (const kxm::ChunkRef& chunk : finding.path) {
        require(chunk.offset < size_ && chunk.offset >= previous && !chunk.name.empty());
        previous = chunk.offset;
      }
      kxm::describePath(finding.path);
    }
  }
  bool wantsDetail() const override { return detailed_ < kDetailed; }

 private:
  static constexpr std::size_t kDetailed = 100;
  std::size_t size_;
  std::size_t detailed_ = 0;
};

// Each load is held to limits of its own, far below the tools' (65,536 chunk heads and 64 MiB of
// arrays, plus what the file's size allows): an input that runs into a limit then costs
// milliseconds under the sanitizers instead of seconds, through the same code. The tools' own
// limits are tested at their boundaries by the unit tests.
kxm::LoadLimits fuzzLimits(std::size_t size) {
  return {(std::uint64_t{1} << 20) + 8 * std::uint64_t{size}, 4096 + std::uint64_t{size}};
}

std::size_t componentsOf(const std::string& type) {
  if (type == "SCALAR") return 1;
  if (type == "VEC2") return 2;
  if (type == "VEC3") return 3;
  if (type == "VEC4") return 4;
  require(type == "MAT4");
  return 16;
}

template <class T>
double valueAt(const unsigned char* data, std::size_t i) {
  T value;
  std::memcpy(&value, data + i * sizeof(T), sizeof(T));
  return static_cast<double>(value);
}

// What a glTF reader checks of an export: every number finite, each buffer view one piece of
// the buffer inside it, each accessor inside its view, floats finite, min and max its data's.
void checkDocument(const kxm::gltf::Document& doc) {
  require(!kxm::gltf::nonFiniteNumber(doc.json).has_value());
  const auto& json = doc.json;
  std::uint64_t length = 0;
  for (const auto& piece : doc.binary) {
    require(piece.size() % 4 == 0 && piece.used() <= piece.size());
    length += piece.size();
  }
  require(length == doc.binaryLength);
  if (json.contains("buffers")) require(json["buffers"][0]["byteLength"] == doc.binaryLength);
  if (!json.contains("accessors")) return;
  const auto& views = json["bufferViews"];
  require(views.size() == doc.binary.size());
  std::uint64_t offset = 0;
  for (std::size_t v = 0; v < views.size(); ++v) {
    require(views[v]["byteOffset"] == offset && views[v]["byteLength"] == doc.binary[v].used());
    offset += doc.binary[v].size();
  }
  for (const auto& accessor : json["accessors"]) {
    const auto& piece = doc.binary[accessor["bufferView"].get<std::size_t>()];
    const std::size_t components = componentsOf(accessor["type"].get<std::string>());
    const int type = accessor["componentType"].get<int>();
    const std::size_t width = type == 5123 ? 2 : 4;
    const std::size_t values = accessor["count"].get<std::size_t>() * components;
    require(values * width <= piece.used());
    auto at = [&](std::size_t i) {
      return type == 5126   ? valueAt<float>(piece.data(), i)
             : type == 5125 ? valueAt<std::uint32_t>(piece.data(), i)
                            : valueAt<std::uint16_t>(piece.data(), i);
    };
    for (std::size_t i = 0; i < values; ++i) require(std::isfinite(at(i)));
    if (!accessor.contains("min")) continue;
    for (std::size_t c = 0; c < components; ++c) {
      double lo = at(c), hi = at(c);
      for (std::size_t i = c; i < values; i += components) {
        lo = std::min(lo, at(i));
        hi = std::max(hi, at(i));
      }
      require(accessor["min"][c].get<double>() == lo && accessor["max"][c].get<double>() == hi);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kxm::LoadLimits kLimits = fuzzLimits(size);
  // Both options on, then both off: every label takes each of its two ways.
  for (const std::int32_t shown : {1, 0}) {
    kxm::DisplayOptions options;
    options.ShowNamesOption = shown;
    options.ShowValuesOption = shown;
    kxm::MemoryTreeControl control;
    kxm::ChunkTree tree;
    tree.Attach(&control);
    kxm::TreeSink sink(tree, options);
    kxm::Model model;
    const kxm::LoadOutcome outcome = kxm::load({data, size}, model, &sink, nullptr, kLimits);
    // A failure always says why, and a load either fails or does not.
    require(outcome.loaded != static_cast<bool>(outcome.failure));
    if (!outcome.loaded) kxm::describeFailure(outcome.failure);
    std::size_t printed = 0;
    kxm::dumpTree(control, [&printed](std::string_view piece) {
      printed += piece.size();
      return true;
    });
    require(printed >= 43);  // the four roots at the least
    tree.Clear();
    require(control.liveCount() == 0);
  }
  FindingChecker checker(size);
  kxm::Model model;
  const kxm::LoadOutcome kept = kxm::load({data, size}, model, nullptr, &checker, kLimits);
  if (kept.loaded) {
    const kxm::gltf::ExportOptions options;  // no image resolver: no texture is ever looked up
    kxm::gltf::Warnings warnings;
    const kxm::gltf::Document doc = kxm::gltf::buildDocument(model, options, warnings);
    checkDocument(doc);
    doc.json.dump();  // throws on a string that is not UTF-8
  }
  return 0;
}
