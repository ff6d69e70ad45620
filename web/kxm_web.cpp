// The core as the browser's worker calls it: the bytes of one file go in once, and each view
// of them (Show names, Show values) is a load through the one load entry point into a compact
// sink whose rows are flat arrays the page can take over whole (compact_tree.h). Labels come
// from the label rule (tree/labels.h), so they are byte for byte kxm-dump's. What kxm check
// finds and what the load explains are handed over as one JSON document; the model goes out as
// a GLB for the 3D view (replies.h).
//
// One file at a time: the worker owns this module and asks in turn, so plain statics serve.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/model.h"
#include "reader/findings.h"
#include "reader/load.h"
#include "tree/labels.h"
#include "web/compact_tree.h"
#include "web/replies.h"

namespace kxm::web {

namespace {

// kxm check's findings: every one counted, the first ones (up to its default cap) listed.
constexpr std::size_t kListedFindings = 100;

std::vector<std::uint8_t> fileBytes;
std::unique_ptr<CompactSink> currentSink;
View currentView;
// What the values of a row are taken from: the model of the last load, which record each row
// starts, and each row's parent and place in the order told.
Model currentModel;
Records currentRecords;
std::vector<std::int32_t> rowParent;
std::vector<std::uint32_t> rowTold, rowCode;
std::vector<double> values;
std::string resultText;
std::vector<std::uint8_t> glb;

const char* remember(const nlohmann::ordered_json& json) {
  resultText = json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  return resultText.c_str();
}

}  // namespace

}  // namespace kxm::web

using namespace kxm;
using namespace kxm::web;

extern "C" {

// Room for the file's bytes, which the worker copies in before the first kxm_view.
EMSCRIPTEN_KEEPALIVE std::uint8_t* kxm_file_buffer(std::uint32_t size) {
  fileBytes.assign(size, 0);
  return fileBytes.data();
}

// Loads the bytes under the options into the view's rows. With `check`, also what kxm check
// finds. Returns the outcome as JSON: {outcome, failure, explanation, rows, findings?}.
EMSCRIPTEN_KEEPALIVE const char* kxm_view(int showNames, int showValues, int check) {
  DisplayOptions options;
  options.ShowNamesOption = showNames == 1 ? 1 : 0;
  options.ShowValuesOption = showValues == 1 ? 1 : 0;
  // What the last view left goes before this one is made: memory the module has grown to is
  // never given back, so the peak of one load is what the worker keeps.
  currentSink.reset();
  currentView = View{};
  rowParent = {};
  rowTold = {};
  rowCode = {};
  values = {};
  currentSink = std::make_unique<CompactSink>(options);
  CompactSink& sink = *currentSink;
  IssueList issues(kListedFindings);
  const LoadOutcome outcome = load(std::span<const std::uint8_t>(fileBytes), currentModel, &sink,
                                   check ? &issues : nullptr);
  currentRecords = std::move(sink.records);
  orderRows(sink, currentView);

  nlohmann::ordered_json out;
  out["outcome"] = outcome.loaded ? "loaded" : "failed";
  out["failure"] = outcome.loaded ? nlohmann::ordered_json(nullptr) : failureJson(outcome.failure);
  out["explanation"] = outcome.loaded ? "" : bytesAsText(describeFailure(outcome.failure));
  out["rows"] = currentView.parent.size();
  out["frameRows"] = currentView.frameRows;
  if (check) {
    issues.finish(outcome.failure);
    out["findings"] = findingsJson(issues);
  }
  return remember(out);
}

// The view's arrays, for the worker to copy out: in pre-order 0 parent, 1 depth, 2 subtree
// end, 3 each row's place in the order told; in the order told 4 offset, 5 code, 6 length,
// 7 label start, 8 label length (32-bit each), 9 kind (bytes). The labels by kxm_label_block.
EMSCRIPTEN_KEEPALIVE const void* kxm_view_array(int which) {
  View& v = currentView;
  if (!currentSink) return nullptr;
  CompactSink& s = *currentSink;
  switch (which) {
    case 0: return v.parent.data();
    case 1: return v.depth.data();
    case 2: return v.subtreeEnd.data();
    case 3: return v.told.data();
    case 4: return s.offsets.data();
    case 5: return s.codes.data();
    case 6: return s.lengths.data();
    case 7: return s.labelStarts.data();
    case 8: return s.labelLengths.data();
    case 9: return s.kinds.data();
    default: return nullptr;
  }
}

// The label blocks: how many, where block i is and how many of its bytes hold labels.
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_label_blocks() {
  return currentSink ? static_cast<std::uint32_t>(currentSink->labels.blocks()) : 0;
}
EMSCRIPTEN_KEEPALIVE const char* kxm_label_block(std::uint32_t i) {
  return currentSink->labels.block(i);
}
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_label_block_used(std::uint32_t i) {
  return currentSink->labels.used(i);
}

// Lets the view's arrays go once the worker has copied them; what values need stays.
EMSCRIPTEN_KEEPALIVE void kxm_view_release() {
  rowParent = std::move(currentView.parent);
  rowTold = std::move(currentView.told);
  if (currentSink) rowCode = std::move(currentSink->codes);  // in the order told
  currentSink.reset();
  currentView = View{};
}

// The values a data chunk holds, as the walk read them into the model. Returns {title,
// columns, rowLabels, count} and the numbers, row after row, by kxm_values_data; {count: 0} for
// a row that holds none.
EMSCRIPTEN_KEEPALIVE const char* kxm_values(std::uint32_t row) {
  values.clear();
  if (row >= rowParent.size() || rowParent[row] < 0 || rowTold[row] >= rowCode.size()) {
    nlohmann::ordered_json out;
    out["count"] = 0;
    return remember(out);
  }
  const std::size_t parentTold = rowTold[static_cast<std::size_t>(rowParent[row])];
  return remember(
      valuesJson(currentModel, currentRecords, parentTold, rowCode[rowTold[row]], values));
}

EMSCRIPTEN_KEEPALIVE const double* kxm_values_data() { return values.data(); }

// The model as a GLB with its images inside, the images found among the files in `folder`
// (where the worker put the files that came with the model). Returns {ok, error, warnings};
// the bytes by kxm_glb_data and kxm_glb_size.
EMSCRIPTEN_KEEPALIVE const char* kxm_export(const char* folder) {
  return remember(exportJson(std::span<const std::uint8_t>(fileBytes), folder, glb));
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* kxm_glb_data() { return glb.data(); }
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_glb_size() { return static_cast<std::uint32_t>(glb.size()); }

}  // extern "C"
