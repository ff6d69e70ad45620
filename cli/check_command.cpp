#include "cli/check_command.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "cli/diagnostics.h"
#include "cli/huge_page_blocks.h"
#include "cli/json_writer.h"
#include "model/model.h"
#include "model/summary.h"
#include "text/format.h"
#include "reader/findings.h"
#include "reader/load.h"

namespace kxm {

namespace {

struct Stats {
  std::uint64_t chunks = 0, frames = 0, meshes = 0, vertices = 0, indices = 0, animationSets = 0;
};

struct FileReport {
  std::string path;
  const char* outcome = "loaded";
  IssueList issues;
  Stats stats;
  explicit FileReport(std::size_t cap) : issues(cap) {}
};

FileReport check(const Input& input, std::size_t cap) {
  FileReport report(cap);
  report.path = input.shown;
  // The walk is the viewer's; the tree is not needed for what it finds, so none is built.
  Model model;
  const LoadOutcome outcome = loadInput(input, model, nullptr, &report.issues, hugePageBlocks());
  report.outcome = outcomeName(outcome);
  report.issues.finish(outcome.failure);

  const ModelStats counted = statsOf(model);
  report.stats = {outcome.usage.chunkHeads, counted.frames,   counted.meshes,
                  counted.vertices,         counted.indices,  counted.animationSets};
  return report;
}

void printText(const FileReport& report, bool quiet, Output& out) {
  std::string text;
  for (const ListedIssue& issue : report.issues.listed) text += diagnosticLine(report.path, issue);
  const std::uint64_t found = report.issues.errors + report.issues.warnings;
  if (!quiet || found > 0) {
    text += report.path + ": " + plural(report.issues.errors, "error", "errors") + ", " +
            plural(report.issues.warnings, "warning", "warnings");
    if (report.issues.truncated()) {
      text += " (" + std::to_string(found - report.issues.listed.size()) + " not listed)";
    }
    text += '\n';
  }
  out.write(text);
}

void writeJson(JsonWriter& json, const FileReport& report) {
  json.beginObject();
  writeDocumentHead(json, report.path);
  json.key("outcome").string(report.outcome);
  json.key("issues").beginObject();
  json.key("numErrors").number(report.issues.errors);
  json.key("numWarnings").number(report.issues.warnings);
  json.key("truncated").boolean(report.issues.truncated());
  json.key("messages").beginArray();
  for (const ListedIssue& issue : report.issues.listed) {
    json.beginObject();
    json.key("code").string(issue.code);
    json.key("severity").string(issue.error ? "error" : "warning");
    json.key("offset");
    if (issue.hasOffset) {
      json.number(std::uint64_t{issue.offset});
    } else {
      json.null();
    }
    json.key("chunk");
    if (issue.path.empty()) {
      json.null();
    } else {
      writeJson(json, issue.path.back());
    }
    json.key("path").beginArray();
    for (const ChunkRef& ref : issue.path) writeJson(json, ref);
    json.endArray();
    json.key("message").string(issue.message);
    json.endObject();
  }
  json.endArray();
  json.endObject();
  const Stats& s = report.stats;
  json.key("stats").beginObject();
  json.key("chunks").number(s.chunks);
  json.key("frames").number(s.frames);
  json.key("meshes").number(s.meshes);
  json.key("vertices").number(s.vertices);
  json.key("indices").number(s.indices);
  json.key("animationSets").number(s.animationSets);
  json.endObject();
  json.endObject();
}

}  // namespace

Tally checkFile(const CheckRequest& request, std::size_t index, const Input& input, Output& out) {
  const FileReport report = check(input, request.maxIssues);
  if (request.json) {
    if (index > 0) out.write(",");
    JsonWriter json(out);
    writeJson(json, report);
  } else {
    printText(report, request.quiet, out);
  }
  Tally tally;
  tally.files = 1;
  const bool loaded = std::string_view(report.outcome) == "loaded";
  tally.loaded = loaded ? 1 : 0;
  tally.failed = loaded ? 0 : 1;
  tally.errors = report.issues.errors;
  tally.warnings = report.issues.warnings;
  tally.withWarnings = report.issues.warnings > 0 ? 1 : 0;
  tally.failedRun = report.issues.errors > 0 || (request.strict && report.issues.warnings > 0);
  return tally;
}

}  // namespace kxm
