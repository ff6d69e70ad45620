// Loads each input through the real reader into the in-memory tree under all four option
// settings, prints the tree as kxm-dump would, and checks that every load ends with an empty
// model and a failure explained; then loads it once more as kxm check does, with an observer
// that hears every finding and a model kept, which is then exported as glTF.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "export/gltf_export.h"
#include "model/model.h"
#include "reader/findings.h"
#include "reader/load.h"
#include "tree/chunk_tree.h"
#include "tree/labels.h"
#include "tree/memory_tree.h"
#include "tree/tree_dump.h"

namespace {

// Every finding must say what it is and where, inside the file.
class FindingChecker : public kxm::LoadObserver {
 public:
  explicit FindingChecker(std::size_t size) : size_(size) {}
  void onFinding(kxm::Finding finding) override {
    if (finding.message.empty() || kxm::findingName(finding.code) == "unknown") std::abort();
    if (finding.offset > size_) std::abort();
    kxm::describePath(finding.path);
  }

 private:
  std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (int setting = 0; setting < 4; ++setting) {
    kxm::DisplayOptions options;
    options.ShowNamesOption = setting & 1;
    options.ShowValuesOption = (setting >> 1) & 1;
    kxm::MemoryTreeControl control;
    kxm::ChunkTree tree;
    tree.Attach(&control);
    kxm::Model model;
    const kxm::LoadOutcome outcome = kxm::loadBytes({data, size}, tree, options, model);
    if (!model.empty()) std::abort();
    // A failure always says why, and a load either fails or does not.
    if (outcome.loaded == static_cast<bool>(outcome.failure)) std::abort();
    if (!outcome.loaded) kxm::describeFailure(outcome.failure);
    std::size_t printed = 0;
    kxm::dumpTree(control, [&printed](std::string_view piece) {
      printed += piece.size();
      return true;
    });
    if (printed < 43) std::abort();  // the four roots at the least
    tree.Clear();
    if (control.liveCount() != 0) std::abort();
  }
  FindingChecker checker(size);
  kxm::ChunkTree detached;
  kxm::Model model;
  const kxm::LoadOutcome kept = kxm::loadBytes({data, size}, detached, kxm::DisplayOptions{},
                                                model, kxm::ModelUse::Keep, &checker);
  if (kept.loaded) {
    kxm::gltf::ExportOptions options;
    options.inputFolder = "/nonexistent-kxm-fuzz";  // no texture is ever found
    kxm::gltf::Warnings warnings;
    const kxm::gltf::Document doc = kxm::gltf::buildDocument(model, options, warnings);
    std::uint64_t length = 0;
    for (const auto& piece : doc.binary) {
      if (piece.size() % 4 != 0) std::abort();
      length += piece.size();
    }
    if (length != doc.binaryLength) std::abort();
    doc.json.dump();  // throws on a string that is not UTF-8
  }
  model.clearModel();
  return 0;
}
