#include "cli/info_command.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#include "cli/diagnostics.h"
#include "cli/huge_page_blocks.h"
#include "cli/json_writer.h"
#include "format/vertex_format.h"
#include "model/model.h"
#include "model/primitive_type.h"
#include "model/summary.h"
#include "text/escape.h"
#include "text/format.h"
#include "textures/texture_files.h"

namespace kxm {

namespace {

// Lists of a hostile file can claim billions of elements; a summary names the first ones.
constexpr std::uint64_t kListedElements = 100;
// Indentation stops growing here, so a hierarchy a million deep still prints in linear time.
constexpr std::size_t kDeepestIndent = 32;

std::int64_t trianglesOf(const Mesh& mesh) {
  const std::int64_t n = mesh.indices.count() > 0 ? mesh.indices.count() : mesh.vertices.count();
  return trianglesDrawn(primitiveTypeOf(mesh.primitiveType), n);
}

struct Bounds {
  float min[3] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                  std::numeric_limits<float>::infinity()};
  float max[3] = {-std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                  -std::numeric_limits<float>::infinity()};
  bool empty = true;
};

Bounds boundsOf(const Mesh& mesh) {
  Bounds b;
  for (const MeshVertex& vertex : mesh.vertices) {
    const float* p = vertex.position;
    if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) continue;
    for (int i = 0; i < 3; ++i) {
      b.min[i] = std::min(b.min[i], p[i]);
      b.max[i] = std::max(b.max[i], p[i]);
    }
    b.empty = false;
  }
  return b;
}

struct TimeRange {
  std::uint64_t keys = 0;
  float first = 0, last = 0;
};

template <class Key>
void addKeys(TimeRange& range, const ValueArray<Key>& keys) {
  for (const Key& key : keys) {
    const float t = key.time;
    range.first = range.keys == 0 ? t : std::min(range.first, t);
    range.last = range.keys == 0 ? t : std::max(range.last, t);
    ++range.keys;
  }
}

TimeRange timeRangeOf(const Animation& a) {
  TimeRange range;
  addKeys(range, a.positionKeys);
  addKeys(range, a.rotationKeys);
  addKeys(range, a.scaleKeys);
  addKeys(range, a.matrixKeys);
  return range;
}

std::string number(double value) {
  return shortNumber(value);
}

// What the export would make of a texture name: the file it would use, or why there is none.
std::string textureFileText(const TextureFile& file) {
  switch (file.match) {
    case TextureFile::Match::Exact: return "file " + quotedLabel(file.shown);
    case TextureFile::Match::OtherCase:
      return "file " + quotedLabel(file.shown) + " (other capitals)";
    case TextureFile::Match::OtherExtension:
      return "file " + quotedLabel(file.shown) + " stands in";
    case TextureFile::Match::None: break;
  }
  return "no file: " + file.why;
}

const char* matchName(TextureFile::Match match) {
  switch (match) {
    case TextureFile::Match::Exact: return "exact";
    case TextureFile::Match::OtherCase: return "other-case";
    case TextureFile::Match::OtherExtension: return "other-extension";
    case TextureFile::Match::None: break;
  }
  return "none";
}

void writeColour(JsonWriter& json, const char* name, const float* colour, int components) {
  json.key(name).beginArray();
  for (int i = 0; i < components; ++i) json.real(colour[i]);
  json.endArray();
}

void writeMaterial(JsonWriter& json, const Material& material) {
  json.beginObject();
  writeColour(json, "diffuse", material.diffuse, 4);
  writeColour(json, "ambient", material.ambient, 4);
  writeColour(json, "specular", material.specular, 4);
  writeColour(json, "emissive", material.emissive, 4);
  json.key("power").real(material.power);
  json.endObject();
}

class Summary {
 public:
  Summary(const Model& model, TextureFolders folders)
      : model_(model), folders_(std::move(folders)) {}

  void text(std::string& out) const;
  void json(JsonWriter& json) const;

 private:
  TextureFile textureFile(const char* name) const {
    return findTexture(folders_, {name, strnlen(name, kNameSize)});
  }
  void meshText(std::string& out, const Mesh& mesh, std::size_t m, const std::string& pad) const;
  void meshJson(JsonWriter& json, const Mesh& mesh) const;

  const Model& model_;
  TextureFolders folders_;
};

void Summary::meshText(std::string& out, const Mesh& mesh, std::size_t m,
                       const std::string& pad) const {
  char letters[6];
  fvfComponentLetters(mesh.fvfFlags, letters);
  // Meshes are counted from 1 in every message of kxm's, as a person counts them
  // ("the first mesh"): info, check, the export's warnings and diff say the same number.
  out += pad + "mesh " + std::to_string(m + 1) + ": " + (letters[0] ? letters : "no components") +
         ", " + plural(static_cast<std::uint64_t>(mesh.vertices.count()), "vertex", "vertices") +
         ", " + plural(static_cast<std::uint64_t>(mesh.indices.count()), "index", "indices") +
         ", " + plural(static_cast<std::uint64_t>(trianglesOf(mesh)), "triangle", "triangles") +
         " (" + primitiveTypeName(primitiveTypeOf(mesh.primitiveType)) + ")\n";
  const Bounds b = boundsOf(mesh);
  if (!b.empty) {
    out += pad + "  bounds: (" + number(b.min[0]) + ", " + number(b.min[1]) + ", " +
           number(b.min[2]) + ") to (" + number(b.max[0]) + ", " + number(b.max[1]) + ", " +
           number(b.max[2]) + ")\n";
  }
  const Material& mat = mesh.material;
  out += pad + "  material: diffuse " + number(mat.diffuse[0]) + " " + number(mat.diffuse[1]) +
         " " + number(mat.diffuse[2]) + " " + number(mat.diffuse[3]) + ", emissive " +
         number(mat.emissive[0]) + " " + number(mat.emissive[1]) + " " + number(mat.emissive[2]) +
         ", power " + number(mat.power) + "\n";
  auto listed = [&](std::uint64_t count, const char* what, auto line) {
    if (count == 0) return;
    out += pad + "  " + what + " (" + std::to_string(count) + "):\n";
    for (std::uint64_t i = 0; i < std::min(count, kListedElements); ++i)
      out += pad + "    " + line(i) + "\n";
    if (count > kListedElements) {
      out += pad + "    ... " + std::to_string(count - kListedElements) + " more\n";
    }
  };
  listed(mesh.multiMaterials.count(), "multi-materials", [&](std::uint64_t i) {
    const MultiMaterial& e = mesh.multiMaterials.at(i);
    return quotedLabel(e.name) + " indices " + std::to_string(e.indexStart) + " to " +
           std::to_string(std::int64_t{e.indexStart} + e.indexCount) + ", diffuse " +
           number(e.material.diffuse[0]) + " " + number(e.material.diffuse[1]) + " " +
           number(e.material.diffuse[2]) + " " + number(e.material.diffuse[3]);
  });
  listed(mesh.textures.count(), "textures", [&](std::uint64_t i) {
    const Texture& t = mesh.textures.at(i);
    return quotedLabel(t.name) + ": " + textureFileText(textureFile(t.name)) + ", primitives " +
           std::to_string(t.primitiveStart) + " to " +
           std::to_string(std::int64_t{t.primitiveStart} + t.primitiveCount);
  });
  listed(mesh.bones.count(), "bones", [&](std::uint64_t i) {
    const Bone& bone = mesh.bones.at(i);
    return quotedLabel(bone.name) + " " + std::to_string(bone.vertexIndices.count()) + " vertices";
  });
}

void Summary::text(std::string& out) const {
  const auto order = framesInHierarchy(model_);
  out += "frames (" + std::to_string(model_.frames.count()) + "):\n";
  for (const auto& [f, depth] : order) {
    const Frame& frame = model_.frames[f];
    std::string pad(2 + 2 * std::min(depth, kDeepestIndent), ' ');
    if (depth > kDeepestIndent) pad += "(depth " + std::to_string(depth) + ") ";
    out += pad + quotedLabel(frame.name) + "\n";
    for (std::size_t m = 0; m < frame.meshes.count(); ++m) {
      meshText(out, frame.meshes[m], m, pad + "  ");
    }
  }
  out += "animation sets (" + std::to_string(model_.animationSets.count()) + "):\n";
  for (const AnimationSet& set : model_.animationSets) {
    out += "  " + quotedLabel(set.name) + " length " + number(set.length) + ", " +
           plural(set.animations.count(), "animation", "animations") + "\n";
    for (const Animation& anim : set.animations) {
      const TimeRange range = timeRangeOf(anim);
      out += "    " + quotedLabel(anim.boneName) + ": " +
             std::to_string(anim.positionKeys.count()) + " position, " +
             std::to_string(anim.rotationKeys.count()) + " rotation, " +
             std::to_string(anim.scaleKeys.count()) + " scale, " +
             std::to_string(anim.matrixKeys.count()) + " matrix keys";
      if (range.keys > 0) out += ", time " + number(range.first) + " to " + number(range.last);
      out += "\n";
    }
  }
  const ModelStats t = statsOf(model_);
  out +=
      "totals: " + plural(t.frames, "frame", "frames") + ", " + plural(t.meshes, "mesh", "meshes") +
      ", " + plural(t.vertices, "vertex", "vertices") + ", " +
      plural(t.indices, "index", "indices") + ", " + plural(t.triangles, "triangle", "triangles") +
      ", " + plural(t.textures, "texture", "textures") + ", " +
      plural(t.multiMaterials, "multi-material", "multi-materials") + ", " +
      plural(t.bones, "bone", "bones") + ", " +
      plural(t.animationSets, "animation set", "animation sets") + ", " +
      plural(t.animations, "animation", "animations") + ", " + plural(t.keys, "key", "keys") + "\n";
}

void Summary::meshJson(JsonWriter& json, const Mesh& mesh) const {
  char letters[6];
  fvfComponentLetters(mesh.fvfFlags, letters);
  json.beginObject();
  json.key("format").string(letters);
  json.key("vertices").number(std::int64_t{mesh.vertices.count()});
  json.key("indices").number(std::int64_t{mesh.indices.count()});
  json.key("triangles").number(trianglesOf(mesh));
  json.key("primitiveType").number(std::int64_t{mesh.primitiveType});
  const Bounds b = boundsOf(mesh);
  json.key("bounds");
  if (b.empty) {
    json.null();
  } else {
    json.beginObject();
    json.key("min").beginArray();
    for (float v : b.min) json.real(v);
    json.endArray().key("max").beginArray();
    for (float v : b.max) json.real(v);
    json.endArray().endObject();
  }
  json.key("material");
  writeMaterial(json, mesh.material);
  json.key("textures").beginArray();
  for (std::uint64_t i = 0; i < std::min(mesh.textures.count(), kListedElements); ++i) {
    const Texture& t = mesh.textures.at(i);
    const TextureFile file = textureFile(t.name);
    const bool found = file.match != TextureFile::Match::None;
    json.beginObject().key("name").string(t.name).key("found").boolean(found);
    json.key("file");
    found ? json.string(file.shown) : json.null();
    json.key("match").string(matchName(file.match));
    if (!found) json.key("why").string(file.why);
    json.key("primitiveStart").number(std::int64_t{t.primitiveStart});
    json.key("primitiveCount").number(std::int64_t{t.primitiveCount}).endObject();
  }
  json.endArray();
  json.key("multiMaterials").beginArray();
  for (std::uint64_t i = 0; i < std::min(mesh.multiMaterials.count(), kListedElements); ++i) {
    const MultiMaterial& e = mesh.multiMaterials.at(i);
    json.beginObject().key("name").string(e.name);
    json.key("indexStart").number(std::int64_t{e.indexStart});
    json.key("indexCount").number(std::int64_t{e.indexCount});
    json.key("material");
    writeMaterial(json, e.material);
    json.endObject();
  }
  json.endArray();
  json.key("bones").beginArray();
  for (std::uint64_t i = 0; i < std::min(mesh.bones.count(), kListedElements); ++i) {
    const Bone& bone = mesh.bones.at(i);
    json.beginObject().key("name").string(bone.name);
    json.key("vertices").number(std::int64_t{bone.vertexIndices.count()}).endObject();
  }
  json.endArray();
  json.endObject();
}

void Summary::json(JsonWriter& json) const {
  json.key("frames").beginArray();
  for (const auto& [f, depth] : framesInHierarchy(model_)) {
    const Frame& frame = model_.frames[f];
    json.beginObject();
    json.key("index").number(std::uint64_t{f});
    json.key("name").string(frame.name);
    json.key("parent").number(std::int64_t{frame.parentIndex});
    json.key("meshes").beginArray();
    for (std::size_t m = 0; m < frame.meshes.count(); ++m) meshJson(json, frame.meshes[m]);
    json.endArray().endObject();
  }
  json.endArray();
  json.key("animationSets").beginArray();
  for (const AnimationSet& set : model_.animationSets) {
    json.beginObject().key("name").string(set.name).key("length").real(set.length);
    json.key("animations").beginArray();
    for (const Animation& anim : set.animations) {
      const TimeRange range = timeRangeOf(anim);
      json.beginObject().key("bone").string(anim.boneName);
      json.key("positionKeys").number(std::int64_t{anim.positionKeys.count()});
      json.key("rotationKeys").number(std::int64_t{anim.rotationKeys.count()});
      json.key("scaleKeys").number(std::int64_t{anim.scaleKeys.count()});
      json.key("matrixKeys").number(std::int64_t{anim.matrixKeys.count()});
      json.key("timeRange");
      if (range.keys == 0) {
        json.null();
      } else {
        json.beginArray().real(range.first).real(range.last).endArray();
      }
      json.endObject();
    }
    json.endArray().endObject();
  }
  json.endArray();
  const ModelStats t = statsOf(model_);
  json.key("totals").beginObject();
  json.key("frames").number(t.frames).key("meshes").number(t.meshes);
  json.key("vertices").number(t.vertices).key("indices").number(t.indices);
  json.key("triangles").number(t.triangles).key("textures").number(t.textures);
  json.key("multiMaterials").number(t.multiMaterials).key("bones").number(t.bones);
  json.key("animationSets").number(t.animationSets).key("animations").number(t.animations);
  json.key("keys").number(t.keys);
  json.endObject();
}

}  // namespace

Tally infoFile(const InfoRequest& request, const Input& input, Output& out, Output& err) {
  Tally tally;
  tally.files = 1;
  Model model;
  const LoadOutcome outcome = loadInput(input, model, nullptr, nullptr, hugePageBlocks());
  if (!outcome.loaded) {
    err.write(diagnosticLine(input.shown, issueOf(outcome.failure)));
    tally.failed = 1;
    tally.errors = 1;
    tally.failedRun = true;
  } else {
    tally.loaded = 1;
  }
  if (request.quiet) return tally;
  if (request.json) {
    JsonWriter json(out);
    json.beginObject();
    writeLoadHead(json, input.shown, outcome);
    if (outcome.loaded)
      Summary(model, textureFoldersFor(input, request.textureDirs, request.folders)).json(json);
    json.endObject();
    json.finish();
  } else if (outcome.loaded) {
    std::string text = input.shown + "\n";
    Summary(model, textureFoldersFor(input, request.textureDirs, request.folders)).text(text);
    out.write(text);
  }
  return tally;
}

}  // namespace kxm
