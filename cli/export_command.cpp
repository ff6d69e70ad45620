#include "cli/export_command.h"

#include <map>
#include <system_error>

#include "cli/diagnostics.h"
#include "cli/huge_page_blocks.h"
#include "export/gltf_file.h"
#include "export/model_export.h"
#include "files/paths.h"
#include "model/model.h"
#include "text/format.h"
#include "textures/folder_images.h"

namespace kxm {

namespace {

namespace fs = std::filesystem;

void printWarnings(const ExportRequest& request, const Input& input, const gltf::Warnings& warnings,
                   Output& err) {
  if (request.quiet) return;
  std::string text;
  std::uint64_t said = 0, sayable = 0;
  for (const Severity severity : {Severity::Warning, Severity::Note}) {
    if (atLeast(severity, request.least)) sayable += warnings.count(severity);
  }
  for (const gltf::Warnings::Warning& warning : warnings.kept()) {
    const IssueKind& kind = issueKind(warning.code);
    if (!atLeast(kind.severity, request.least)) continue;
    text += diagnosticLine(input.shown,
                           {std::string(kind.name), kind.severity, false, 0, {}, warning.message});
    ++said;
  }
  if (sayable > said) {
    text += input.shown + ": " + std::to_string(sayable - said) + " more not shown\n";
  }
  err.write(text);
}

// What an export to `out` writes besides the main file: a .gltf's .bin.
std::vector<fs::path> filesWritten(const fs::path& out) {
  if (asciiLower(files::textFromPath(out.extension())) == ".glb") return {out};
  return {out, gltf::binaryPathFor(out)};
}

}  // namespace

bool sameFile(const fs::path& input, const fs::path& output) {
  std::error_code error;
  if (fs::equivalent(input, output, error)) return true;
  const fs::path a = fs::weakly_canonical(input, error);
  if (error) return false;
  const fs::path b = fs::weakly_canonical(output, error);
  return !error && a == b;
}

std::vector<fs::path> planOutputs(const std::vector<Input>& inputs, const std::string& output,
                                  const std::string& outDir, bool binary, std::string& error) {
  std::vector<fs::path> outputs;
  if (outDir.empty()) {
    const std::string ext =
        asciiLower(files::textFromPath(files::pathFromText(output).extension()));
    if (ext != ".glb" && ext != ".gltf") {
      error = output + ": the output must end in .glb or .gltf";
      return {};
    }
    outputs.assign(inputs.size(), files::pathFromText(output));
  } else {
    for (const Input& input : inputs) {
      fs::path out = files::pathFromText(outDir) / input.relative;
      out.replace_extension(binary ? ".glb" : ".gltf");
      outputs.push_back(out.lexically_normal());
    }
  }
  std::map<std::string, std::size_t> claimed;  // a written file's name, lowered: whose it is
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    for (const fs::path& written : filesWritten(outputs[i])) {
      if (!inputs[i].bytes && sameFile(files::pathFromText(inputs[i].path), written)) {
        error = inputs[i].shown + ": the output " + files::textFromPath(written) +
                " is the input; nothing written";
        return {};
      }
      // One name whichever separators it was written with.
      const fs::path named = fs::path(written).make_preferred();
      const auto [at, fresh] = claimed.emplace(asciiLower(files::textFromPath(named)), i);
      if (!fresh && at->second != i) {
        error = files::textFromPath(written) + ": both " + inputs[at->second].shown + " and " +
                inputs[i].shown + " would be written here; nothing written";
        return {};
      }
    }
  }
  return outputs;
}

Tally exportFile(const ExportRequest& request, const Input& input, const fs::path& output,
                 Output& err) {
  Tally tally;
  tally.files = 1;
  tally.failed = 1;
  tally.failedRun = true;
  FolderImages images(textureFoldersFor(input, request.textureDirs, request.folders));
  gltf::ExportOptions options;
  options.ticksPerSecond = request.ticksPerSecond;
  options.images = &images;
  options.generator = request.generator;
  options.blocks = &hugePageBlocks();
  gltf::Export done = gltf::exportModel(
      [&](Model& model) { return loadInput(input, model, nullptr, nullptr, hugePageBlocks()); },
      options);
  if (!done.load.loaded) {
    err.write(diagnosticLine(input.shown, issueOf(done.load.failure)));
    tally.errors = 1;
    return tally;
  }
  printWarnings(request, input, done.warnings, err);
  if (!done.ok() ||
      !gltf::writeFiles(done, output,
                        asciiLower(files::textFromPath(output.extension())) == ".glb")) {
    err.write(diagnosticLine(input.shown,
                             {done.failureCode, Severity::Error, false, 0, {}, done.failure}));
    tally.errors = 1;
    return tally;
  }
  tally.loaded = 1;
  tally.failed = 0;
  tally.failedRun = false;
  tally.warnings =
      atLeast(Severity::Warning, request.least) ? done.warnings.count(Severity::Warning) : 0;
  tally.notes = atLeast(Severity::Note, request.least) ? done.warnings.count(Severity::Note) : 0;
  tally.withWarnings = tally.warnings > 0 ? 1 : 0;
  return tally;
}

}  // namespace kxm
