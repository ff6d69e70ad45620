#include "export/gltf_export.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "export/space.h"
#include "model/block.h"
#include "reader/vertex_format.h"
#include "text/escape.h"

namespace kxm::gltf {

namespace {

using Json = nlohmann::ordered_json;

// glTF's numbers for component types, buffer view targets and primitive modes.
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kFloat = 5126;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
enum Mode { kPoints = 0, kLines = 1, kLineStrip = 3, kTriangles = 4 };

// A name buffer's bytes: at most 127 and a zero, or all 128 of a buffer without one.
std::string_view nameOf(const char* name) {
  return {name, strnlen(name, kNameSize)};
}

std::string quoted(const char* name) {
  return quotedLabel(nameOf(name));
}

float finiteOr(float value, float fallback) {
  return std::isfinite(value) ? value : fallback;
}

template <class T>
constexpr int componentTypeOf() {
  if constexpr (std::is_same_v<T, float>) return kFloat;
  if constexpr (std::is_same_v<T, std::uint32_t>) return kUnsignedInt;
  return kUnsignedShort;
}

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
  };

  void addFrames();
  Json nodeFor(std::size_t f);
  MeshOut addMesh(std::size_t f, std::size_t m);
  bool primitiveIndices(const Mesh& mesh, const std::string& what, std::uint64_t start,
                        std::uint64_t count, Primitive& out);
  int addMaterial(const Material& material, const std::string& name, int texture);
  std::optional<int> textureFor(const Mesh& mesh, Json& names);
  int addSkin(std::size_t f, const Mesh& mesh, const std::string& what, Json& attributes);
  void addAnimations();
  template <std::size_t N>
  int addSampler(Json& samplers, std::vector<Key<N>> keys, const std::string& what);

  int addView(Piece piece, int target);
  // A buffer view of `count` elements of `components` values of T and an accessor over it;
  // `fill` writes the values into the T* it is given. Positions and key times get their bounds.
  template <class T, class Fill>
  int addAccessor(std::size_t count, std::size_t components, const char* type, int target,
                  bool withBounds, Fill fill);
  void warn(std::string text) { warnings_.add(std::move(text)); }
  // "WHAT: N TEXT", when there are any.
  void warnCount(const std::string& what, std::uint64_t n, const std::string& text) {
    if (n > 0) warn(what + ": " + std::to_string(n) + " " + text);
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
  std::map<std::string, std::string> imageSource_;            // copied file name -> texture name
};

std::string frameWhat(const Frame& frame) {
  return "frame " + quoted(frame.name);
}

// Frames become nodes in frame order; a frame's parent always comes before it.
void Builder::addFrames() {
  const std::size_t n = model_.frames.count();
  frameNode_.resize(n);
  for (std::size_t f = 0; f < n; ++f) {
    const Frame& frame = model_.frames[f];
    frameByName_.try_emplace(std::string(nameOf(frame.name)), f);
    frameNode_[f] = static_cast<int>(nodes_.size());
    nodes_.push_back(nodeFor(f));
    const std::int32_t parent = frame.parentIndex;
    if (parent >= 0 && static_cast<std::size_t>(parent) < f) {
      nodes_[static_cast<std::size_t>(frameNode_[static_cast<std::size_t>(parent)])]["children"]
          .push_back(frameNode_[f]);
    } else {
      roots_.push_back(frameNode_[f]);
    }
  }
}

// Nodes always carry translation, rotation and scale: an animated node must, and a matrix that
// is not one of those would be invalid in glTF anyway.
Json Builder::nodeFor(std::size_t f) {
  const Frame& frame = model_.frames[f];
  Json node = {{"name", nameToUtf8(frame.name)}};
  Matrix4 m = frame.hasMatrix ? matrixToGltf(frame.matrix)
                              : matrixFromParts(frame.offset, frame.rotation, frame.scale);
  if (!std::all_of(m.begin(), m.end(), [](float v) { return std::isfinite(v); })) {
    warn(frameWhat(frame) + ": its transform has a number that is not finite; left out");
    return node;
  }
  bool exact = true;
  const Trs trs = decompose(m, exact);
  if (!isFinite(trs)) {
    warn(frameWhat(frame) + ": its scale lies past the float range; the transform is left out");
    return node;
  }
  if (!exact) {
    warn(frameWhat(frame) +
         ": its matrix is not a translation, rotation and scale; written as the nearest");
  }
  if (trs.translation != Vec3{0, 0, 0}) node["translation"] = trs.translation;
  if (trs.rotation != Quat{0, 0, 0, 1}) node["rotation"] = trs.rotation;
  if (trs.scale != Vec3{1, 1, 1}) node["scale"] = trs.scale;
  return node;
}

int Builder::addView(Piece piece, int target) {
  Json view = {{"buffer", 0}, {"byteOffset", doc_.binaryLength}, {"byteLength", piece.used()}};
  if (target != 0) view["target"] = target;
  doc_.binaryLength += piece.size();
  doc_.binary.push_back(std::move(piece));
  views_.push_back(std::move(view));
  return static_cast<int>(views_.size() - 1);
}

template <class T, class Fill>
int Builder::addAccessor(std::size_t count, std::size_t components, const char* type, int target,
                         bool withBounds, Fill fill) {
  Piece piece(count * components * sizeof(T));
  T* values = piece.as<T>();
  fill(values);
  Json accessor = {{"componentType", componentTypeOf<T>()}, {"count", count}, {"type", type}};
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

// The indices a range of the mesh draws, as glTF's primitive: strips and fans become triangle
// lists, every triangle's turn is reversed for the mirrored space, and what cannot be drawn
// (an index past the vertices, a triangle naming one vertex twice, a remainder too short for
// one more element) is left out.
bool Builder::primitiveIndices(const Mesh& mesh, const std::string& what, std::uint64_t start,
                               std::uint64_t count, Primitive& out) {
  const bool indexed = mesh.indices.count() > 0;
  const auto vertices = static_cast<std::uint32_t>(mesh.vertices.count());
  const std::uint64_t available =
      indexed ? static_cast<std::uint64_t>(mesh.indices.count()) : std::uint64_t{vertices};
  if (start > available || count > available - start) {
    warn(what + ": indices " + std::to_string(start) + " to " + std::to_string(start + count) +
         " reach past the mesh's " + std::to_string(available) + "; cut to them");
    start = std::min(start, available);
    count = available - start;
  }
  auto at = [&](std::uint64_t i) -> std::uint32_t {
    return indexed ? mesh.indices[static_cast<std::size_t>(start + i)]
                   : static_cast<std::uint32_t>(start + i);
  };
  std::uint64_t outside = 0, degenerate = 0;
  auto triangle = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    if (a >= vertices || b >= vertices || c >= vertices) {
      ++outside;
    } else if (a == b || b == c || a == c) {
      ++degenerate;
    } else {
      out.indices.insert(out.indices.end(), {a, c, b});
    }
  };
  std::uint64_t rest = 0;
  out.indices.reserve(static_cast<std::size_t>(mesh.primitiveType >= 5 ? 3 * count : count));
  switch (mesh.primitiveType) {
    case 1:  // point list
      out.mode = kPoints;
      for (std::uint64_t i = 0; i < count; ++i) {
        if (at(i) < vertices)
          out.indices.push_back(at(i));
        else
          ++outside;
      }
      break;
    case 2:  // line list
      out.mode = kLines;
      rest = count % 2;
      for (std::uint64_t i = 0; i + 1 < count; i += 2) {
        if (at(i) < vertices && at(i + 1) < vertices) {
          out.indices.insert(out.indices.end(), {at(i), at(i + 1)});
        } else {
          ++outside;
        }
      }
      break;
    case 3:  // line strip: one bad index spoils the whole strip
      out.mode = kLineStrip;
      for (std::uint64_t i = 0; i < count; ++i) {
        if (at(i) >= vertices) {
          warn(what + ": index " + std::to_string(at(i)) + " is past the " +
               std::to_string(vertices) + " vertices; the line strip is left out");
          out.indices.clear();
          return false;
        }
        out.indices.push_back(at(i));
      }
      if (count == 1) rest = 1, out.indices.clear();
      break;
    case 4:  // triangle list
      rest = count % 3;
      for (std::uint64_t i = 0; i + 2 < count; i += 3) triangle(at(i), at(i + 1), at(i + 2));
      break;
    case 5:  // triangle strip: every other triangle is stored the other way round
      if (count > 0 && count < 3) rest = count;
      for (std::uint64_t i = 0; i + 2 < count; ++i) {
        if (i % 2 == 0)
          triangle(at(i), at(i + 1), at(i + 2));
        else
          triangle(at(i + 1), at(i), at(i + 2));
      }
      break;
    case 6:  // triangle fan
      if (count > 0 && count < 3) rest = count;
      for (std::uint64_t i = 0; i + 2 < count; ++i) triangle(at(0), at(i + 1), at(i + 2));
      break;
    default: return false;
  }
  warnCount(what, outside,
            "element(s) use an index past the " + std::to_string(vertices) + " vertices; left out");
  warnCount(what, degenerate, "triangle(s) name one vertex twice and draw nothing; left out");
  warnCount(what, rest, "index(es) at the end make no whole element; left out");
  return !out.indices.empty();
}

int Builder::addMaterial(const Material& material, const std::string& name, int texture) {
  auto unit = [](float v) { return std::clamp(finiteOr(v, 0), 0.0f, 1.0f); };
  auto whole = [](const float* v, int n) {
    Json values = Json::array();
    for (int i = 0; i < n; ++i) {
      if (std::isfinite(v[i]))
        values.push_back(v[i]);
      else
        values.push_back(nullptr);
    }
    return values;
  };
  const float* d = material.diffuse;
  const float power = finiteOr(material.power, 0);
  const float roughness =
      std::clamp(static_cast<float>(std::sqrt(2.0 / (std::max(power, 0.0f) + 2.0))), 0.0f, 1.0f);
  Json pbr = {{"baseColorFactor", {unit(d[0]), unit(d[1]), unit(d[2]), unit(d[3])}},
              {"metallicFactor", 0},
              {"roughnessFactor", roughness}};
  Json kept = {{"diffuse", whole(material.diffuse, 4)},
               {"ambient", whole(material.ambient, 4)},
               {"specular", whole(material.specular, 4)},
               {"emissive", whole(material.emissive, 4)},
               {"power", whole(&material.power, 1)[0]}};
  if (texture >= 0) pbr["baseColorTexture"] = {{"index", texture}};
  Json out = {{"name", name}, {"pbrMetallicRoughness", std::move(pbr)}};
  const float* e = material.emissive;
  if (unit(e[0]) > 0 || unit(e[1]) > 0 || unit(e[2]) > 0) {
    out["emissiveFactor"] = {unit(e[0]), unit(e[1]), unit(e[2])};
  }
  if (unit(d[3]) < 1) out["alphaMode"] = "BLEND";
  out["extras"] = {{"kxm", std::move(kept)}};
  materials_.push_back(std::move(out));
  return static_cast<int>(materials_.size() - 1);
}

bool isPngOrJpeg(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  char magic[8] = {};
  file.read(magic, sizeof magic);
  if (file.gcount() >= 8 && std::memcmp(magic, "\x89PNG\r\n\x1a\n", 8) == 0) return true;
  return file.gcount() >= 3 && std::memcmp(magic, "\xFF\xD8\xFF", 3) == 0;
}

// The mesh's first texture whose image can be used becomes its base colour; every name is kept
// in the mesh's extras. A texture is looked up once per name for the whole model.
std::optional<int> Builder::textureFor(const Mesh& mesh, Json& names) {
  std::optional<int> first;
  for (std::size_t t = 0; t < mesh.textures.storedCount(); ++t) {
    const char* raw = mesh.textures.stored(t).name;
    const std::string name(nameOf(raw));
    if (name.empty()) continue;
    names.push_back(nameToUtf8(raw));
    auto [found, inserted] = textureByName_.try_emplace(name, -1);
    if (inserted) {
      const std::optional<std::filesystem::path> from = imageBeside(options_.inputFolder, name);
      const std::string fileName = from ? from->filename().string() : std::string();
      if (!from) {
        warn("texture " + quoted(raw) + ": no such image beside the input; not referenced");
      } else if (!isPngOrJpeg(*from)) {
        warn("texture " + quoted(raw) + ": the image is neither PNG nor JPEG; not referenced");
      } else if (auto [other, fresh] = imageSource_.try_emplace(fileName, name);
                 !fresh && other->second != name) {
        warn("texture " + quoted(raw) + ": its file name is also that of texture \"" +
             other->second + "\"; not referenced");
      } else {
        doc_.images.push_back({*from, fileName});
        images_.push_back({{"uri", uriOf(fileName)}});
        textures_.push_back({{"source", images_.size() - 1}});
        found->second = static_cast<int>(textures_.size() - 1);
      }
    }
    if (!first && found->second >= 0) first = found->second;
  }
  return first;
}

// Each vertex keeps its four largest influences, their weights scaled to sum to 1; a vertex
// that no bone moves follows the mesh's own node. Returns the skin, or -1 when no bone names a
// frame.
int Builder::addSkin(std::size_t f, const Mesh& mesh, const std::string& what, Json& attributes) {
  const auto vertices = static_cast<std::size_t>(mesh.vertices.count());
  std::vector<int> joints;                      // joint slot -> frame
  std::unordered_map<std::size_t, int> slotOf;  // frame -> joint slot
  std::vector<float> inverseBind;
  std::vector<std::array<std::uint16_t, 4>> jointOf(vertices, {0, 0, 0, 0});
  std::vector<std::array<float, 4>> weightOf(vertices, {0, 0, 0, 0});
  auto influence = [&](std::size_t v, int slot, float weight) {
    auto& js = jointOf[v];
    auto& ws = weightOf[v];
    for (std::size_t i = 0; i < 4; ++i) {
      if (ws[i] > 0 && js[i] == slot) {
        ws[i] += weight;
        return;
      }
    }
    const auto least =
        static_cast<std::size_t>(std::min_element(ws.begin(), ws.end()) - ws.begin());
    if (ws[least] < weight) {
      js[least] = static_cast<std::uint16_t>(slot);
      ws[least] = weight;
    }
  };
  std::uint64_t badInfluences = 0;
  for (std::size_t b = 0; b < mesh.bones.storedCount(); ++b) {
    const Bone& bone = mesh.bones.stored(b);
    const auto named = frameByName_.find(std::string(nameOf(bone.name)));
    if (named == frameByName_.end()) {
      warn(what + ": bone " + quoted(bone.name) + " names no frame; its influences are left out");
      continue;
    }
    auto [slot, added] = slotOf.try_emplace(named->second, static_cast<int>(joints.size()));
    if (added) {
      if (joints.size() >= 65535) {
        warn(what + ": more bones than a skin can hold; the rest are left out");
        break;
      }
      joints.push_back(static_cast<int>(named->second));
      Matrix4 m = matrixToGltf(bone.translationMatrix);
      if (!std::all_of(m.begin(), m.end(), [](float v) { return std::isfinite(v); })) {
        warn(what + ": bone " + quoted(bone.name) +
             " has a matrix that is not finite; identity written");
        float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        m = matrixToGltf(identity);
      }
      if (m[3] != 0 || m[7] != 0 || m[11] != 0 || m[15] != 1) {
        warn(what + ": bone " + quoted(bone.name) +
             "'s matrix has a projective column; written as (0, 0, 0, 1)");
        m[3] = m[7] = m[11] = 0;
        m[15] = 1;
      }
      inverseBind.insert(inverseBind.end(), m.begin(), m.end());
    }
    const std::size_t n =
        static_cast<std::size_t>(std::min(bone.vertexIndices.count(), bone.weights.count()));
    for (std::size_t i = 0; i < n; ++i) {
      const std::int32_t v = bone.vertexIndices[i];
      const float weight = bone.weights[i];
      if (v < 0 || static_cast<std::size_t>(v) >= vertices || !(weight > 0) ||
          !std::isfinite(weight)) {
        ++badInfluences;
        continue;
      }
      influence(static_cast<std::size_t>(v), slot->second, weight);
    }
  }
  warnCount(what, badInfluences,
            "bone influence(s) name no vertex of the mesh or weigh nothing; left out");
  if (joints.empty()) return -1;

  int ownSlot = -1;
  for (std::size_t v = 0; v < vertices; ++v) {
    auto& ws = weightOf[v];
    const double sum = double{ws[0]} + ws[1] + ws[2] + ws[3];
    if (sum > 0 && std::isfinite(sum)) {
      for (float& w : ws) w = static_cast<float>(w / sum);
      continue;
    }
    if (ownSlot < 0) {
      auto [slot, added] = slotOf.try_emplace(f, static_cast<int>(joints.size()));
      if (added) {
        joints.push_back(static_cast<int>(f));
        const Matrix4 identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        inverseBind.insert(inverseBind.end(), identity.begin(), identity.end());
      }
      ownSlot = slot->second;
    }
    jointOf[v] = {static_cast<std::uint16_t>(ownSlot), 0, 0, 0};
    ws = {1, 0, 0, 0};
  }

  attributes["JOINTS_0"] = addAccessor<std::uint16_t>(
      vertices, 4, "VEC4", kArrayBuffer, false,
      [&](std::uint16_t* out) { std::memcpy(out, jointOf.data(), vertices * 4 * sizeof *out); });
  attributes["WEIGHTS_0"] = addAccessor<float>(
      vertices, 4, "VEC4", kArrayBuffer, false,
      [&](float* out) { std::memcpy(out, weightOf.data(), vertices * 4 * sizeof *out); });

  Json jointNodes = Json::array();
  for (int frame : joints) jointNodes.push_back(frameNode_[static_cast<std::size_t>(frame)]);
  const int inverseBindMatrices = addAccessor<float>(
      joints.size(), 16, "MAT4", 0, false,
      [&](float* out) { std::memcpy(out, inverseBind.data(), inverseBind.size() * sizeof *out); });
  skins_.push_back({{"name", nameToUtf8(model_.frames[f].name)},
                    {"inverseBindMatrices", inverseBindMatrices},
                    {"joints", std::move(jointNodes)}});
  return static_cast<int>(skins_.size() - 1);
}

Builder::MeshOut Builder::addMesh(std::size_t f, std::size_t m) {
  const Frame& frame = model_.frames[f];
  const Mesh& mesh = frame.meshes[m];
  const std::string what = frameWhat(frame) + " mesh " + std::to_string(m + 1);
  const auto vertices = static_cast<std::size_t>(mesh.vertices.count());
  if (mesh.primitiveType < 1 || mesh.primitiveType > 6) {
    warn(what + ": primitive type " + std::to_string(mesh.primitiveType) +
         " is not one of 1 to 6; the mesh is left out");
    return {};
  }
  if (vertices == 0) {
    warn(what + ": no vertices; the mesh is left out");
    return {};
  }

  // The primitives first: a mesh that draws nothing writes no vertices either.
  const std::uint32_t texCoordSets = std::min(fvfTexCoordSets(mesh.fvfFlags), 2U);
  Json textureNames = Json::array();
  const std::optional<int> found = textureFor(mesh, textureNames);
  const int texture = found && texCoordSets > 0 ? *found : -1;
  if (found && texCoordSets == 0) {
    warn(what + ": has a texture but no texture coordinates; the texture is not applied");
  }
  // Ranges may overlap, so the indices written are held to a multiple of what the mesh has.
  std::uint64_t budget =
      8 * (static_cast<std::uint64_t>(std::max(mesh.indices.count(), 0)) + vertices) + 65536;
  std::vector<Primitive> primitives;
  if (mesh.multiMaterials.count() > 0) {
    for (std::size_t k = 0; k < mesh.multiMaterials.storedCount(); ++k) {
      const MultiMaterial& range = mesh.multiMaterials.stored(k);
      Primitive p;
      const std::string rangeWhat = what + " material " + quoted(range.name);
      if (range.indexStart < 0 || range.indexCount < 0) {
        warn(rangeWhat + ": a negative index start or count; the range is left out");
        continue;
      }
      if (!primitiveIndices(mesh, rangeWhat, static_cast<std::uint64_t>(range.indexStart),
                            static_cast<std::uint64_t>(range.indexCount), p)) {
        continue;
      }
      if (p.indices.size() > budget) {
        warn(what + ": its material ranges overlap so much that the rest, from " +
             quoted(range.name) + " on, are left out");
        break;
      }
      budget -= p.indices.size();
      p.material = addMaterial(range.material, nameToUtf8(range.name), texture);
      primitives.push_back(std::move(p));
    }
  } else {
    Primitive p;
    const std::uint64_t all = mesh.indices.count() > 0
                                  ? static_cast<std::uint64_t>(mesh.indices.count())
                                  : std::uint64_t{vertices};
    if (primitiveIndices(mesh, what, 0, all, p)) {
      p.material = addMaterial(mesh.material, nameToUtf8(frame.name), texture);
      primitives.push_back(std::move(p));
    }
  }
  if (primitives.empty()) {
    warn(what + ": draws nothing; the mesh is left out");
    return {};
  }

  Json attributes;
  std::uint64_t notFinite = 0;
  attributes["POSITION"] =
      addAccessor<float>(vertices, 3, "VEC3", kArrayBuffer, true, [&](float* out) {
        for (std::size_t v = 0; v < vertices; ++v) {
          const Vec3 p = pointToGltf(mesh.vertices[v].position);
          for (std::size_t i = 0; i < 3; ++i) {
            if (!std::isfinite(p[i])) ++notFinite;
            out[v * 3 + i] = finiteOr(p[i], 0);
          }
        }
      });
  warnCount(what, notFinite, "coordinate(s) not finite; written as 0");
  if (mesh.fvfFlags & kFvfDiffuse) {  // converted from bytes, so always within 0 to 1
    attributes["COLOR_0"] =
        addAccessor<float>(vertices, 4, "VEC4", kArrayBuffer, false, [&](float* out) {
          for (std::size_t v = 0; v < vertices; ++v) {
            std::memcpy(out + v * 4, mesh.vertices[v].diffuse, 4 * sizeof *out);
          }
        });
  }
  for (std::uint32_t set = 0; set < texCoordSets; ++set) {
    attributes[set == 0 ? "TEXCOORD_0" : "TEXCOORD_1"] =
        addAccessor<float>(vertices, 2, "VEC2", kArrayBuffer, false, [&](float* out) {
          for (std::size_t v = 0; v < vertices; ++v) {
            const float* uv = set == 0 ? mesh.vertices[v].texCoord0 : mesh.vertices[v].texCoord1;
            out[v * 2] = finiteOr(uv[0], 0);
            out[v * 2 + 1] = finiteOr(uv[1], 0);
          }
        });
  }

  MeshOut result;
  if (mesh.bones.count() > 0) result.skin = addSkin(f, mesh, what, attributes);

  Json prims = Json::array();
  for (Primitive& p : primitives) {
    // 65535 restarts a 16-bit primitive, so a mesh that uses it as an index needs 32 bits.
    const std::uint32_t largest = *std::max_element(p.indices.begin(), p.indices.end());
    const std::size_t n = p.indices.size();
    const int indices =
        largest < 65535
            ? addAccessor<std::uint16_t>(
                  n, 1, "SCALAR", kElementArrayBuffer, false,
                  [&](std::uint16_t* out) { std::copy(p.indices.begin(), p.indices.end(), out); })
            : addAccessor<std::uint32_t>(
                  n, 1, "SCALAR", kElementArrayBuffer, false,
                  [&](std::uint32_t* out) { std::copy(p.indices.begin(), p.indices.end(), out); });
    std::vector<std::uint32_t>().swap(p.indices);
    Json prim = {{"attributes", attributes}, {"indices", indices}};
    if (p.mode != kTriangles) prim["mode"] = p.mode;
    prim["material"] = p.material;
    prims.push_back(std::move(prim));
  }
  Json gltfMesh = {{"name", nameToUtf8(frame.name)}, {"primitives", std::move(prims)}};
  if (!textureNames.empty()) {
    gltfMesh["extras"] = {{"kxm", {{"textures", std::move(textureNames)}}}};
  }
  meshes_.push_back(std::move(gltfMesh));
  result.mesh = static_cast<int>(meshes_.size() - 1);
  return result;
}

// Sorts a track by time; of keys at the same time the last in the file stays. Times must
// strictly increase in glTF.
template <std::size_t N>
bool repairTimes(std::vector<Key<N>>& keys) {
  bool changed = false;
  for (std::size_t i = 1; i < keys.size() && !changed; ++i) {
    changed = !(keys[i - 1].time < keys[i].time);
  }
  if (!changed) return false;
  std::stable_sort(keys.begin(), keys.end(),
                   [](const Key<N>& a, const Key<N>& b) { return a.time < b.time; });
  std::vector<Key<N>> kept;
  for (const Key<N>& key : keys) {
    if (!kept.empty() && kept.back().time == key.time)
      kept.back() = key;
    else
      kept.push_back(key);
  }
  keys = std::move(kept);
  return true;
}

template <std::size_t N>
int Builder::addSampler(Json& samplers, std::vector<Key<N>> keys, const std::string& what) {
  if (repairTimes(keys)) {
    warn(what +
         ": key times do not strictly increase; sorted, and of keys at one time the last kept");
  }
  const int input = addAccessor<float>(keys.size(), 1, "SCALAR", 0, true, [&](float* out) {
    for (const Key<N>& key : keys) *out++ = key.time;
  });
  const int output =
      addAccessor<float>(keys.size(), N, N == 4 ? "VEC4" : "VEC3", 0, false, [&](float* out) {
        for (const Key<N>& key : keys) out = std::copy(key.value.begin(), key.value.end(), out);
      });
  samplers.push_back({{"input", input}, {"output", output}, {"interpolation", "LINEAR"}});
  return static_cast<int>(samplers.size() - 1);
}

void Builder::addAnimations() {
  for (const AnimationSet& set : model_.animationSets) {
    Json channels = Json::array(), samplers = Json::array();
    std::set<std::pair<int, std::string>> targeted;  // node and path of each channel
    for (const Animation& anim : set.animations) {
      const std::string what =
          "animation set " + quoted(set.name) + " bone " + quoted(anim.boneName);
      const auto named = frameByName_.find(std::string(nameOf(anim.boneName)));
      if (named == frameByName_.end()) {
        warn(what + ": names no frame; left out");
        continue;
      }
      const int node = frameNode_[named->second];
      auto seconds = [&](float ticks) {
        return static_cast<float>(double{ticks} / options_.ticksPerSecond);
      };
      std::vector<Key<3>> translations, scales;
      std::vector<Key<4>> rotations;
      std::uint64_t dropped = 0, noTurn = 0;
      auto finite = [](const auto& v) {
        return std::all_of(v.begin(), v.end(), [](float x) { return std::isfinite(x); });
      };
      for (const PositionKey& key : anim.positionKeys) {
        const Vec3 v = pointToGltf(key.value);
        if (finite(v))
          translations.push_back({seconds(key.time), v});
        else
          ++dropped;
      }
      for (const RotationKey& key : anim.rotationKeys) {
        const Quat q = {key.value[0], key.value[1], key.value[2], key.value[3]};
        if (!finite(q)) {
          ++dropped;
        } else {
          if (q == Quat{0, 0, 0, 0}) ++noTurn;
          rotations.push_back({seconds(key.time), rotationToGltf(key.value)});
        }
      }
      for (const ScaleKey& key : anim.scaleKeys) {
        const Vec3 v = {key.value[0], key.value[1], key.value[2]};
        if (finite(v))
          scales.push_back({seconds(key.time), v});
        else
          ++dropped;
      }
      // Matrix keys give each part that has no keys of its own.
      const bool fromMatrix[3] = {translations.empty(), rotations.empty(), scales.empty()};
      std::uint64_t inexact = 0, tooLarge = 0;
      for (const MatrixKey& key : anim.matrixKeys) {
        const Matrix4 m = matrixToGltf(key.matrix);
        if (!finite(m)) {
          ++dropped;
          continue;
        }
        bool exact = true;
        const Trs trs = decompose(m, exact);
        if (!isFinite(trs)) {
          ++tooLarge;
          continue;
        }
        if (!exact) ++inexact;
        if (fromMatrix[0]) translations.push_back({seconds(key.time), trs.translation});
        if (fromMatrix[1]) rotations.push_back({seconds(key.time), trs.rotation});
        if (fromMatrix[2]) scales.push_back({seconds(key.time), trs.scale});
      }
      warnCount(what, dropped, "key(s) with numbers that are not finite; left out");
      warnCount(what, noTurn, "rotation key(s) of length 0; written as no turn");
      warnCount(what, tooLarge, "matrix key(s) with a scale past the float range; left out");
      warnCount(what, inexact,
                "matrix key(s) not a translation, rotation and scale; written as the nearest");
      auto channel = [&](const char* path, auto& keys) {
        if (keys.empty()) return;
        if (!targeted.insert({node, path}).second) {
          warn(what + ": a second " + path + " track for its frame in this set; left out");
          return;
        }
        const int sampler = addSampler(samplers, std::move(keys), what + " " + path);
        channels.push_back({{"sampler", sampler}, {"target", {{"node", node}, {"path", path}}}});
      };
      channel("translation", translations);
      channel("rotation", rotations);
      channel("scale", scales);
    }
    if (channels.empty()) {
      if (set.animations.count() > 0) {
        warn("animation set " + quoted(set.name) + ": nothing to animate; left out");
      }
      continue;
    }
    animations_.push_back({{"name", nameToUtf8(set.name)},
                           {"channels", std::move(channels)},
                           {"samplers", std::move(samplers)}});
  }
}

Document Builder::build() {
  addFrames();
  for (std::size_t f = 0; f < model_.frames.count(); ++f) {
    const Frame& frame = model_.frames[f];
    std::vector<int> plain;
    for (std::size_t m = 0; m < frame.meshes.count(); ++m) {
      const MeshOut out = addMesh(f, m);
      if (out.mesh < 0) continue;
      if (out.skin >= 0) {
        // A skinned mesh's node sits at the root without a transform: its joints place it.
        nodes_.push_back(
            {{"name", nameToUtf8(frame.name)}, {"mesh", out.mesh}, {"skin", out.skin}});
        skinNodes_.push_back(static_cast<int>(nodes_.size() - 1));
      } else {
        plain.push_back(out.mesh);
      }
    }
    const auto node = static_cast<std::size_t>(frameNode_[f]);
    if (plain.size() == 1) {
      nodes_[node]["mesh"] = plain.front();
    } else {
      for (int mesh : plain) {  // a node holds one mesh; more go on children
        nodes_.push_back({{"name", nameToUtf8(frame.name)}, {"mesh", mesh}});
        nodes_[node]["children"].push_back(nodes_.size() - 1);
      }
    }
  }
  addAnimations();

  // A skin's joints must share one root.
  if (!skins_.empty() && roots_.size() > 1) {
    nodes_.push_back({{"name", "Frames"}, {"children", roots_}});
    roots_ = {static_cast<int>(nodes_.size() - 1)};
  }
  roots_.insert(roots_.end(), skinNodes_.begin(), skinNodes_.end());

  Json& j = doc_.json;
  j["asset"] = {{"version", "2.0"}, {"generator", options_.generator}};
  j["scene"] = 0;
  Json scene = {{"name", "Scene"}};
  if (!roots_.empty()) scene["nodes"] = roots_;
  j["scenes"] = Json::array({std::move(scene)});
  auto put = [&j](const char* key, Json& list) {
    if (!list.empty()) j[key] = std::move(list);
  };
  put("nodes", nodes_);
  put("meshes", meshes_);
  put("materials", materials_);
  put("textures", textures_);
  put("images", images_);
  put("skins", skins_);
  put("animations", animations_);
  put("accessors", accessors_);
  put("bufferViews", views_);
  if (doc_.binaryLength > 0) {
    Json buffer = {{"byteLength", doc_.binaryLength}};
    if (!options_.binaryUri.empty()) buffer["uri"] = options_.binaryUri;
    j["buffers"] = Json::array({std::move(buffer)});
  }
  return std::move(doc_);
}

}  // namespace

Piece::Piece(std::size_t used) : size_((used + 3) / 4 * 4), used_(used), bytes_(nullptr) {
  // Zero-filled, so the padding is zero too.
  bytes_ = allocateBlock(std::max<std::size_t>(size_, 1));
  if (bytes_ == nullptr) throw std::bad_alloc();
}

Piece::~Piece() {
  if (bytes_ != nullptr) releaseBlock(bytes_, std::max<std::size_t>(size_, 1));
}

void Warnings::add(std::string text) {
  if (kept_.size() < kKept) kept_.push_back(std::move(text));
  ++count_;
}

std::string nameToUtf8(const char* name) {
  std::string out;
  for (std::size_t i = 0; i < kNameSize && name[i] != '\0'; ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

std::optional<std::filesystem::path> imageBeside(const std::filesystem::path& folder,
                                                 std::string_view name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\') return std::nullopt;
  if (name.size() > 1 && name[1] == ':') return std::nullopt;
  std::string slashed(name);
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  std::size_t begin = 0;
  while (begin <= slashed.size()) {
    std::size_t end = slashed.find('/', begin);
    if (end == std::string::npos) end = slashed.size();
    if (slashed.compare(begin, end - begin, "..") == 0) return std::nullopt;
    begin = end + 1;
  }
  std::error_code error;
  std::filesystem::path path = folder / slashed;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  return path;
}

std::string uriOf(const std::string& fileName) {
  static const char hex[] = "0123456789ABCDEF";
  std::string uri;
  for (const char c : fileName) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (plain || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += c;
    } else {
      uri += '%';
      uri += hex[byte >> 4];
      uri += hex[byte & 0xF];
    }
  }
  return uri;
}

Document buildDocument(const Model& model, const ExportOptions& options, Warnings& warnings) {
  return Builder(model, options, warnings).build();
}

}  // namespace kxm::gltf
