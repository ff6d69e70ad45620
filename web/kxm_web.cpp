// The core as the browser's worker calls it: the bytes of one file go in once, and each view
// of them (Show names, Show values) is a load through the one load entry point into a compact
// sink whose blocks of rows the worker reads in place (compact_tree.h). Labels come from the
// label rule (tree/labels.h), so they are byte for byte kxm-dump's. What kxm check finds and
// what the load explains are handed over as one JSON document; the model goes out as a GLB for
// the 3D view (replies.h).
//
// One file at a time: the worker owns this module and asks in turn, so plain statics serve.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/little_endian.h"
#include "model/model.h"
#include "reader/findings.h"
#include "reader/load.h"
#include "tree/labels.h"
#include "web/compact_tree.h"
#include "web/compare.h"
#include "web/replies.h"

namespace kxm::web {

namespace {

// kxm check's findings: every one counted, the first ones (up to its default cap) listed.
constexpr std::size_t kListedFindings = 100;

// kxm_view_array hands these over as 32-bit numbers side by side.
static_assert(sizeof(std::pair<std::uint32_t, std::uint32_t>) == 2 * sizeof(std::uint32_t));

std::vector<std::uint8_t> fileBytes;
// What the values of a chunk are taken from: the model of the last load and the records its
// chunks start.
Model currentModel;
Records currentRecords;
// The last view's rows, until the worker has put them into pre-order.
std::unique_ptr<CompactSink> currentSink;
std::vector<double> values;
// A comparison's first file, and the offsets of the nodes it paired.
std::vector<std::uint8_t> firstBytes;
std::vector<std::uint32_t> pairs;
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
// Null when the module has no room for them.
EMSCRIPTEN_KEEPALIVE std::uint8_t* kxm_file_buffer(std::uint32_t size) {
  fileBytes = {};
  try {
    fileBytes.assign(size, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return fileBytes.data();
}

// Loads the bytes under the options into the view's rows. With `check`, also what kxm check
// finds. Returns the outcome as JSON: {outcome, failure, explanation, rows, frameRows,
// fieldBytes, findings?}, the frames' rows and the header fields counted (kxm_view_array).
EMSCRIPTEN_KEEPALIVE const char* kxm_view(int showNames, int showValues, int check) {
  DisplayOptions options;
  options.ShowNamesOption = showNames == 1 ? 1 : 0;
  options.ShowValuesOption = showValues == 1 ? 1 : 0;
  // What the last view left goes before this one is made: memory the module has grown to is
  // never given back, so the peak of one load is what the worker keeps.
  currentSink.reset();
  currentRecords = Records{};
  values = {};
  currentSink = std::make_unique<CompactSink>(options);
  CompactSink& sink = *currentSink;
  IssueList issues(kListedFindings);
  LoadOutcome outcome;
  try {
    outcome = load(std::span<const std::uint8_t>(fileBytes), currentModel, &sink,
                   check ? &issues : nullptr);
  } catch (const std::exception&) {
    // The rows of a file of countless tiny chunks can outgrow the module's 4 GiB before any
    // load limit: the load fails there, and the rows made so far stay, as for any failure.
    outcome = LoadOutcome{};
    outcome.failure.cause = FailureCause::OutOfMemory;
    outcome.failure.hasOffset = false;
    outcome.failure.message = "no memory left to read the file into the tree";
  }
  currentRecords = std::move(sink.records);
  currentRecords.finish();

  nlohmann::ordered_json out;
  out["outcome"] = outcome.loaded ? "loaded" : "failed";
  out["failure"] = outcome.loaded ? nlohmann::ordered_json(nullptr) : failureJson(outcome.failure);
  out["explanation"] = outcome.loaded ? "" : bytesAsText(describeFailure(outcome.failure));
  out["rows"] = sink.rowCount();
  out["frameRows"] = sink.frameRows.size();
  out["fieldBytes"] = sink.fieldBytes.size();
  if (check) {
    issues.finish(outcome.failure);
    out["findings"] = findingsJson(issues);
  }
  return remember(out);
}

// The rows in the order told: how many blocks (kxm_block_rows rows each, the last the rest),
// and where column `which` of a block is: 0 parent, 1 offset, 2 label start, 3 label length
// (32-bit each), 4 kind (bytes).
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_block_rows() {
  return RowBlock::kRows;
}
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_row_blocks() {
  return currentSink ? static_cast<std::uint32_t>(currentSink->blocks()) : 0;
}
EMSCRIPTEN_KEEPALIVE const void* kxm_row_column(std::uint32_t block, int which) {
  if (!currentSink || block >= currentSink->blocks()) return nullptr;
  const RowBlock& b = currentSink->block(block);
  switch (which) {
    case 0: return b.parent;
    case 1: return b.offset;
    case 2: return b.labelStart;
    case 3: return b.labelLength;
    case 4: return b.kind;
    default: return nullptr;
  }
}

// The label stream's blocks, kxm_label_block_bytes each.
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_label_block_bytes() {
  return LabelStream::kBlock;
}
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_label_blocks() {
  return currentSink ? static_cast<std::uint32_t>(currentSink->labels.blocks()) : 0;
}
EMSCRIPTEN_KEEPALIVE const char* kxm_label_block(std::uint32_t i) {
  return currentSink && i < currentSink->labels.blocks() ? currentSink->labels.block(i) : nullptr;
}

// As 32-bit numbers, rows in the order told: 0 the frames' rows, 1 the header fields (row,
// bytes).
EMSCRIPTEN_KEEPALIVE const void* kxm_view_array(int which) {
  if (!currentSink) return nullptr;
  switch (which) {
    case 0: return currentSink->frameRows.data();
    case 1: return currentSink->fieldBytes.data();
    default: return nullptr;
  }
}

// Lets the rows go once the worker has them in pre-order; what values need stays.
EMSCRIPTEN_KEEPALIVE void kxm_view_release() {
  currentSink.reset();
}

// The values a data chunk holds, as the walk read them into the model: the chunk whose head
// is at `offset`, in the record that the chunk at `parentOffset` starts (a bone's vertices and
// weights: in the bone the chunk itself is of). Returns {title, columns, integer, rowLabels,
// count} and the numbers, row after row, by kxm_values_data; {count: 0} for a chunk that holds
// none.
EMSCRIPTEN_KEEPALIVE const char* kxm_values(std::uint32_t offset, std::uint32_t parentOffset) {
  values.clear();
  const Record* own = currentRecords.atOffset(offset);
  const Record* holder =
      own != nullptr && own->kind == Record::Bone ? own : currentRecords.atOffset(parentOffset);
  if (holder == nullptr || fileBytes.size() < 4 || offset > fileBytes.size() - 4) {
    nlohmann::ordered_json out;
    out["count"] = 0;
    return remember(out);
  }
  return remember(valuesJson(currentModel, currentRecords, *holder,
                             std::span<const std::uint8_t>(fileBytes), offset, values));
}

EMSCRIPTEN_KEEPALIVE const double* kxm_values_data() {
  return values.data();
}

// The model as a GLB with its images inside, the images found among the files in `folder`
// (where the worker put the files that came with the model), then in the texture folders, one
// a line. Returns {ok, error, warnings}; the bytes by kxm_glb_data and kxm_glb_size.
EMSCRIPTEN_KEEPALIVE const char* kxm_export(const char* folder, const char* textureFolders) {
  std::vector<std::string> folders;
  for (std::string_view rest(textureFolders); !rest.empty();) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    if (end > 0) folders.emplace_back(rest.substr(0, end));
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return remember(
      exportJson(std::span<const std::uint8_t>(fileBytes), folder, folders, currentRecords, glb));
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* kxm_glb_data() {
  return glb.data();
}
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_glb_size() {
  return static_cast<std::uint32_t>(glb.size());
}

// Room for the first file of a comparison, which the worker copies in before kxm_compare: the
// file held (kxm_file_buffer) is the second. Null when the module has no room for it.
EMSCRIPTEN_KEEPALIVE std::uint8_t* kxm_first_buffer(std::uint32_t size) {
  firstBytes = {};
  try {
    firstBytes.assign(size, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return firstBytes.data();
}

// The first file compared with the one held, as kxm diff compares them under the options, at
// most `most` differences listed (web/compare.h); the pairs by kxm_compare_pairs. The first
// file's bytes go once it is compared. {error} when memory ran out.
EMSCRIPTEN_KEEPALIVE const char* kxm_compare(int showNames, int showValues, std::uint32_t most) {
  DiffOptions options;
  options.showNames = showNames == 1;
  options.showValues = showValues == 1;
  pairs = {};
  nlohmann::ordered_json out;
  try {
    out = compareJson(firstBytes, fileBytes, options, most, pairs);
  } catch (const std::bad_alloc&) {
    pairs = {};
    out = nlohmann::ordered_json::object();
    out["error"] = "no memory left to compare the two files";
  }
  firstBytes = {};
  return remember(out);
}

EMSCRIPTEN_KEEPALIVE const std::uint32_t* kxm_compare_pairs() {
  return pairs.data();
}

}  // extern "C"
