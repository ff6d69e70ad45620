// A glTF 2.0 file (.glb, or .gltf with what it names beside it) as our model: nodes become
// frames, each mesh primitive a mesh with the smallest vertex format that holds its attributes,
// skins bones, animations animation sets, and every number is turned from glTF's space back into
// the file's (the mirror of z, the turn of triangles and the ticks per second of kxm export).
// What kxm export keeps in extras (the whole material, the texture names) comes back as it was.
//
// The file is hostile until checked: a document that is not valid glTF is refused with the JSON
// pointer of its fault, every count and offset is checked against the bytes that hold it before
// anything is allocated, and no file outside the input's folder is read. What the model has no
// place for (cameras, lights, morph targets, texture sets past two) is left out with a warning.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "format/issue_codes.h"
#include "model/block.h"
#include "model/model.h"

namespace kxm {

// The files a texture's image is written as: as the glTF holds it (PNG or JPEG), or converted.
enum class TextureFormat { Keep, Png, Bmp, Tga, Dds };

struct ImportOptions {
  double ticksPerSecond = 1000;  // key times are ticks: seconds × this, as kxm export divides
  TextureFormat textures = TextureFormat::Keep;
  // The most bytes one input (and each file it names) may have; past it the input is refused.
  std::uint64_t maxFileBytes = std::uint64_t{1} << 31;
  // Where the input's bytes and the model's vertex arrays come from (kxm asks for huge pages, as
  // its load does); null: calloc and free.
  const BlockSource* blocks = nullptr;
};

// What the import left out or changed, each with its code; the first ones kept, all counted.
class ImportWarnings {
 public:
  struct Warning {
    IssueCode code;
    std::string message;
  };
  static constexpr std::size_t kKept = 1000;
  void add(IssueCode code, std::string message) {
    if (kept_.size() < kKept) kept_.push_back({code, std::move(message)});
    ++count_;
  }
  const std::vector<Warning>& kept() const { return kept_; }
  std::uint64_t count() const { return count_; }

 private:
  std::vector<Warning> kept_;
  std::uint64_t count_ = 0;
};

// A texture's image, to be written beside the KXM file under `name` (the name a mesh's texture
// list gives it: a plain file name, never a path).
struct ImportedImage {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

struct Imported {
  Model model;
  std::vector<ImportedImage> textures;
  std::vector<std::filesystem::path>
      read;  // the files beside the input that it named and were read
};

// Reads `in` into `out` (emptied first); false with the reason in `error` ("/accessors/2/count:
// ..." where the document is at fault). Normals are kept (model.keepNormals).
bool importGltf(const std::filesystem::path& in, const ImportOptions& options, Imported& out,
                ImportWarnings& warnings, std::string& error);

// The same from bytes in memory: a GLB, or a .gltf's JSON whose outside files are looked for in
// `folder` (none when it is empty).
bool importGltfBytes(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& folder,
                     const ImportOptions& options, Imported& out, ImportWarnings& warnings,
                     std::string& error);

}  // namespace kxm
