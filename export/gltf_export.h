// The model as a glTF 2.0 document: nodes from frames, meshes with their primitives, materials,
// textures, skins from bones and animations from animation sets, every number turned from the
// file's space into glTF's (export/space.h). What cannot be written as the file has it is left
// out or repaired and said in a warning; nothing a file holds makes the document invalid.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/model.h"

namespace kxm::gltf {

struct ExportOptions {
  double ticksPerSecond = 1000;       // key times are ticks; seconds = ticks / this
  std::filesystem::path inputFolder;  // where texture images are looked for
  std::string binaryUri;              // the .bin's URI for a .gltf; empty for a GLB
  std::string generator = "kxm";      // asset.generator: the tool's name and version
};

// What the export left out or repaired. A hostile file can make millions, so the first ones are
// kept and the rest only counted.
class Warnings {
 public:
  static constexpr std::size_t kKept = 1000;
  void add(std::string text);
  const std::vector<std::string>& kept() const { return kept_; }
  std::uint64_t count() const { return count_; }

 private:
  std::vector<std::string> kept_;
  std::uint64_t count_ = 0;
};

// An image to copy beside the output: from its place beside the input, under a file name.
struct ImageCopy {
  std::filesystem::path from;
  std::string fileName;
};

// The bytes of one buffer view, padded with zeros to a multiple of 4 so that the next view
// starts aligned. They come from the block source (model/block.h), as the model's arrays do:
// kxm asks for huge pages there, and a million vertices are a few dozen megabytes whose page
// faults would otherwise cost more than writing them. Throws std::bad_alloc when memory runs
// out.
class Piece {
 public:
  explicit Piece(std::size_t used);
  Piece(Piece&& other) noexcept
      : size_(std::exchange(other.size_, 0)),
        used_(std::exchange(other.used_, 0)),
        bytes_(std::exchange(other.bytes_, nullptr)) {}
  Piece(const Piece&) = delete;
  Piece& operator=(const Piece&) = delete;
  Piece& operator=(Piece&&) = delete;
  ~Piece();

  // The bytes as values of T: a block from the source provides storage for them.
  template <class T>
  T* as() {
    return static_cast<T*>(bytes_);
  }
  const unsigned char* data() const { return static_cast<const unsigned char*>(bytes_); }
  std::size_t size() const { return size_; }  // with the padding
  std::size_t used() const { return used_; }

 private:
  std::size_t size_;
  std::size_t used_;
  void* bytes_;
};

struct Document {
  nlohmann::ordered_json json;
  // The binary buffer in pieces, one per buffer view, in buffer order.
  std::vector<Piece> binary;
  std::uint64_t binaryLength = 0;
  std::vector<ImageCopy> images;
};

Document buildDocument(const Model& model, const ExportOptions& options, Warnings& warnings);

// A name's bytes as UTF-8, each byte the code point of its value, so every byte comes back.
std::string nameToUtf8(const char* name);

// Where a texture's image is looked for: beside the input, a name with `\` read as a path with
// `/`. Nothing for a name that is empty, absolute, on a drive or climbs out with `..`.
std::optional<std::filesystem::path> imageBeside(const std::filesystem::path& folder,
                                                 std::string_view name);

// A file name as a relative URI: bytes other than letters, digits and -._~ percent-encoded.
std::string uriOf(const std::string& fileName);

}  // namespace kxm::gltf
