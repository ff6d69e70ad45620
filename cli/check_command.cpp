#include "cli/check_command.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "cli/diagnostics.h"
#include "cli/huge_page_blocks.h"
#include "cli/json_writer.h"
#include "model/model.h"
#include "model/summary.h"
#include "reader/findings.h"
#include "reader/load.h"
#include "text/format.h"

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
  FileReport(std::size_t cap, Severity least) : issues(cap, least) {}
};

FileReport check(const Input& input, std::size_t cap, Severity least) {
  FileReport report(cap, least);
  report.path = input.shown;
  // The walk is the viewer's; the tree is not needed for what it finds, so none is built.
  Model model;
  const LoadOutcome outcome = loadInput(input, model, nullptr, &report.issues, hugePageBlocks());
  report.outcome = outcomeName(outcome);
  report.issues.finish(outcome.failure);

  const ModelStats counted = statsOf(model);
  report.stats = {outcome.usage.chunkHeads, counted.frames,  counted.meshes,
                  counted.vertices,         counted.indices, counted.animationSets};
  return report;
}

void printText(const FileReport& report, const CheckRequest& request, Output& out) {
  if (request.failedOnly) {
    // A file that failed is said by its first error; the rest of what is wrong is a plain
    // check's to list.
    if (const ListedIssue* first = report.issues.firstError()) {
      out.write(diagnosticLine(report.path, *first));
    }
    return;
  }
  std::string text;
  for (const ListedIssue& issue : report.issues.listed) text += diagnosticLine(report.path, issue);
  const IssueList& issues = report.issues;
  const std::uint64_t found = issues.errors + issues.warnings + issues.notes;
  if (!request.quiet || found > 0) {
    text += report.path + ": " + plural(issues.errors, "error", "errors") + ", " +
            plural(issues.warnings, "warning", "warnings");
    if (issues.notes > 0) text += ", " + plural(issues.notes, "note", "notes");
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
  json.key("numNotes").number(report.issues.notes);
  json.key("truncated").boolean(report.issues.truncated());
  json.key("messages").beginArray();
  for (const ListedIssue& issue : report.issues.listed) {
    json.beginObject();
    json.key("code").string(issue.code);
    json.key("severity").string(severityName(issue.severity));
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
  const FileReport report = check(input, request.maxIssues, request.least);
  if (request.json) {
    if (index > 0) out.write(",");
    JsonWriter json(out);
    writeJson(json, report);
  } else {
    printText(report, request, out);
  }
  Tally tally;
  tally.files = 1;
  const bool loaded = std::string_view(report.outcome) == "loaded";
  tally.loaded = loaded ? 1 : 0;
  tally.failed = loaded ? 0 : 1;
  tally.errors = report.issues.errors;
  tally.warnings = report.issues.warnings;
  tally.notes = report.issues.notes;
  tally.withWarnings = report.issues.warnings > 0 ? 1 : 0;
  tally.failedRun = report.issues.errors > 0 || (request.strict && report.issues.warnings > 0);
  return tally;
}

}  // namespace kxm
