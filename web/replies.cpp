#include "web/replies.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <map>
#include <new>
#include <tuple>
#include <utility>

#include "export/model_export.h"
#include "format/chunk_catalogue.h"
#include "format/issue_codes.h"
#include "format/little_endian.h"
#include "format/vertex_format.h"
#include "textures/folder_images.h"

#ifndef KXM_VERSION
#define KXM_VERSION "0"
#endif

namespace kxm::web {

namespace {

// asset.generator as kxm export writes it: the page's GLB is kxm export's, byte for byte.
constexpr const char* kGenerator = "kxm " KXM_VERSION;

// As every front end writes a chunk of a path (reader/load_failure.h).
nlohmann::ordered_json chunkJson(const ChunkRef& ref) {
  std::string text;
  appendJson(text, ref);
  return nlohmann::ordered_json::parse(text);
}

nlohmann::ordered_json pathJson(const std::vector<ChunkRef>& path) {
  auto out = nlohmann::ordered_json::array();
  for (const ChunkRef& ref : path) out.push_back(chunkJson(ref));
  return out;
}

}  // namespace

nlohmann::ordered_json failureJson(const LoadFailure& failure) {
  std::string text;
  appendJson(text, failure);
  return nlohmann::ordered_json::parse(text);
}

nlohmann::ordered_json findingsJson(const IssueList& issues) {
  nlohmann::ordered_json findings;
  findings["numErrors"] = issues.errors;
  findings["numWarnings"] = issues.warnings;
  findings["numNotes"] = issues.notes;
  findings["truncated"] = issues.truncated();
  auto messages = nlohmann::ordered_json::array();
  for (const ListedIssue& issue : issues.listed) {
    nlohmann::ordered_json m;
    m["code"] = issue.code;
    m["severity"] = std::string(severityName(issue.severity));
    m["offset"] = issue.hasOffset ? nlohmann::ordered_json(issue.offset) : nullptr;
    m["chunk"] =
        issue.path.empty() ? nlohmann::ordered_json(nullptr) : chunkJson(issue.path.back());
    m["path"] = pathJson(issue.path);
    m["message"] = bytesAsText(issue.message);
    messages.push_back(std::move(m));
  }
  findings["messages"] = std::move(messages);
  return findings;
}

namespace {

// The normals of a mesh's vertex data chunk at `at`, read from the file where its payload holds
// the vertices at one stride; none where the format has none or the payload says otherwise.
std::vector<Normal> fileNormals(const Mesh& mesh, std::span<const std::uint8_t> file,
                                std::uint32_t at) {
  const std::int32_t normalOffset = fvfComponentOffset(mesh.fvfFlags, kFvfNormal, 0);
  const auto count = static_cast<std::uint32_t>(mesh.vertices.count());
  if (normalOffset < 0 || count == 0 || file.size() < 8 || at > file.size() - 8) return {};
  const std::uint32_t payload = loadU32Le(file.data() + at + 4);
  const std::uint32_t stride = payload / count;
  if (payload % count != 0 || stride > 0x7FFFFFFFu) return {};
  std::vector<Normal> normals;
  try {
    normals.resize(count);
  } catch (const std::bad_alloc&) {
    return {};
  }
  const auto read =
      readNormals(file.data(), static_cast<std::uint32_t>(file.size()), std::int64_t{at} + 8,
                  static_cast<std::int32_t>(stride), count, normalOffset, normals.data());
  return read == count ? normals : std::vector<Normal>{};
}

// The records a values table may come from, where the model has them.
struct Holder {
  const Frame* frame = nullptr;
  const Mesh* mesh = nullptr;
  const Animation* animation = nullptr;
  const Bone* bone = nullptr;
};

// Mesh `entry` of the records; null where the load stopped before the model had it.
const Mesh* meshOf(const Model& model, const Records& records, std::int32_t entry) {
  if (entry < 0 || static_cast<std::size_t>(entry) >= records.meshes.size()) return nullptr;
  const auto [f, m] = records.meshes[static_cast<std::size_t>(entry)];
  const auto frame = static_cast<std::size_t>(f), mesh = static_cast<std::size_t>(m);
  if (f < 0 || m < 0 || frame >= model.frames.count()) return nullptr;
  return mesh < model.frames[frame].meshes.count() ? &model.frames[frame].meshes[mesh] : nullptr;
}

Holder holderOf(const Model& model, const Records& records, const Record& parent) {
  Holder held;
  const auto entry = static_cast<std::size_t>(parent.index);
  if (parent.kind == Record::Frame && parent.index >= 0 && entry < model.frames.count()) {
    held.frame = &model.frames[entry];
  }
  // A load that ran out of memory may have stopped between a record and its entry.
  if (parent.kind == Record::Mesh) held.mesh = meshOf(model, records, parent.index);
  if (parent.kind == Record::Bone && parent.index >= 0 && entry < records.bones.size()) {
    const auto [meshEntry, bone] = records.bones[entry];
    const Mesh* mesh = meshOf(model, records, meshEntry);
    if (mesh != nullptr && bone >= 0 && static_cast<std::uint64_t>(bone) < mesh->bones.count()) {
      held.bone = &mesh->bones.at(static_cast<std::uint64_t>(bone));
    }
  }
  if (parent.kind == Record::Animation && parent.index >= 0 && entry < records.animations.size()) {
    const auto [set, a] = records.animations[entry];
    const auto s = static_cast<std::size_t>(set), anim = static_cast<std::size_t>(a);
    if (s < model.animationSets.count() && anim < model.animationSets[s].animations.count()) {
      held.animation = &model.animationSets[s].animations[anim];
    }
  }
  return held;
}

struct Table {
  std::string title;
  std::vector<std::string> columns, rowLabels;
  std::vector<double>& values;
  std::vector<bool> integer;  // the columns of whole numbers; none where empty

  void push(std::initializer_list<double> numbers) {
    values.insert(values.end(), numbers.begin(), numbers.end());
  }
};

void vertexTable(const Mesh& mesh, std::span<const std::uint8_t> file, std::uint32_t at,
                 Table& table) {
  table.title = "Vertices";
  const bool colour = (mesh.fvfFlags & kFvfDiffuse) != 0;
  const std::uint32_t sets = std::min<std::uint32_t>(fvfTexCoordSets(mesh.fvfFlags), 2);
  const std::vector<Normal> normals = fileNormals(mesh, file, at);
  table.columns = {"x", "y", "z"};
  if (!normals.empty()) table.columns.insert(table.columns.end(), {"nx", "ny", "nz"});
  if (colour) table.columns.insert(table.columns.end(), {"r", "g", "b", "a"});
  if (sets >= 1) table.columns.insert(table.columns.end(), {"u0", "v0"});
  if (sets >= 2) table.columns.insert(table.columns.end(), {"u1", "v1"});
  for (std::size_t i = 0; i < static_cast<std::size_t>(mesh.vertices.count()); ++i) {
    const MeshVertex& v = mesh.vertices[i];
    table.push({v.position[0], v.position[1], v.position[2]});
    if (!normals.empty()) {
      table.push({normals[i].value[0], normals[i].value[1], normals[i].value[2]});
    }
    if (colour) table.push({v.diffuse[0], v.diffuse[1], v.diffuse[2], v.diffuse[3]});
    if (sets >= 1) table.push({v.texCoord0[0], v.texCoord0[1]});
    if (sets >= 2) table.push({v.texCoord1[0], v.texCoord1[1]});
  }
}

// A mesh's vertices, indices or material; false for another chunk.
bool meshTable(const Mesh& mesh, std::uint32_t code, std::span<const std::uint8_t> file,
               std::uint32_t at, Table& table) {
  if (code == chunk::MeshVertexData) {
    vertexTable(mesh, file, at, table);
  } else if (code == chunk::MeshIndexData) {
    table.title = "Indices";
    table.columns = {"index"};
    table.integer = {true};
    for (const std::uint32_t i : mesh.indices) table.values.push_back(i);
  } else if (code == chunk::MeshMaterial) {
    table.title = "Material";
    table.columns = {"r", "g", "b", "a"};
    table.rowLabels = {"diffuse", "ambient", "specular", "emissive", "power"};
    const Material& m = mesh.material;
    for (const float* colour : {m.diffuse, m.ambient, m.specular, m.emissive}) {
      table.push({colour[0], colour[1], colour[2], colour[3]});
    }
    table.push({m.power, NAN, NAN, NAN});
  } else {
    return false;
  }
  return true;
}

// An animation's keys of one kind; false for another chunk.
bool keyTable(const Animation& animation, std::uint32_t code, Table& table) {
  if (code == chunk::PositionData) {
    table.title = "Position keys";
    table.columns = {"time", "x", "y", "z"};
    for (const PositionKey& k : animation.positionKeys) {
      table.push({k.time, k.value[0], k.value[1], k.value[2]});
    }
  } else if (code == chunk::RotationData) {
    table.title = "Rotation keys";
    table.columns = {"time", "x", "y", "z", "w"};
    for (const RotationKey& k : animation.rotationKeys) {
      table.push({k.time, k.value[0], k.value[1], k.value[2], k.value[3]});
    }
  } else if (code == chunk::ScaleData) {
    table.title = "Scale keys";
    table.columns = {"time", "x", "y", "z"};
    for (const ScaleKey& k : animation.scaleKeys) {
      table.push({k.time, k.value[0], k.value[1], k.value[2]});
    }
  } else if (code == chunk::MatrixData) {
    table.title = "Matrix keys";
    table.columns = {"time"};
    for (int i = 1; i <= 16; ++i) table.columns.push_back("m" + std::to_string(i));
    for (const MatrixKey& k : animation.matrixKeys) {
      table.values.push_back(k.time);
      table.values.insert(table.values.end(), std::begin(k.matrix), std::end(k.matrix));
    }
  } else {
    return false;
  }
  return true;
}

// A bone's influences, from either of its two chunks: the vertices it moves and the weight of
// each, side by side (a count chunk between the two may have made one list longer).
void boneTable(const Bone& bone, Table& table) {
  table.title = "Bone vertices and weights";
  table.columns = {"vertex", "weight"};
  table.integer = {true, false};
  const std::int32_t n = std::max(bone.vertexIndices.count(), bone.weights.count());
  for (std::int32_t i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const double vertex =
        i < bone.vertexIndices.count() ? static_cast<double>(bone.vertexIndices[k]) : NAN;
    const double weight = i < bone.weights.count() ? static_cast<double>(bone.weights[k]) : NAN;
    table.push({vertex, weight});
  }
}

}  // namespace

// A mesh's vertices (position, normal, colour, texture sets) or indices, a frame's matrix, a
// material, an animation's keys, a bone's vertices and weights: what the walk read into the
// model for the chunk.
nlohmann::ordered_json valuesJson(const Model& model, const Records& records, const Record& holder,
                                  std::span<const std::uint8_t> file, std::uint32_t chunkOffset,
                                  std::vector<double>& values) {
  const std::uint32_t chunkCode = loadU32Le(file.data() + chunkOffset);
  nlohmann::ordered_json out;
  out["count"] = 0;
  const Holder held = holderOf(model, records, holder);
  Table table{{}, {}, {}, values, {}};
  bool made = false;
  if (held.frame && chunkCode == chunk::FrameMatrix) {
    table.title = "Frame matrix";
    table.columns = {"1", "2", "3", "4"};
    table.rowLabels = {"row 1", "row 2", "row 3", "row 4"};
    values.insert(values.end(), std::begin(held.frame->matrix), std::end(held.frame->matrix));
    made = true;
  } else if (held.mesh) {
    made = meshTable(*held.mesh, chunkCode, file, chunkOffset, table);
  } else if (held.animation) {
    made = keyTable(*held.animation, chunkCode, table);
  } else if (held.bone) {
    boneTable(*held.bone, table);
    made = true;
  }
  if (!made) return out;
  out["title"] = table.title;
  out["columns"] = table.columns;
  out["integer"] = table.integer.empty() ? std::vector<bool>(table.columns.size()) : table.integer;
  out["rowLabels"] = table.rowLabels;
  out["count"] = table.columns.empty() ? 0 : values.size() / table.columns.size();
  return out;
}

namespace {

// The chunk that starts the record each warning is about, by the records of a load of the same
// bytes: the export's frames, meshes, sets and animations are that load's, in the same order.
nlohmann::ordered_json warningChunks(const std::vector<gltf::Warnings::Warning>& warnings,
                                     const Records& records) {
  using Kind = gltf::Warnings::Subject::Kind;
  using Key = std::tuple<Kind, std::int64_t, std::int64_t>;
  constexpr std::uint32_t kNone = 0xFFFFFFFF;
  const auto keyOf = [](Kind kind, std::uint64_t first, std::uint64_t second) {
    return Key{kind, static_cast<std::int64_t>(first), static_cast<std::int64_t>(second)};
  };
  std::map<Key, std::uint32_t> wanted;
  for (const auto& w : warnings) {
    if (w.subject.kind != Kind::None) {
      wanted.emplace(keyOf(w.subject.kind, w.subject.first, w.subject.second), kNone);
    }
  }
  const auto entry = [](const auto& list, std::int32_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < list.size()
               ? list[static_cast<std::size_t>(index)]
               : std::pair<std::int32_t, std::int32_t>{-1, -1};
  };
  for (const Record& r : records.starts) {
    Key key{Kind::None, r.index, 0};
    if (r.kind == Record::Frame) std::get<0>(key) = Kind::Frame;
    if (r.kind == Record::Set) std::get<0>(key) = Kind::AnimationSet;
    if (r.kind == Record::Mesh || r.kind == Record::Animation) {
      const auto [first, second] =
          entry(r.kind == Record::Mesh ? records.meshes : records.animations, r.index);
      key = Key{r.kind == Record::Mesh ? Kind::Mesh : Kind::Animation, first, second};
    }
    const auto found = wanted.find(key);
    if (found != wanted.end() && found->second == kNone) found->second = r.offset;
  }
  auto chunks = nlohmann::ordered_json::array();
  for (const auto& w : warnings) {
    const auto found = wanted.find(keyOf(w.subject.kind, w.subject.first, w.subject.second));
    const bool known = found != wanted.end() && found->second != kNone;
    chunks.push_back(known ? nlohmann::ordered_json(found->second) : nullptr);
  }
  return chunks;
}

}  // namespace

nlohmann::ordered_json exportJson(std::span<const std::uint8_t> bytes, const char* folder,
                                  const std::vector<std::string>& textureFolders,
                                  const Records& records, std::vector<std::uint8_t>& glb) {
  nlohmann::ordered_json out;
  glb.clear();
  // Found among the dropped files, which the worker put in the in-memory file system.
  FolderImages images(TextureFolders{
      std::filesystem::path(folder), {textureFolders.begin(), textureFolders.end()}, nullptr});
  gltf::ExportOptions options;
  options.images = &images;
  options.generator = kGenerator;
  gltf::Export done = gltf::exportModel(bytes, options);
  if (!done.load.loaded) {
    out["ok"] = false;
    out["error"] = bytesAsText(describeFailure(done.load.failure));
    return out;
  }
  const bool ok = gltf::writeGlb(done, glb);
  out["ok"] = ok;
  out["error"] = done.failure;
  auto kept = nlohmann::ordered_json::array();
  for (const gltf::Warnings::Warning& w : done.warnings.kept()) {
    kept.push_back(bytesAsText(w.message) + " [" + std::string(issueName(w.code)) + "]");
  }
  out["warnings"] = std::move(kept);
  out["warningChunks"] = warningChunks(done.warnings.kept(), records);
  // The images the GLB holds, for the page to say which textures it drew.
  out["images"] = ok ? images.found() : std::vector<std::string>{};
  return out;
}

}  // namespace kxm::web
