#include "cli/repair_command.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/export_command.h"
#include "cli/repair_meshes.h"
#include "files/paths.h"
#include "format/chunk_catalogue.h"
#include "reader/load.h"
#include "writer/kxm_file.h"

namespace kxm {

namespace {

// Where each frame, mesh and animation set began: a failure's chain of chunks says which of
// them the failure cut off.
class RecordStarts final : public ChunkSink {
 public:
  void headerField(std::uint32_t, const char*, const ChunkValue&) override {}
  SinkNode topLevelChunk(SinkRoot, const ChunkHead& head, const RecordStart& record) override {
    note(head, record);
    return 0;
  }
  SinkNode chunk(SinkNode, const ChunkHead& head, const ChunkValue& value,
                 const RecordStart& record) override {
    note(head, record);
    if (record.kind == RecordStart::Kind::Mesh) indexCount = -1;
    if (head.code == chunk::MeshIndexCount && value.kind == ChunkValue::Kind::Integer) {
      indexCount = static_cast<std::uint32_t>(value.integer);  // a count is unsigned
    }
    return 0;
  }
  void end(SinkNode, const ChunkHead&, EndKind, const char*) override {}
  void frameNamed(SinkNode, std::uint32_t, bool, const char*) override {}

  std::map<std::uint32_t, RecordStart> at;
  std::int64_t indexCount = -1;  // the last mesh's, where its count chunk was read

 private:
  void note(const ChunkHead& head, const RecordStart& record) {
    if (record.kind != RecordStart::Kind::None) at[head.offset] = record;
  }
};

// Findings of the load, kept whole: the rewrite settles some, says which.
class Findings final : public LoadObserver {
 public:
  void onFinding(Finding finding) override { found.push_back(std::move(finding)); }
  std::vector<Finding> found;
};

Mesh& lastMesh(Frame& frame) {
  return frame.meshes[frame.meshes.count() - 1];
}

struct Repair {
  std::filesystem::path input;
  Model model;
  std::vector<ListedIssue> warnings;
  std::size_t leftOut = 0, cutShort = 0, settled = 0;

  void warn(IssueCode code, std::uint32_t offset, std::string message) {
    warnings.push_back(
        {std::string(issueName(code)), Severity::Warning, true, offset, {}, std::move(message)});
  }

  // The records the failure was inside: frames kept as read, the mesh and the set left out.
  void trim(const LoadFailure& failure, const RecordStarts& starts) {
    char offset[16];
    std::snprintf(offset, sizeof offset, "0x%08X", static_cast<unsigned>(failure.offset));
    const std::string at = std::string(" at ") + offset;
    for (auto ref = failure.path.rbegin(); ref != failure.path.rend(); ++ref) {
      const auto found = starts.at.find(ref->offset);
      if (found == starts.at.end()) continue;
      const RecordStart& record = found->second;
      const std::string what =
          ref->name + (ref->hasObjectName ? " \"" + ref->objectName + "\"" : "");
      switch (record.kind) {
        case RecordStart::Kind::Frame:
          warn(IssueCode::PartCutShort, ref->offset,
               what + ": cut off" + at + "; kept with what was read before");
          ++cutShort;
          break;
        case RecordStart::Kind::Mesh:
          if (const auto kept = keepWholeTriangles(
                  input, failure, static_cast<std::size_t>(failure.path.rend() - ref - 1),
                  starts.indexCount, lastMesh(model.frames[record.owner]), at)) {
            warn(IssueCode::PartCutShort, ref->offset, ref->name + ": " + *kept);
            ++cutShort;
            break;
          }
          model.frames[record.owner].meshes.removeLast();
          warn(IssueCode::PartLeftOut, ref->offset, what + ": cut off" + at + "; left out");
          ++leftOut;
          break;
        case RecordStart::Kind::AnimationSet:
          model.animationSets.removeLast();
          warn(IssueCode::PartLeftOut, ref->offset, what + ": cut off" + at + "; left out");
          ++leftOut;
          break;
        default: break;  // an animation goes with its set
      }
    }
    warn(IssueCode::PartLeftOut, failure.offset,
         "the file from here on could not be read (" + describeFailure(failure) + "); left out");
    ++leftOut;
  }

  void settle(const std::vector<Finding>& found) {
    for (const Finding& finding : found) {
      if (!settledByWriting(finding.code)) continue;
      warn(IssueCode::WrittenAnew, finding.offset,
           std::string(issueName(finding.code)) + ": " + finding.message + "; written anew");
      ++settled;
    }
  }
};

}  // namespace

int repairFile(const std::filesystem::path& in, const std::filesystem::path& out, bool quiet,
               Output& outStream, Output& err) {
  const std::string shown = files::textFromPath(in);
  if (sameFile(in, out)) {
    err.write("kxm: " + shown + ": the output " + files::textFromPath(out) +
              " is the input; nothing written\n");
    return 2;
  }
  Repair repair;
  repair.input = in;
  repair.model.keepNormals = repair.model.keepForWriting = true;
  RecordStarts starts;
  Findings findings;
  const LoadOutcome outcome = load(shown.c_str(), repair.model, &starts, &findings);
  repair.settle(findings.found);
  if (outcome.loaded && repair.settled == 0) {
    outStream.write(shown + ": nothing to repair\n");
    return 0;
  }
  const FailureCause cause = outcome.failure.cause;
  if (!outcome.loaded &&
      (repair.model.empty() || cause == FailureCause::FileNotFound ||
       cause == FailureCause::NotAFile || cause == FailureCause::ReadError ||
       cause == FailureCause::BadHeader || cause == FailureCause::FileTooLarge)) {
    err.write(diagnosticLine(shown, issueOf(outcome.failure)));
    return 1;  // nothing of it loaded: nothing to write
  }
  if (!outcome.loaded) repair.trim(outcome.failure, starts);
  std::string error;
  if (!saveKxm(repair.model, out, error)) {
    err.write(diagnosticLine(shown, {"write-error", Severity::Error, false, 0, {}, error}));
    return 1;
  }
  if (!quiet) {
    std::string text;
    for (const ListedIssue& warning : repair.warnings) text += diagnosticLine(shown, warning);
    err.write(text);
  }
  outStream.write(shown + ": written to " + files::textFromPath(out) + "; " +
                  std::to_string(repair.leftOut) + " left out, " + std::to_string(repair.cutShort) +
                  " cut short, " + std::to_string(repair.settled) + " written anew\n");
  return 0;
}

}  // namespace kxm
