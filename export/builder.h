// The document builder the export's parts share: the lists of the glTF document being built,
// the binary buffer, and how a piece of it becomes a buffer view and an accessor. Each part of
// the model has its own file: nodes.cpp, primitives.cpp, materials.cpp, skins.cpp,
// animations.cpp.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "export/gltf_export.h"
#include "export/space.h"
#include "format/gltf_extras.h"

namespace kxm::gltf {

using Json = nlohmann::ordered_json;

// glTF's numbers for component types, buffer view targets and primitive modes.
inline constexpr int kUnsignedShort = 5123;
inline constexpr int kUnsignedInt = 5125;
inline constexpr int kFloat = 5126;
inline constexpr int kArrayBuffer = 34962;
inline constexpr int kElementArrayBuffer = 34963;
enum Mode { kPoints = 0, kLines = 1, kLineStrip = 3, kTriangles = 4 };

// A name buffer's bytes: at most 127 and a zero, or all 128 of a buffer without one.
std::string_view nameOf(const char* name);
// A name as messages quote it.
std::string quoted(const char* name);
inline float finiteOr(float value, float fallback) {
  return std::isfinite(value) ? value : fallback;
}

// Floats as the extras keep them: numbers, and the bits of those that are not finite.
Json keptFloats(const float* values, std::size_t count);
// The whole Direct3D material, as the extras keep it.
Json keptMaterial(const Material& material);

// Key tracks are (seconds, value) pairs on their way to a sampler.
template <std::size_t N>
struct Key {
  float time;
  std::array<float, N> value;
};

class Builder {
 public:
  Builder(const Model& model, const ExportOptions& options, Warnings& warnings)
      : model_(model), options_(options), warnings_(warnings) {}

  Document build();

 private:
  struct MeshOut {
    int mesh = -1;
    int skin = -1;
  };
  struct Primitive {
    std::vector<std::uint32_t> indices;
    int mode = kTriangles;
    int material = -1;
    int range = -1;  // the multi-material it draws, if any
  };
  // The vertices and normals the attributes could not carry exactly: the extras keep them.
  struct Inexact {
    std::vector<std::uint32_t> vertices;
    std::vector<std::uint32_t> normals;
  };
  // One mesh on its way into the document, for the extras that keep what glTF cannot hold.
  struct MeshKept {
    const Frame& frame;
    const Mesh& mesh;
    const std::vector<Primitive>& primitives;
    const Json& prims;  // as written, with their accessors
    const Json& attributes;
    Inexact inexact;
  };

  // nodes.cpp
  void addFrames();
  Json nodeFor(std::size_t f);
  void placeMeshes();
  // primitives.cpp
  MeshOut addMesh(std::size_t f, std::size_t m);
  bool primitiveIndices(const Mesh& mesh, const std::string& what, std::uint64_t start,
                        std::uint64_t count, Primitive& out);
  std::vector<Primitive> primitivesOf(const Frame& frame, const Mesh& mesh, const std::string& what,
                                      int texture);
  Inexact addAttributes(const Mesh& mesh, const std::string& what, Json& attributes);
  // materials.cpp
  int addMaterial(const Material& material, const std::string& name, int texture);
  std::optional<int> textureFor(const Mesh& mesh);
  // skins.cpp
  struct SkinOut;
  int addSkin(std::size_t f, const Mesh& mesh, const std::string& what, Json& attributes);
  void addBones(const Mesh& mesh, const std::string& what, SkinOut& skin);
  Matrix4 inverseBindOf(const Bone& bone, const std::string& what);
  // kept_meshes.cpp: what of a mesh glTF cannot hold, in its extras
  Json keptMesh(const MeshKept& kept);
  Json keptGeometry(const MeshKept& kept);
  void keepRanges(const MeshKept& kept, Json& geometry);
  void keepBones(const Mesh& mesh, Json& geometry);
  // A mesh the export leaves out, kept whole.
  Json wholeMesh(const Frame& frame, const Mesh& mesh);
  // kept.cpp: what of frames, materials, animation sets and the scene glTF cannot hold
  void keepTransform(const Frame& frame, Json& node);
  void keepPlace(std::size_t f, Json& node);
  void keepMeshOrder(std::size_t f, const std::vector<MeshOut>& placed);
  Json keptSet(const AnimationSet& set, const Json* animation);
  void keepScene(Json& scene);
  // The words as an accessor of unsigned 32-bit scalars (none for no words): -1 then.
  int addWords(const std::vector<std::uint32_t>& words);
  std::uint64_t printOf(int accessor) const {
    return accessor >= 0 ? prints_[static_cast<std::size_t>(accessor)] : 0;
  }
  // animations.cpp
  struct AnimationOut;
  void addAnimations();
  void addBoneChannels(const AnimationSet& set, const Animation& anim, AnimationOut& out);
  template <std::size_t N>
  void addChannel(AnimationOut& out, int node, const char* path, std::vector<Key<N>>& keys,
                  const std::string& what);
  template <std::size_t N>
  int addSampler(Json& samplers, std::vector<Key<N>> keys, const std::string& what);

  int addView(Piece piece, int target);
  // A buffer view of `count` elements of `components` values of T and an accessor over it;
  // `fill` writes the values into the T* it is given. Positions and key times get their bounds.
  template <class T, class Fill>
  int addAccessor(std::size_t count, std::size_t components, const char* type, int target,
                  bool withBounds, Fill fill);
  void warn(IssueCode code, std::string text) { warnings_.add(code, std::move(text)); }
  // "WHAT: N TEXT", when there are any.
  void warnCount(IssueCode code, const std::string& what, std::uint64_t n,
                 const std::string& text) {
    if (n > 0) warn(code, what + ": " + std::to_string(n) + " " + text);
  }

  const Model& model_;
  const ExportOptions& options_;
  Warnings& warnings_;
  Document doc_;
  Json nodes_ = Json::array(), meshes_ = Json::array(), materials_ = Json::array(),
       accessors_ = Json::array(), views_ = Json::array(), skins_ = Json::array(),
       animations_ = Json::array(), images_ = Json::array(), textures_ = Json::array();
  std::vector<int> frameNode_;
  std::vector<int> roots_;
  std::vector<int> skinNodes_;
  std::unordered_map<std::string, std::size_t> frameByName_;  // the first frame of each name
  std::map<std::string, int> textureByName_;                  // -1: not usable
  std::vector<std::uint64_t> prints_;                         // each accessor's fingerprint
  Json setsKept_ = Json::array();  // each animation set: its animation, or the set whole
  bool setLeftOut_ = false;        // a set that no animation holds
};

// The fingerprint of an accessor's values as words: a float's bits, an integer's value.
template <class T>
std::uint64_t valuesPrint(const T* values, std::size_t n) {
  extras::Fingerprint print;
  std::uint32_t run[1024];
  for (std::size_t done = 0; done < n;) {
    const std::size_t words = std::min(n - done, std::size(run));
    if constexpr (sizeof(T) == 4) {
      std::memcpy(run, values + done, words * 4);
    } else {
      for (std::size_t i = 0; i < words; ++i) run[i] = values[done + i];
    }
    print.words(run, words);
    done += words;
  }
  return print.value();
}

template <class T>
constexpr int componentTypeOf() {
  if constexpr (std::is_same_v<T, float>) return kFloat;
  if constexpr (std::is_same_v<T, std::uint32_t>) return kUnsignedInt;
  return kUnsignedShort;
}

template <class T, class Fill>
int Builder::addAccessor(std::size_t count, std::size_t components, const char* type, int target,
                         bool withBounds, Fill fill) {
  Piece piece(count * components * sizeof(T), *options_.blocks);
  T* values = piece.as<T>();
  fill(values);
  Json accessor = {{"componentType", componentTypeOf<T>()}, {"count", count}, {"type", type}};
  prints_.push_back(valuesPrint(values, count * components));
  if (withBounds && count > 0) {
    std::vector<T> lo(values, values + components), hi = lo;
    for (std::size_t e = 1; e < count; ++e) {
      for (std::size_t c = 0; c < components; ++c) {
        lo[c] = std::min(lo[c], values[e * components + c]);
        hi[c] = std::max(hi[c], values[e * components + c]);
      }
    }
    accessor["min"] = lo;
    accessor["max"] = hi;
  }
  accessor["bufferView"] = addView(std::move(piece), target);
  accessors_.push_back(std::move(accessor));
  return static_cast<int>(accessors_.size() - 1);
}

}  // namespace kxm::gltf
