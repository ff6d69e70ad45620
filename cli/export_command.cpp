#include "cli/export_command.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <system_error>

#include "cli/huge_page_blocks.h"
#include "cli/load_model.h"
#include "export/gltf_export.h"
#include "export/gltf_file.h"
#include "model/model.h"
#include "textures/folder_images.h"

namespace kxm {

namespace {

namespace fs = std::filesystem;

std::string lowerExtension(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  });
  return ext;
}

void printWarnings(const ExportRequest& request, const gltf::Warnings& warnings, std::FILE* err) {
  if (request.quiet) return;
  for (const gltf::Warnings::Warning& warning : warnings.kept()) {
    std::fprintf(err, "%s: warning: %s [%s]\n", request.input.c_str(), warning.message.c_str(),
                 std::string(issueName(warning.code)).c_str());
  }
  if (warnings.count() > warnings.kept().size()) {
    std::fprintf(err, "%s: %llu more warnings not shown\n", request.input.c_str(),
                 static_cast<unsigned long long>(warnings.count() - warnings.kept().size()));
  }
}

// Whether writing `output` would write over `input`: the same path, or the same file by another.
bool sameFile(const fs::path& input, const fs::path& output) {
  std::error_code error;
  if (fs::equivalent(input, output, error)) return true;
  const fs::path a = fs::weakly_canonical(input, error);
  if (error) return false;
  const fs::path b = fs::weakly_canonical(output, error);
  return !error && a == b;
}

}  // namespace

int runExport(const ExportRequest& request, std::FILE* err) {
  const fs::path out(request.output);
  const std::string ext = lowerExtension(out);
  if (ext != ".glb" && ext != ".gltf") {
    std::fprintf(err, "kxm: %s: the output must end in .glb or .gltf\n", request.output.c_str());
    return 2;
  }
  const bool binary = ext == ".glb";
  const fs::path input(request.input);
  for (const fs::path& written : {out, binary ? out : gltf::binaryPathFor(out)}) {
    if (sameFile(input, written)) {
      std::fprintf(err, "kxm: %s: the output %s is the input; nothing written\n",
                   request.input.c_str(), written.string().c_str());
      return 2;
    }
  }

  Model model;
  model.keepNormals = true;
  if (!loadModelOrExplain(request.input, model, err)) return 1;

  TextureFolders folders{input.parent_path(), {}};
  for (const std::string& dir : request.textureDirs) folders.extra.emplace_back(dir);
  FolderImages images(folders);
  gltf::ExportOptions options;
  options.ticksPerSecond = request.ticksPerSecond;
  options.images = &images;
  options.generator = request.generator;
  options.blocks = &hugePageBlocks();
  gltf::Warnings warnings;
  std::string error;
  try {
    gltf::Document doc = gltf::buildDocument(model, options, warnings);
    model.clearModel();  // the document holds what it needs; the model's memory goes now
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
