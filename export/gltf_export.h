// The model as a glTF 2.0 document: nodes from frames, meshes with their primitives, materials,
// textures, skins from bones and animations from animation sets, every number turned from the
// file's space into glTF's (export/space.h). What cannot be written as the file has it is left
// out or repaired and said in a warning with its code; nothing a file holds makes the document
// invalid.
//
// Where the pieces are built: nodes.cpp (frames and transforms), primitives.cpp (meshes and
// their attributes), materials.cpp (materials and textures), skins.cpp, animations.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/issue_codes.h"
#include "model/model.h"

namespace kxm::gltf {

// What the export left out or repaired, each with its code and the record of the model it is
// about. A hostile file can make millions, so the first ones are kept and the rest only counted.
class Warnings {
 public:
  // The record a warning is about: frame `first`, mesh `second` of frame `first`, animation set
  // `first`, animation `second` of set `first`; none for the model as a whole.
  struct Subject {
    enum class Kind : std::uint8_t { None, Frame, Mesh, AnimationSet, Animation };
    Kind kind = Kind::None;
    std::uint64_t first = 0, second = 0;
  };
  struct Warning {
    IssueCode code;
    std::string message;
    Subject subject;
  };
  static constexpr std::size_t kKept = 1000;
  void add(IssueCode code, std::string message);
  // What the warnings added from now on are about, whoever adds them (the images' too).
  void about(Subject subject) { subject_ = subject; }
  const std::vector<Warning>& kept() const { return kept_; }
  std::uint64_t count() const { return count_; }
  // How many of that severity (a conversion that loses nothing is a note).
  std::uint64_t count(Severity severity) const {
    return bySeverity_[static_cast<std::size_t>(severity)];
  }

 private:
  std::vector<Warning> kept_;
  std::uint64_t count_ = 0;
  std::array<std::uint64_t, 3> bySeverity_{};
  Subject subject_;
};

// The image a texture name stands for, as glTF can hold it: PNG or JPEG bytes.
struct ResolvedImage {
  std::string fileName;  // what it is called beside a .gltf: its file's name, .png if converted
  std::string mimeType;  // "image/png" or "image/jpeg"
  std::vector<std::uint8_t> bytes;
};

// Finds the image of a texture name: on disk beside the input (kxm export), among the files a
// user dropped (the browser). What it had to do, or why it found none, it says in `warnings`,
// each message begun by `what` ("texture \"wood.bmp\"").
class ImageResolver {
 public:
  virtual ~ImageResolver() = default;
  virtual std::optional<ResolvedImage> resolve(std::string_view textureName,
                                               const std::string& what, Warnings& warnings) = 0;
};

struct ExportOptions {
  double ticksPerSecond = 1000;     // key times are ticks; seconds = ticks / this
  ImageResolver* images = nullptr;  // nullptr: no texture has an image
  std::string generator = "kxm";    // asset.generator: the tool's name and version
  // Where the buffer's pieces come from (kxm asks for huge pages: a million vertices are a few
  // dozen megabytes whose page faults would otherwise cost more than writing them).
  const BlockSource* blocks = &systemBlocks();
};

// The bytes of one buffer view, padded with zeros to a multiple of 4 so that the next view
// starts aligned, in a block from `blocks`. Throws std::bad_alloc when memory runs out.
class Piece {
 public:
  explicit Piece(std::size_t used, const BlockSource& blocks = systemBlocks());
  Piece(Piece&& other) noexcept
      : size_(std::exchange(other.size_, 0)),
        used_(std::exchange(other.used_, 0)),
        block_(std::move(other.block_)) {}
  Piece(const Piece&) = delete;
  Piece& operator=(const Piece&) = delete;
  Piece& operator=(Piece&&) = delete;

  // The bytes as values of T: a block from the source provides storage for them.
  template <class T>
  T* as() {
    return static_cast<T*>(block_.get());
  }
  const unsigned char* data() const { return static_cast<const unsigned char*>(block_.get()); }
  std::size_t size() const { return size_; }  // with the padding
  std::size_t used() const { return used_; }

 private:
  std::size_t size_;
  std::size_t used_;
  Block block_;
};

struct Document {
  nlohmann::ordered_json json;
  // The binary buffer in pieces, one per buffer view, in buffer order.
  std::vector<Piece> binary;
  std::uint64_t binaryLength = 0;
  // The images, in the order of json["images"]; the writer puts each into the GLB or beside
  // the .gltf (export/gltf_file.h).
  std::vector<ResolvedImage> images;
};

Document buildDocument(const Model& model, const ExportOptions& options, Warnings& warnings);

// A name's bytes as UTF-8, each byte the code point of its value, so every byte comes back.
std::string nameToUtf8(const char* name);

// A relative path as a URI: bytes other than letters, digits, -._~ and / percent-encoded.
std::string uriOf(const std::string& path);

}  // namespace kxm::gltf
