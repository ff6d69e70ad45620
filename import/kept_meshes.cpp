// A mesh as kxm export kept it (format/gltf_extras.h): its vertices from the attributes, or
// kept whole where those could not give them back, its vertex format, primitive type, indices,
// ranges and bones from the extras; the values the viewer only shows and the mesh's own
// material whatever its geometry. Every count and index is checked before it is used; a mesh
// whose extras are not as the export writes them is made from the glTF alone.
#include <cstring>

#include "format/chunk_catalogue.h"
#include "format/gltf_extras.h"
#include "import/importer.h"

namespace kxm::gltfin {

namespace {

using namespace extras;

constexpr std::uint32_t kMaxIndex = 65535;  // the file's indices are 16-bit

// Records kept as their index and their words, each put in its place in `out`: every index
// past the one before and below the array's count; or, for a mesh kept whole (`whole`), every
// record from the first, into an array of their count.
template <class Record>
bool patchFrom(const std::vector<std::uint32_t>& words, bool whole, ValueArray<Record>& out) {
  constexpr std::size_t per = 1 + kWords<Record>;
  const std::size_t n = words.size() / per;
  if (words.size() % per != 0 || n == 0 || n > static_cast<std::size_t>(INT32_MAX)) return false;
  if (whole && !out.allocate(static_cast<std::int32_t>(n))) throw std::bad_alloc();
  std::size_t next = 0;
  for (std::size_t r = 0; r < n; ++r) {
    const std::uint32_t at = words[r * per];
    if (at < next || at >= static_cast<std::size_t>(out.count()) || (whole && at != r))
      return false;
    std::memcpy(static_cast<void*>(&out[at]), &words[r * per + 1], sizeof(Record));
    next = std::size_t{at} + 1;
  }
  return true;
}

bool keptCount(const tinygltf::Value& entry, const char* key, std::int32_t& out) {
  const tinygltf::Value* v = keptValue(entry, key);
  return v != nullptr && keptInt(*v, out);
}

}  // namespace

bool Importer::keptGeometryFits(std::size_t m, const tinygltf::Value& geometry) {
  const tinygltf::Mesh& gm = doc_.meshes[m];
  Fingerprint now;
  now.word(static_cast<std::uint32_t>(gm.primitives.size()));
  for (const tinygltf::Primitive& prim : gm.primitives) {
    now.word(static_cast<std::uint32_t>(prim.mode));
    now.print(printOf(prim.indices));
  }
  for (const char* name : kAttributes) {
    const auto found = gm.primitives.front().attributes.find(name);
    const bool has = found != gm.primitives.front().attributes.end();
    now.word(has ? 1U : 0U);
    if (has) now.print(printOf(found->second));
  }
  for (const char* key : {kIndices, kVertices, kNormals, kBoneVertices, kBoneWeights}) {
    const tinygltf::Value* named = keptValue(geometry, key);
    std::int32_t a = -1;
    if (named == nullptr) {
      now.word(0U);
      continue;
    }
    if (!keptInt(*named, a) || a < 0 || static_cast<std::size_t>(a) >= doc_.accessors.size())
      return false;
    now.word(1U);
    now.print(printOf(a));
  }
  return keptFits(geometry, now);
}

bool Importer::meshFromKept(const tinygltf::Value& kept, const tinygltf::Mesh* gm, Mesh& mesh) {
  const tinygltf::Value* geometry = keptValue(kept, kGeometry);
  const tinygltf::Value* fvf = geometry ? keptValue(*geometry, kFvf) : nullptr;
  std::uint32_t flags = 0;
  if (fvf == nullptr || !keptWord(*fvf, flags) ||
      !keptCount(*geometry, kType, mesh.primitiveType) ||
      !keptCount(*geometry, kDrawVertices, mesh.drawVertexCount) ||
      !keptCount(*geometry, kDrawPrimitives, mesh.drawPrimitiveCount)) {
    return false;
  }
  if (gm != nullptr && !fillVertices(gm->primitives.front(), "", mesh)) throw std::bad_alloc();
  std::vector<std::uint32_t> words;
  if (const tinygltf::Value* vertices = keptValue(*geometry, kVertices)) {
    if (!keptWords(vertices, 0, words) || !patchFrom(words, gm == nullptr, mesh.vertices))
      return false;
  }
  if (const tinygltf::Value* normals = keptValue(*geometry, kNormals)) {
    if (!keptWords(normals, 0, words) || !patchFrom(words, gm == nullptr, mesh.normals) ||
        mesh.normals.count() != mesh.vertices.count()) {
      return false;
    }
  }
  mesh.fvfFlags = flags;
  return keptIndices(*geometry, gm, mesh) && keptRanges(*geometry, gm, mesh) &&
         keptBones(*geometry, mesh);
}

// The indices kept, or, where the primitives give them, theirs turned back one after another.
bool Importer::keptIndices(const tinygltf::Value& geometry, const tinygltf::Mesh* gm, Mesh& mesh) {
  const tinygltf::Value* indexed = keptValue(geometry, kIndexed);
  if (indexed == nullptr || !indexed->IsBool()) return false;
  if (!indexed->Get<bool>()) return true;
  std::vector<std::uint32_t> order;
  if (const tinygltf::Value* indices = keptValue(geometry, kIndices)) {
    if (!keptWords(indices, 0, order)) return false;
  } else if (gm != nullptr) {
    const auto vertices = static_cast<std::uint32_t>(mesh.vertices.count());
    std::string error;
    for (const tinygltf::Primitive& prim : gm->primitives)
      if (!appendIndices(prim, "", vertices, order, error)) return false;
  }
  if (order.empty() || order.size() > static_cast<std::size_t>(INT32_MAX) ||
      *std::max_element(order.begin(), order.end()) > kMaxIndex) {
    return false;
  }
  if (!mesh.indices.allocate(static_cast<std::int32_t>(order.size()))) throw std::bad_alloc();
  std::copy(order.begin(), order.end(), mesh.indices.begin());
  return true;
}

// Every range: the material of the primitive it became (named as that material is), or the
// one kept. With no ranges, the mesh's material is its one primitive's.
bool Importer::keptRanges(const tinygltf::Value& geometry, const tinygltf::Mesh* gm, Mesh& mesh) {
  const tinygltf::Value* list = keptValue(geometry, kRanges);
  if (keptLength(list) == 0 && gm != nullptr)
    setMaterial(gm->primitives.front().material, mesh.material);
  for (std::size_t i = 0; i < keptLength(list); ++i) {
    const tinygltf::Value& entry = list->Get(static_cast<int>(i));
    MultiMaterial* range = mesh.multiMaterials.append();
    if (range == nullptr) throw std::bad_alloc();
    const tinygltf::Value* name = keptValue(entry, kName);
    if (name == nullptr || !keptName(*name, range->name) ||
        !keptCount(entry, kStart, range->indexStart) ||
        !keptCount(entry, kCount, range->indexCount) ||
        !keptCount(entry, kPolygons, range->polygonCount)) {
      return false;
    }
    std::int32_t p = -1;
    if (const tinygltf::Value* material = keptValue(entry, kMaterial)) {
      if (!keptMaterial(*material, range->material)) return false;
    } else if (gm != nullptr && keptCount(entry, kPrimitive, p) && p >= 0 &&
               static_cast<std::size_t>(p) < gm->primitives.size()) {
      const int m = gm->primitives[static_cast<std::size_t>(p)].material;
      if (m >= 0) copyName(doc_.materials[static_cast<std::size_t>(m)].name, range->name);
      setMaterial(m, range->material);
    } else {
      return false;
    }
  }
  return true;
}

// Every bone whole: its name and matrix, and its vertices and weights, each bone's in turn in
// the two accessors the extras name.
bool Importer::keptBones(const tinygltf::Value& geometry, Mesh& mesh) {
  const tinygltf::Value* list = keptValue(geometry, kBones);
  std::uint64_t vertexCount = 0, weightCount = 0;
  std::vector<std::pair<std::int32_t, std::int32_t>> counts;
  for (std::size_t i = 0; i < keptLength(list); ++i) {
    const tinygltf::Value& entry = list->Get(static_cast<int>(i));
    std::int32_t v = -1, w = -1;
    if (!keptCount(entry, kVertices, v) || !keptCount(entry, kWeights, w) || v < 0 || w < 0)
      return false;
    counts.push_back({v, w});
    vertexCount += static_cast<std::uint64_t>(v);
    weightCount += static_cast<std::uint64_t>(w);
  }
  std::vector<std::uint32_t> vertices, weights;
  auto words = [&](const char* key, std::uint64_t count, std::vector<std::uint32_t>& out) {
    const tinygltf::Value* named = keptValue(geometry, key);
    return count == 0 ? named == nullptr : keptWords(named, count, out);
  };
  if (!words(kBoneVertices, vertexCount, vertices) || !words(kBoneWeights, weightCount, weights))
    return false;
  std::size_t atVertex = 0, atWeight = 0;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const tinygltf::Value& entry = list->Get(static_cast<int>(i));
    Bone* bone = mesh.bones.append();
    if (bone == nullptr) throw std::bad_alloc();
    const tinygltf::Value* name = keptValue(entry, kName);
    const tinygltf::Value* matrix = keptValue(entry, kMatrix);
    if (name == nullptr || !keptName(*name, bone->name) || matrix == nullptr ||
        !keptFloats(*matrix, bone->translationMatrix, 16)) {
      return false;
    }
    const auto [v, w] = counts[i];
    if ((v > 0 && !bone->vertexIndices.allocate(v)) || (w > 0 && !bone->weights.allocate(w)))
      throw std::bad_alloc();
    for (std::int32_t k = 0; k < v; ++k)
      bone->vertexIndices[static_cast<std::size_t>(k)] =
          static_cast<std::int32_t>(vertices[atVertex++]);
    if (w > 0)
      std::memcpy(bone->weights.data(), weights.data() + atWeight, static_cast<std::size_t>(w) * 4);
    atWeight += static_cast<std::size_t>(w);
  }
  return true;
}

// What a mesh has whatever its geometry: the values the viewer only shows, the textures with
// their states and ranges, the mesh's own material beside its ranges' own.
void Importer::keptState(const tinygltf::Value* kept, const std::string& where, Mesh& mesh) {
  if (kept == nullptr) return;
  const tinygltf::Value* states = keptValue(*kept, kRenderStates);
  if (states != nullptr && !keptStates(*states, false, mesh.renderStates))
    ignored(where, "render states are not as kxm export writes them");
  const tinygltf::Value* absent = keptValue(*kept, kAbsent);
  for (std::size_t i = 0; i < keptLength(absent); ++i) {
    std::uint32_t code = 0;
    if (!keptWord(absent->Get(static_cast<int>(i)), code)) code = 0;
    bool* has = code == chunk::MeshFvfFlags             ? &mesh.has.fvfFlags
                : code == chunk::MeshFvfSize            ? &mesh.has.fvfSize
                : code == chunk::MeshPrimitiveType      ? &mesh.has.primitiveType
                : code == chunk::MeshDrawVertexCount    ? &mesh.has.drawVertexCount
                : code == chunk::MeshDrawPrimitiveCount ? &mesh.has.drawPrimitiveCount
                : code == chunk::MeshMaterial           ? &mesh.has.material
                                                        : nullptr;
    if (has != nullptr)
      *has = false;
    else
      ignored(where, "name a chunk a mesh must have, or none");
  }
  const tinygltf::Value* material = keptValue(*kept, kMaterial);
  if (material != nullptr && !keptMaterial(*material, mesh.material))
    ignored(where, "material is not as kxm export writes it");
  const tinygltf::Value* list = keptValue(*kept, kTextures);
  std::vector<Texture> textures(keptLength(list));
  for (std::size_t t = 0; t < textures.size(); ++t) {
    const tinygltf::Value& entry = list->Get(static_cast<int>(t));
    Texture& texture = textures[t];
    if (keptName(entry, texture.name)) continue;  // a name alone, as earlier exports kept it
    const tinygltf::Value* name = keptValue(entry, kName);
    const tinygltf::Value* shown = keptValue(entry, kStates);
    texture.hasPrimitiveStart = keptValue(entry, kStart) != nullptr;
    texture.hasPrimitiveCount = keptValue(entry, kCount) != nullptr;
    if (name == nullptr || !keptName(*name, texture.name) ||
        (texture.hasPrimitiveStart && !keptCount(entry, kStart, texture.primitiveStart)) ||
        (texture.hasPrimitiveCount && !keptCount(entry, kCount, texture.primitiveCount)) ||
        (shown != nullptr && !keptStates(*shown, true, texture.states))) {
      ignored(where, "textures are not as kxm export writes them");
      return;
    }
  }
  for (Texture& texture : textures) {
    Texture* added = mesh.textures.append();
    if (added == nullptr) throw std::bad_alloc();
    *added = std::move(texture);
  }
}

}  // namespace kxm::gltfin
