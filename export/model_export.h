// The one export of a file, as every front end makes it: the file's bytes loaded with the
// normals they carry, the model built into a glTF document with the images a resolver finds,
// and the document written out as a GLB in memory (the browser's 3D view and download) or as
// files (kxm export). One way through, so the same bytes and images give the same GLB wherever
// they are exported.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "export/gltf_export.h"
#include "reader/load.h"

namespace kxm::gltf {

struct Export {
  LoadOutcome load;  // nothing is built from a file that did not load whole
  Warnings warnings;
  std::optional<Document> document;  // built, until it is written
  // Why the export failed after the load: the code ("out-of-memory", "write-error") and what
  // to say. Empty while it has not.
  const char* failureCode = "";
  std::string failure;

  bool ok() const { return load.loaded && failure.empty(); }
};

// Loads a file's bytes into the model it is given (emptied first): a caller that reads a file
// from disk lets its bytes go once they are loaded.
using ModelLoad = std::function<LoadOutcome(Model&)>;

// Loads through `loadModel` and builds the document; the model is let go before this returns.
Export exportModel(const ModelLoad& loadModel, const ExportOptions& options);
// Loads `bytes` (with the arrays from options.blocks) and builds the document.
Export exportModel(std::span<const std::uint8_t> bytes, const ExportOptions& options);

// The document as a GLB into `glb`; false with the failure said in `done`. The document is let
// go either way.
bool writeGlb(Export& done, std::vector<std::uint8_t>& glb);
// The document written to `out` (its folders made as needed), a GLB when `binary`, else a
// .gltf with what goes beside it; false with the failure said in `done`. The document is let go
// either way.
bool writeFiles(Export& done, const std::filesystem::path& out, bool binary);

}  // namespace kxm::gltf
