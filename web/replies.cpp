#include "web/replies.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <new>
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

// The records a values table may come from: the chunk's parent's, where the model has it.
struct Holder {
  const Frame* frame = nullptr;
  const Mesh* mesh = nullptr;
  const Animation* animation = nullptr;
};

Holder holderOf(const Model& model, const Records& records, const Record& parent) {
  Holder held;
  const auto entry = static_cast<std::size_t>(parent.index);
  if (parent.kind == Record::Frame && parent.index >= 0 && entry < model.frames.count()) {
    held.frame = &model.frames[entry];
  }
  // A load that ran out of memory may have stopped between a record and its entry.
  if (parent.kind == Record::Mesh && parent.index >= 0 && entry < records.meshes.size()) {
    const auto [f, m] = records.meshes[entry];
    const auto frame = static_cast<std::size_t>(f), mesh = static_cast<std::size_t>(m);
    if (frame < model.frames.count() && mesh < model.frames[frame].meshes.count()) {
      held.mesh = &model.frames[frame].meshes[mesh];
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

}  // namespace

// A mesh's vertices (position, normal, colour, texture sets) or indices, a frame's matrix, a
// material, an animation's keys: what the walk read into the model for the chunk.
nlohmann::ordered_json valuesJson(const Model& model, const Records& records, const Record& parent,
                                  std::span<const std::uint8_t> file, std::uint32_t chunkOffset,
                                  std::vector<double>& values) {
  const std::uint32_t chunkCode = loadU32Le(file.data() + chunkOffset);
  nlohmann::ordered_json out;
  out["count"] = 0;
  const Holder held = holderOf(model, records, parent);
  Table table{{}, {}, {}, values};
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
  }
  if (!made) return out;
  out["title"] = table.title;
  out["columns"] = table.columns;
  out["rowLabels"] = table.rowLabels;
  out["count"] = table.columns.empty() ? 0 : values.size() / table.columns.size();
  return out;
}

nlohmann::ordered_json exportJson(std::span<const std::uint8_t> bytes, const char* folder,
                                  const std::vector<std::string>& textureFolders,
                                  std::vector<std::uint8_t>& glb) {
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
  // The images the GLB holds, for the page to say which textures it drew.
  out["images"] = ok ? images.found() : std::vector<std::string>{};
  return out;
}

}  // namespace kxm::web
