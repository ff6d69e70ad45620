#include "cli/diff_command.h"

#include <new>

#include "cli/diagnostics.h"
#include "cli/huge_page_blocks.h"
#include "cli/json_writer.h"
#include "reader/file_image.h"
#include "text/escape.h"
#include "text/format.h"

namespace kxm {

namespace {

// The differences as kxm diff writes them: each a line (after `prefix`, a pair's relative path
// in a folder run, where there is one), or an object of the JSON document's array.
class WrittenReport final : public DiffReport {
 public:
  WrittenReport(std::uint64_t most, Output& out, JsonWriter* json, std::string prefix = {})
      : DiffReport(most), out_(out), json_(json), prefix_(std::move(prefix)) {}

 protected:
  void list(const Difference& d) override {
    if (json_ != nullptr) {
      json_->beginObject().key("kind").string(d.kind).key("path").string(d.path);
      json_->key("text").string(d.text).endObject();
      return;
    }
    std::string line = prefix_.empty() ? std::string() : prefix_ + ": ";
    line += d.path.empty() ? d.text : d.path + ": " + d.text;
    out_.write(line + "\n");
  }

 private:
  Output& out_;
  JsonWriter* json_;
  std::string prefix_;
};

// Loads a side as far as it loads; false, with the reason on err, only for a file that could not
// be read at all.
bool loadSide(const DiffRequest& request, const Input& input, FileImage& image, DiffSide& side,
              Output& err) {
  LoadOutcome outcome;
  if (input.stdinUnreadable) {
    Model model;
    outcome = loadInput(input, model, nullptr, nullptr, hugePageBlocks());
  } else if (input.bytes) {
    outcome = side.load(*input.bytes, request, hugePageBlocks());
  } else if (image.read(input.path.c_str(), outcome.failure, hugePageBlocks())) {
    // The file is read once: the load walks these bytes and the content is compared in them.
    outcome = side.load(image.bytes(), request, hugePageBlocks());
  }
  if (outcome.loaded || outcome.failure.hasOffset) return true;
  err.write(diagnosticLine(input.shown, issueOf(outcome.failure)));
  return false;
}

}  // namespace

// One pair of files, reported as one document or as lines and a count. `prefix` goes before
// every line (a pair's relative path in a folder run); -1 for a file that could not be read.
int diffPair(const DiffRequest& request, const Input& a, const Input& b, const std::string& prefix,
             Output& out, Output& err) {
  FileImage imageA, imageB;
  DiffSide sideA(hugePageBlocks()), sideB(hugePageBlocks());
  if (!loadSide(request, a, imageA, sideA, err) || !loadSide(request, b, imageB, sideB, err)) {
    return -1;
  }
  if (request.json) {
    JsonWriter json(out);
    json.beginObject();
    writeDocumentHead(json, a.shown);
    // As writeDocumentHead writes "file": its UTF-8 as such, other bytes each a character.
    if (isValidUtf8(b.shown)) {
      json.key("otherFile").utf8(b.shown);
    } else {
      json.key("otherFile").string(b.shown);
      json.key("otherFileIsBytes").boolean(true);
    }
    json.key("differences").beginArray();
    WrittenReport report(request.maxDifferences, out, &json);
    diffFiles(request, sideA, sideB, report);
    json.endArray();
    json.key("count").number(report.count());
    json.key("truncated").boolean(report.count() > request.maxDifferences);
    json.endObject();
    json.finish();
    return report.count() == 0 ? 0 : 1;
  }
  WrittenReport report(request.maxDifferences, out, nullptr, prefix);
  diffFiles(request, sideA, sideB, report);
  const std::uint64_t count = report.count(), listed = std::min(count, request.maxDifferences);
  const std::string total =
      plural(count, "difference", "differences") +
      (listed < count ? " (" + std::to_string(count - listed) + " not listed)" : "");
  if (prefix.empty()) {
    out.write(count == 0 ? std::string("the files hold the same\n") : total + "\n");
  } else if (listed < count) {
    out.write(prefix + ": " + total + "\n");
  }
  return count == 0 ? 0 : 1;
}

int runDiff(const DiffRequest& request, const Input& a, const Input& b, Output& out, Output& err) {
  // Two files' trees and bytes may not fit at once where one file's did: that is trouble with the
  // run, said as such, not an abort.
  try {
    const int status = diffPair(request, a, b, "", out, err);
    return status < 0 ? 2 : status;
  } catch (const std::bad_alloc&) {
    err.write(a.shown + ": error: out of memory comparing it with " + b.shown +
              " [out-of-memory]\n");
    return 2;
  }
}

}  // namespace kxm
