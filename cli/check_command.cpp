#include "cli/check_command.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

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

FileReport check(const std::string& path, std::size_t cap) {
  FileReport report(cap);
  report.path = path;
  // The walk is the viewer's; the tree is not needed for what it finds, so none is built.
  Model model;
  const LoadOutcome outcome =
      load(path.c_str(), model, nullptr, &report.issues, std::nullopt, hugePageBlocks());
  report.outcome = outcomeName(outcome);
  report.issues.finish(outcome.failure);

  const ModelStats counted = statsOf(model);
  report.stats = {outcome.usage.chunkHeads, counted.frames,   counted.meshes,
                  counted.vertices,         counted.indices,  counted.animationSets};
  return report;
}

void printText(const FileReport& report, std::FILE* out) {
  for (const ListedIssue& issue : report.issues.listed) {
    std::string line = report.path;
    if (issue.hasOffset) {
      line += ':';
      line += hex8(issue.offset);
    }
    line += issue.error ? ": error: " : ": warning: ";
    line += issue.message + " [" + issue.code + "]";
    if (!issue.path.empty()) line += " in " + describePath(issue.path);
    std::fprintf(out, "%s\n", line.c_str());
  }
  std::string summary = report.path + ": " + plural(report.issues.errors, "error", "errors") + ", " +
                        plural(report.issues.warnings, "warning", "warnings");
  if (report.issues.truncated()) {
    summary += " (" + std::to_string(report.issues.errors + report.issues.warnings - report.issues.listed.size()) +
               " not listed)";
  }
  std::fprintf(out, "%s\n", summary.c_str());
}

void writeJson(JsonWriter& json, const FileReport& report) {
  json.beginObject();
  json.key("uri").string(report.path);
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

int runCheck(const CheckRequest& request, std::FILE* out) {
  bool failed = false;
  JsonWriter json(out);
  if (request.json) json.beginArray();
  for (const std::string& path : request.files) {
    const FileReport report = check(path, request.maxIssues);
    failed = failed || report.issues.errors > 0 || (request.strict && report.issues.warnings > 0);
    if (request.json) {
      writeJson(json, report);
    } else {
      printText(report, out);
    }
  }
  if (request.json) {
    json.endArray();
    json.finish();
  }
  return failed ? 1 : 0;
}

}  // namespace kxm
