#include "cli/check_command.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "cli/json_writer.h"
#include "model/model.h"
#include "reader/findings.h"
#include "reader/load.h"

namespace kxm {

namespace {

struct Issue {
  std::string code;
  bool error = false;
  bool hasOffset = true;
  std::uint32_t offset = 0;
  std::vector<ChunkRef> path;
  std::string message;
};

struct Stats {
  std::uint64_t chunks = 0, frames = 0, meshes = 0, vertices = 0, indices = 0, animationSets = 0;
};

struct FileReport {
  std::string path;
  const char* outcome = "loaded";
  std::vector<Issue> listed;  // in file order
  std::uint64_t errors = 0;
  std::uint64_t warnings = 0;
  Stats stats;
  bool truncated() const { return listed.size() < errors + warnings; }
};

// Counts every finding and keeps the first ones, up to the cap: a hostile file may have
// millions, and the check must cost no more than the load.
class Collector : public LoadObserver {
 public:
  Collector(FileReport& report, std::size_t cap) : report_(report), cap_(cap) {}
  void onFinding(Finding finding) override {
    ++report_.warnings;
    if (report_.listed.size() >= cap_) return;
    report_.listed.push_back({std::string(issueName(finding.code)), false, true, finding.offset,
                              std::move(finding.path), std::move(finding.message)});
  }
  bool wantsDetail() const override { return report_.listed.size() < cap_; }

 private:
  FileReport& report_;
  std::size_t cap_;
};

FileReport check(const std::string& path, std::size_t cap) {
  FileReport report;
  report.path = path;
  Collector collector(report, cap);
  // The walk is the viewer's; the tree is not needed for what it finds, so none is built.
  Model model;
  const LoadOutcome outcome = load(path.c_str(), model, nullptr, &collector);
  if (!outcome.loaded) {
    const LoadFailure& failure = outcome.failure;
    const bool missing =
        failure.cause == FailureCause::FileNotFound || failure.cause == FailureCause::NotAFile;
    report.outcome = missing ? "missing" : "failed";
    report.errors = 1;
    // The one error is always listed, whatever the cap.
    report.listed.push_back({std::string(causeName(failure.cause)), true, failure.hasOffset,
                             failure.offset, failure.path, failure.message});
  }
  std::stable_sort(report.listed.begin(), report.listed.end(), [](const Issue& a, const Issue& b) {
    return (a.hasOffset ? a.offset + 1ull : 0) < (b.hasOffset ? b.offset + 1ull : 0);
  });

  Stats& stats = report.stats;
  stats.chunks = outcome.usage.chunkHeads;
  stats.frames = model.frames.count();
  stats.animationSets = model.animationSets.count();
  for (std::size_t f = 0; f < model.frames.count(); ++f) {
    const Frame& frame = model.frames[f];
    stats.meshes += frame.meshes.count();
    for (std::size_t m = 0; m < frame.meshes.count(); ++m) {
      stats.vertices += static_cast<std::uint64_t>(frame.meshes[m].vertices.count());
      stats.indices += static_cast<std::uint64_t>(frame.meshes[m].indices.count());
    }
  }
  return report;
}

std::string plural(std::uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void printText(const FileReport& report, std::FILE* out) {
  for (const Issue& issue : report.listed) {
    std::string line = report.path;
    if (issue.hasOffset) {
      char offset[16];
      std::snprintf(offset, sizeof offset, ":0x%08X", static_cast<unsigned>(issue.offset));
      line += offset;
    }
    line += issue.error ? ": error: " : ": warning: ";
    line += issue.message + " [" + issue.code + "]";
    if (!issue.path.empty()) line += " in " + describePath(issue.path);
    std::fprintf(out, "%s\n", line.c_str());
  }
  std::string summary = report.path + ": " + plural(report.errors, "error", "errors") + ", " +
                        plural(report.warnings, "warning", "warnings");
  if (report.truncated()) {
    summary += " (" + std::to_string(report.errors + report.warnings - report.listed.size()) +
               " not listed)";
  }
  std::fprintf(out, "%s\n", summary.c_str());
}

void writeJson(JsonWriter& json, const FileReport& report) {
  json.beginObject();
  json.key("uri").string(report.path);
  json.key("outcome").string(report.outcome);
  json.key("issues").beginObject();
  json.key("numErrors").number(report.errors);
  json.key("numWarnings").number(report.warnings);
  json.key("truncated").boolean(report.truncated());
  json.key("messages").beginArray();
  for (const Issue& issue : report.listed) {
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
    failed = failed || report.errors > 0 || (request.strict && report.warnings > 0);
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
