#include "cli/repair_command.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/export_command.h"
#include "files/paths.h"
#include "format/chunk_catalogue.h"
#include "format/little_endian.h"
#include "format/record_layouts.h"
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
  SinkNode chunk(SinkNode, const ChunkHead& head, const ChunkValue&,
                 const RecordStart& record) override {
    note(head, record);
    return 0;
  }
  void end(SinkNode, const ChunkHead&, EndKind, const char*) override {}
  void frameNamed(SinkNode, std::uint32_t, bool, const char*) override {}

  std::map<std::uint32_t, RecordStart> at;

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

// The indices a mesh's index data chunk at `at` holds before the file ends: its payload as far
// as the file goes, bounded by the chunk's own length, so by the file.
std::vector<std::uint32_t> indicesBeforeTheCut(const std::filesystem::path& in, std::uint32_t at) {
  std::ifstream file(in, std::ios::binary | std::ios::ate);
  const std::streamoff size = file ? static_cast<std::streamoff>(file.tellg()) : 0;
  std::uint8_t head[8];
  if (size < std::streamoff{at} + 8 || !file.seekg(at) ||
      !file.read(reinterpret_cast<char*>(head), sizeof head)) {
    return {};
  }
  const auto left = static_cast<std::uint64_t>(size - (std::streamoff{at} + 8));
  const std::uint64_t bytes = std::min<std::uint64_t>(loadU32Le(head + 4), left);
  std::vector<std::uint8_t> payload(static_cast<std::size_t>(bytes));
  if (!file.read(reinterpret_cast<char*>(payload.data()), static_cast<std::streamsize>(bytes))) {
    return {};
  }
  std::vector<std::uint32_t> indices(payload.size() / layout::kIndex.size);
  for (std::size_t k = 0; k < indices.size(); ++k) {
    indices[k] = loadU16Le(payload.data() + k * layout::kIndex.size);
  }
  return indices;
}

// How many of `n` indices draw whole triangles: the list's whole threes, a strip's or fan's all
// from the third on; 0 for other primitives.
std::size_t wholeTriangleIndices(std::int32_t primitiveType, std::size_t n) {
  if (primitiveType == 4) return n / 3 * 3;
  if (primitiveType == 5 || primitiveType == 6) return n >= 3 ? n : 0;
  return 0;
}

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
          if (keepWholeTriangles(failure, lastMesh(model.frames[record.owner]), *ref, at)) {
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

  // A mesh cut in its index data, after whole vertices, keeps the whole triangles read before
  // the cut. Its primitive type comes after its indices where our writer writes it: a mesh cut
  // before it is taken for the commonest, a triangle list, and the warning says so.
  bool keepWholeTriangles(const LoadFailure& failure, Mesh& mesh, const ChunkRef& meshRef,
                          const std::string& at) {
    const ChunkRef* chunk = failure.chunk();
    if (chunk == nullptr || chunk->code != chunk::MeshIndexData || mesh.vertices.empty()) {
      return false;
    }
    const bool typed = mesh.primitiveType != 0;
    const std::int32_t type = typed ? mesh.primitiveType : 4;
    std::vector<std::uint32_t> read = indicesBeforeTheCut(input, chunk->offset);
    const std::size_t kept = wholeTriangleIndices(type, read.size());
    for (std::size_t i = 0; i < kept; ++i) {
      if (read[i] >= static_cast<std::uint32_t>(mesh.vertices.count())) return false;
    }
    if (kept == 0 || !mesh.indices.allocate(static_cast<std::int32_t>(kept))) return false;
    std::copy(read.begin(), read.begin() + static_cast<std::ptrdiff_t>(kept), mesh.indices.begin());
    mesh.primitiveType = type;
    const std::size_t triangles = type == 4 ? kept / 3 : kept - 2;
    warn(IssueCode::PartCutShort, meshRef.offset,
         meshRef.name + ": cut off" + at + " in its index data; kept with its " +
             std::to_string(triangles) + " whole triangle(s) read before" +
             (typed ? "" : ", as a triangle list: its primitive type lay past the cut"));
    return true;
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
