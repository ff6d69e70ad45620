#include "export/model_export.h"

#include <new>
#include <system_error>
#include <utility>

#include "export/gltf_file.h"
#include "files/paths.h"
#include "model/model.h"

namespace kxm::gltf {

namespace {

namespace fs = std::filesystem;

bool fail(Export& done, const char* code, std::string message) {
  done.document.reset();
  done.failureCode = code;
  done.failure = std::move(message);
  return false;
}

bool outOfMemory(Export& done) {
  // The document is a few times the model; a model that only just loaded may not fit twice.
  return fail(done, "out-of-memory", "out of memory while exporting; nothing written");
}

}  // namespace

Export exportModel(const ModelLoad& loadModel, const ExportOptions& options) {
  Export done;
  try {
    Model model;
    model.keepNormals = true;     // a file's own normals, where it has them, keep it smooth
    model.keepForWriting = true;  // what glTF cannot hold goes into extras, for the way back
    done.load = loadModel(model);
    if (!done.load.loaded) return done;
    done.document = buildDocument(model, options, done.warnings);
  } catch (const std::bad_alloc&) {
    outOfMemory(done);
  }
  return done;
}

Export exportModel(std::span<const std::uint8_t> bytes, const ExportOptions& options) {
  return exportModel(
      [&](Model& model) {
        return load(bytes, model, nullptr, nullptr, std::nullopt, *options.blocks);
      },
      options);
}

bool writeGlb(Export& done, std::vector<std::uint8_t>& glb) {
  glb.clear();
  if (!done.ok() || !done.document) return false;
  std::string error;
  try {
    const bool written = glbBytes(*done.document, glb, error);
    done.document.reset();
    if (!written) return fail(done, "write-error", error);
  } catch (const std::bad_alloc&) {
    glb = {};
    return outOfMemory(done);
  }
  return true;
}

bool writeFiles(Export& done, const fs::path& out, bool binary) {
  if (!done.ok() || !done.document) return false;
  std::string error;
  try {
    std::error_code made;
    if (out.has_parent_path()) fs::create_directories(files::longPathForm(out.parent_path()), made);
    if (made) {
      return fail(done, "write-error",
                  files::textFromPath(out.parent_path()) + ": " + made.message());
    }
    const bool written = writeDocument(*done.document, out, binary, error);
    done.document.reset();
    if (!written) return fail(done, "write-error", error);
  } catch (const std::bad_alloc&) {
    return outOfMemory(done);
  }
  return true;
}

}  // namespace kxm::gltf
