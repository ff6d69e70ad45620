#include "cli/export_command.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <system_error>

#include "cli/load_model.h"
#include "cli/texture_files.h"
#include "export/gltf_export.h"
#include "export/gltf_file.h"
#include "image/image.h"
#include "model/model.h"

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

// Texture images from disk, found by the rules of cli/texture_files.h and turned into PNG
// where glTF cannot take them as they are.
class DiskImages final : public gltf::ImageResolver {
 public:
  explicit DiskImages(TextureFolders folders) : folders_(std::move(folders)) {}

  std::optional<gltf::ResolvedImage> resolve(std::string_view name, const std::string& what,
                                             gltf::Warnings& warnings) override {
    const TextureFile file = findTexture(folders_, name);
    if (file.match == TextureFile::Match::None) {
      warnings.add(IssueCode::TextureMissing, what + ": " + file.why + "; not referenced");
      return std::nullopt;
    }
    const std::string& shown = file.shown;
    if (file.match == TextureFile::Match::OtherExtension) {
      warnings.add(IssueCode::TextureSubstituted, what + ": not found; " + shown + " stands in");
    }
    std::vector<std::uint8_t> bytes;
    if (!read(file.path, bytes)) {
      warnings.add(IssueCode::TextureUnreadable,
                   what + ": " + shown + " cannot be read; not referenced");
      return std::nullopt;
    }
    image::Prepared prepared = image::prepareForGltf(bytes, file.path.filename().string());
    if (prepared.status != image::Status::Ok) {
      warnings.add(IssueCode::TextureUnreadable,
                   what + ": " + shown + ": " + prepared.detail + "; not referenced");
      return std::nullopt;
    }
    std::string fileName = file.path.filename().string();
    if (prepared.converted) {
      warnings.add(IssueCode::TextureConverted,
                   what + ": " + shown + " (" + prepared.detail + ") converted to PNG");
      fileName = file.path.stem().string() + ".png";
    }
    return gltf::ResolvedImage{fileName, prepared.mimeType, std::move(prepared.bytes)};
  }

 private:
  static bool read(const fs::path& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
  }

  TextureFolders folders_;
};

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
  DiskImages images(folders);
  gltf::ExportOptions options;
  options.ticksPerSecond = request.ticksPerSecond;
  options.images = &images;
  options.generator = request.generator;
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
