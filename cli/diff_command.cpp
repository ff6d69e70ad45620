#include "cli/diff_command.h"

#include <new>

#include "cli/diagnostics.h"
#include "cli/diff_tree.h"
#include "text/escape.h"
#include "text/format.h"
#include "tree/chunk_tree.h"
#include "tree/tree_sink.h"

namespace kxm {

namespace {

// Loads a side as far as it loads; false, with the reason on err, only for a file that could not
// be read at all.
bool loadSide(const DiffRequest& request, const Input& input, DiffSide& side, Output& err) {
  DisplayOptions options;
  options.ShowNamesOption = request.showNames ? 1 : 0;
  options.ShowValuesOption = request.showValues ? 1 : 0;
  ChunkTree tree;
  tree.Attach(&side.tree);
  TreeSink sink(tree, options);
  Model model;
  LoadOutcome outcome;
  if (input.bytes) {
    side.bytes = *input.bytes;
    outcome = loadInput(input, model, &sink, nullptr, hugePageBlocks());
  } else if (side.image.read(input.path.c_str(), outcome.failure, hugePageBlocks())) {
    // The file is read once: the load walks these bytes and the content is compared in them.
    side.bytes = side.image.bytes();
    outcome = load(side.bytes, model, &sink, nullptr, std::nullopt, hugePageBlocks());
  }
  if (outcome.loaded) return true;
  if (!outcome.failure.hasOffset) {
    err.write(diagnosticLine(input.shown, issueOf(outcome.failure)));
    return false;
  }
  side.failure = outcome.failure;
  return true;
}

bool sameFailure(const LoadFailure& x, const LoadFailure& y) {
  return x.cause == y.cause && x.offset == y.offset && x.message == y.message;
}

// A failure as one difference: where, why, and in which chunks.
void reportFailure(const char* which, const LoadFailure& failure, DiffReport& report) {
  std::string text = std::string("the ") + which + " file fails to load at " +
                     hex8(failure.offset) + ": " + std::string(causeName(failure.cause));
  if (!failure.path.empty()) text += " in " + describePath(failure.path);
  report.add("", "failed", text + ": " + failure.message);
}

// What two loaded sides differ in; both failing alike is no difference.
void diffSides(const DiffRequest& request, DiffSide& a, DiffSide& b, DiffReport& report) {
  diffTrees(request, a, b, report);
  if (a.failure && b.failure && sameFailure(a.failure, b.failure)) return;
  if (a.failure) reportFailure("first", a.failure, report);
  if (b.failure) reportFailure("second", b.failure, report);
}

}  // namespace

// One pair of files, reported as one document or as lines and a count. `prefix` goes before
// every line (a pair's relative path in a folder run); -1 for a file that could not be read.
int diffPair(const DiffRequest& request, const Input& a, const Input& b, const std::string& prefix,
             Output& out, Output& err) {
  DiffSide sideA, sideB;
  if (!loadSide(request, a, sideA, err) || !loadSide(request, b, sideB, err)) return -1;
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
    DiffReport report(request.maxDifferences, out, &json);
    diffSides(request, sideA, sideB, report);
    json.endArray();
    json.key("count").number(report.count());
    json.key("truncated").boolean(report.count() > request.maxDifferences);
    json.endObject();
    json.finish();
    return report.count() == 0 ? 0 : 1;
  }
  DiffReport report(request.maxDifferences, out, nullptr, prefix);
  diffSides(request, sideA, sideB, report);
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
