// What of a mesh glTF cannot hold, kept in its extras (format/gltf_extras.h): the values the
// viewer only shows, the textures whole, the mesh's own material beside its ranges' own, and its
// geometry as the file has it: the vertex format, the primitive type and the indices as they
// were before they became triangle lists, the vertices and normals where the attributes cannot
// give them back bit for bit, the material ranges and the bones whole.
#include <cstring>

#include "export/builder.h"
#include "format/chunk_catalogue.h"

namespace kxm::gltf {

namespace {

using namespace extras;

Json keptStates(const std::vector<ShownState>& states) {
  Json list = Json::array();
  for (const ShownState& state : states) list.push_back({state.code, state.raw});
  return list;
}

Json keptTextures(const Mesh& mesh) {
  Json list = Json::array();
  for (std::size_t t = 0; t < mesh.textures.storedCount(); ++t) {
    const Texture& texture = mesh.textures.stored(t);
    Json entry = {{kName, nameToUtf8(texture.name)}};  // start and count where it has them
    if (texture.hasPrimitiveStart) entry[kStart] = texture.primitiveStart;
    if (texture.hasPrimitiveCount) entry[kCount] = texture.primitiveCount;
    if (!texture.states.empty()) entry[kStates] = keptStates(texture.states);
    list.push_back(std::move(entry));
  }
  return list;
}

// Records of plain floats as the words that hold them.
template <class Record>
void appendWords(const Record& record, std::vector<std::uint32_t>& words) {
  std::uint32_t held[kWords<Record>];
  std::memcpy(held, &record, sizeof(Record));
  words.insert(words.end(), std::begin(held), std::end(held));
}

// The records named, each as its index and its words.
template <class Record>
std::vector<std::uint32_t> recordsAt(const ValueArray<Record>& records,
                                     const std::vector<std::uint32_t>& which) {
  std::vector<std::uint32_t> words;
  words.reserve(which.size() * (1 + kWords<Record>));
  for (const std::uint32_t i : which) {
    words.push_back(i);
    appendWords(records[i], words);
  }
  return words;
}

std::vector<std::uint32_t> everyOne(std::int32_t count) {
  std::vector<std::uint32_t> all(static_cast<std::size_t>(std::max(count, 0)));
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint32_t>(i);
  return all;
}

// The indices the primitives give back when the import turns them as it reads them.
std::vector<std::uint32_t> turnedBack(const std::vector<std::uint32_t>& indices, int mode) {
  if (mode != kTriangles) return indices;
  std::vector<std::uint32_t> back;
  back.reserve(indices.size());
  for (std::size_t i = 0; i + 2 < indices.size(); i += 3)
    back.insert(back.end(), {indices[i], indices[i + 2], indices[i + 1]});
  return back;
}

}  // namespace

Json Builder::keptMesh(const MeshKept& kept) {
  const Mesh& mesh = kept.mesh;
  Json out = Json::object();
  if (!mesh.renderStates.empty()) out[kRenderStates] = keptStates(mesh.renderStates);
  Json absent = Json::array();
  for (const auto& [has, code] : {std::pair{mesh.has.fvfFlags, chunk::MeshFvfFlags},
                                  {mesh.has.fvfSize, chunk::MeshFvfSize},
                                  {mesh.has.primitiveType, chunk::MeshPrimitiveType},
                                  {mesh.has.drawVertexCount, chunk::MeshDrawVertexCount},
                                  {mesh.has.drawPrimitiveCount, chunk::MeshDrawPrimitiveCount},
                                  {mesh.has.material, chunk::MeshMaterial}}) {
    if (!has) absent.push_back(code);
  }
  if (!absent.empty()) out[kAbsent] = std::move(absent);
  Json textures = keptTextures(mesh);
  if (!textures.empty()) out[kTextures] = std::move(textures);
  // Each range's material is its primitive's; the mesh's own has no primitive.
  if (mesh.multiMaterials.count() > 0) out[kMaterial] = keptMaterial(mesh.material);
  out[kGeometry] = keptGeometry(kept);
  return out;
}

Json Builder::wholeMesh(const Frame& frame, const Mesh& mesh) {
  const std::vector<Primitive> none;
  const Json prims = Json::array(), attributes = Json::object();
  const bool normals = mesh.normals.count() == mesh.vertices.count();
  Inexact all{everyOne(mesh.vertices.count()), everyOne(normals ? mesh.normals.count() : 0)};
  Json out = keptMesh({frame, mesh, none, prims, attributes, std::move(all)});
  out[kMaterial] = keptMaterial(mesh.material);
  return out;
}

Json Builder::keptGeometry(const MeshKept& kept) {
  const Mesh& mesh = kept.mesh;
  const bool indexed = mesh.indices.count() > 0;
  Json g = {{kFvf, mesh.fvfFlags},
            {kType, mesh.primitiveType},
            {kIndexed, indexed},
            {kDrawVertices, mesh.drawVertexCount},
            {kDrawPrimitives, mesh.drawPrimitiveCount}};
  if (indexed) {
    std::vector<std::uint32_t> back;
    for (const Primitive& p : kept.primitives) {
      const std::vector<std::uint32_t> turned = turnedBack(p.indices, p.mode);
      back.insert(back.end(), turned.begin(), turned.end());
    }
    if (!std::equal(back.begin(), back.end(), mesh.indices.begin(), mesh.indices.end()))
      g[kIndices] = addWords({mesh.indices.begin(), mesh.indices.end()});
  }
  if (const int a = addWords(recordsAt(mesh.vertices, kept.inexact.vertices)); a >= 0)
    g[kVertices] = a;
  if (const int a = addWords(recordsAt(mesh.normals, kept.inexact.normals)); a >= 0)
    g[kNormals] = a;
  keepRanges(kept, g);
  keepBones(mesh, g);

  Fingerprint of;
  of.word(static_cast<std::uint32_t>(kept.prims.size()));
  for (const Json& prim : kept.prims) {
    of.word(static_cast<std::uint32_t>(prim.value("mode", static_cast<int>(kTriangles))));
    of.print(printOf(prim["indices"].get<int>()));
  }
  for (const char* name : kAttributes) {
    const bool has = kept.attributes.contains(name);
    of.word(has ? 1U : 0U);
    if (has) of.print(printOf(kept.attributes[name].get<int>()));
  }
  for (const char* key : {kIndices, kVertices, kNormals, kBoneVertices, kBoneWeights}) {
    of.word(g.contains(key) ? 1U : 0U);
    if (g.contains(key)) of.print(printOf(g[key].get<int>()));
  }
  g[kOf] = of.text();
  return g;
}

// Every range, with the primitive it became or, where it became none, its material.
void Builder::keepRanges(const MeshKept& kept, Json& geometry) {
  Json ranges = Json::array();
  for (std::size_t k = 0; k < kept.mesh.multiMaterials.storedCount(); ++k) {
    const MultiMaterial& range = kept.mesh.multiMaterials.stored(k);
    Json entry = {{kName, nameToUtf8(range.name)},
                  {kStart, range.indexStart},
                  {kCount, range.indexCount},
                  {kPolygons, range.polygonCount}};
    const auto drawn =
        std::find_if(kept.primitives.begin(), kept.primitives.end(),
                     [&](const Primitive& p) { return p.range == static_cast<int>(k); });
    if (drawn != kept.primitives.end())
      entry[kPrimitive] = drawn - kept.primitives.begin();
    else
      entry[kMaterial] = keptMaterial(range.material);
    ranges.push_back(std::move(entry));
  }
  if (!ranges.empty()) geometry[kRanges] = std::move(ranges);
}

// Every bone as the file has it: a skin holds only four normalised influences a vertex, and
// only of bones that name a frame.
void Builder::keepBones(const Mesh& mesh, Json& geometry) {
  if (mesh.bones.storedCount() == 0) return;
  Json bones = Json::array();
  std::vector<std::uint32_t> vertices, weights;
  for (std::size_t b = 0; b < mesh.bones.storedCount(); ++b) {
    const Bone& bone = mesh.bones.stored(b);
    bones.push_back({{kName, nameToUtf8(bone.name)},
                     {kMatrix, keptFloats(bone.translationMatrix, 16)},
                     {kVertices, bone.vertexIndices.count()},
                     {kWeights, bone.weights.count()}});
    for (const std::int32_t v : bone.vertexIndices)
      vertices.push_back(static_cast<std::uint32_t>(v));
    for (const float w : bone.weights) appendWords(w, weights);
  }
  geometry[kBones] = std::move(bones);
  if (const int a = addWords(vertices); a >= 0) geometry[kBoneVertices] = a;
  if (const int a = addWords(weights); a >= 0) geometry[kBoneWeights] = a;
}

}  // namespace kxm::gltf
