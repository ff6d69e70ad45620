#include "cli/export_command.h"

#include <algorithm>
#include <filesystem>
#include <new>

#include "cli/load_model.h"
#include "export/gltf_export.h"
#include "export/gltf_file.h"
#include "model/model.h"

namespace kxm {

namespace {

std::string lowerExtension(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  });
  return ext;
}

void printWarnings(const ExportRequest& request, const gltf::Warnings& warnings, std::FILE* err) {
  if (request.quiet) return;
  for (const std::string& text : warnings.kept()) {
    std::fprintf(err, "kxm: warning: %s: %s\n", request.input.c_str(), text.c_str());
  }
  if (warnings.count() > warnings.kept().size()) {
    std::fprintf(err, "kxm: warning: %s: %llu more warnings not shown\n", request.input.c_str(),
                 static_cast<unsigned long long>(warnings.count() - warnings.kept().size()));
  }
}

}  // namespace

int runExport(const ExportRequest& request, std::FILE* err) {
  const std::filesystem::path out(request.output);
  const std::string ext = lowerExtension(out);
  if (ext != ".glb" && ext != ".gltf") {
    std::fprintf(err, "kxm: %s: the output must end in .glb or .gltf\n", request.output.c_str());
    return 2;
  }
  const bool binary = ext == ".glb";

  Model model;
  if (!loadModelOrExplain(request.input, model, err)) return 1;

  gltf::ExportOptions options;
  options.ticksPerSecond = request.ticksPerSecond;
  options.inputFolder = std::filesystem::path(request.input).parent_path();
  if (!binary) options.binaryUri = gltf::uriOf(gltf::binaryPathFor(out).filename().string());
  options.generator = request.generator;
  gltf::Warnings warnings;
  std::string error;
  try {
    const gltf::Document doc = gltf::buildDocument(model, options, warnings);
    model.clearModel();
    printWarnings(request, warnings, err);
    if (!gltf::writeDocument(doc, out, binary, error)) {
      std::fprintf(err, "kxm: %s\n", error.c_str());
      return 1;
    }
  } catch (const std::bad_alloc&) {
    // The document is a few times the model; a model that only just loaded may not fit twice.
    model.clearModel();
    printWarnings(request, warnings, err);
    std::fprintf(err, "kxm: %s: out of memory while exporting; nothing written\n",
                 request.input.c_str());
    return 1;
  }
  return 0;
}

}  // namespace kxm
