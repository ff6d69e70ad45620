// Each glTF mesh on a node becomes meshes of that node's frame: primitives that share their
// vertices become one mesh whose multi-materials are the primitives, any other primitive a mesh
// of its own. Triangles turn back for the unmirrored space; strips and fans become lists.
#include <algorithm>
#include <cstring>

#include "format/gltf_extras.h"
#include "format/vertex_format.h"
#include "import/accessors.h"
#include "import/importer.h"
#include "model/primitive_type.h"

namespace kxm::gltfin {

namespace {

constexpr std::uint32_t kMaxIndexed = 65536;  // the file's indices are 16-bit

int attribute(const tinygltf::Primitive& prim, const std::string& name) {
  const auto found = prim.attributes.find(name);
  return found == prim.attributes.end() ? -1 : found->second;
}

bool sameVertices(const tinygltf::Primitive& a, const tinygltf::Primitive& b) {
  auto family = [](int mode) { return mode >= 4 ? 4 : mode; };
  return a.attributes == b.attributes && family(a.mode) == family(b.mode);
}

std::int32_t typeOf(int mode) {
  switch (mode) {
    case 0: return static_cast<std::int32_t>(PrimitiveType::PointList);
    case 1: return static_cast<std::int32_t>(PrimitiveType::LineList);
    case 2:
    case 3: return static_cast<std::int32_t>(PrimitiveType::LineStrip);
    default: return static_cast<std::int32_t>(PrimitiveType::TriangleList);
  }
}

}  // namespace

bool Importer::fillVertices(const tinygltf::Primitive& prim, const std::string& where, Mesh& mesh) {
  const auto position = static_cast<std::size_t>(attribute(prim, "POSITION"));
  const std::size_t n = doc_.accessors[position].count;
  if (n == 0 || !mesh.vertices.allocate(static_cast<std::int32_t>(n), blocks())) return false;
  const std::vector<float>& xyz = floats(position);
  for (std::size_t v = 0; v < n; ++v) {
    const double p[3] = {xyz[v * 3], xyz[v * 3 + 1], xyz[v * 3 + 2]};
    mesh.vertices[v] = MeshVertex{};  // white where the glTF has no colours, as the reader says
    pointFromGltf(p, mesh.vertices[v].position);
  }
  mesh.fvfFlags = kFvfPosition;
  if (const int a = attribute(prim, "NORMAL"); a >= 0) {
    const std::vector<float>& normals = floats(static_cast<std::size_t>(a));
    if (!mesh.normals.allocate(static_cast<std::int32_t>(n), blocks())) return false;
    for (std::size_t v = 0; v < n; ++v) {
      const double p[3] = {normals[v * 3], normals[v * 3 + 1], normals[v * 3 + 2]};
      pointFromGltf(p, mesh.normals[v].value);
    }
    mesh.fvfFlags |= kFvfNormal;
  }
  if (const int a = attribute(prim, "COLOR_0"); a >= 0) {
    const std::vector<float>& colours = floats(static_cast<std::size_t>(a));
    const std::size_t k = colours.size() / n;
    for (std::size_t v = 0; v < n; ++v)
      for (std::size_t c = 0; c < k; ++c) mesh.vertices[v].diffuse[c] = colours[v * k + c];
    mesh.fvfFlags |= kFvfDiffuse;
  }
  std::uint32_t sets = 0;
  while (attribute(prim, "TEXCOORD_" + std::to_string(sets)) >= 0) ++sets;
  if (sets > 2) {
    warn(IssueCode::TexCoordSetsDropped,
         where + ": " + std::to_string(sets - 2) +
             " texture coordinate set(s) past the two a vertex holds; left out");
  }
  for (std::uint32_t s = 0; s < std::min(sets, 2U); ++s) {
    const auto a = static_cast<std::size_t>(attribute(prim, "TEXCOORD_" + std::to_string(s)));
    const std::vector<float>& uv = floats(a);
    for (std::size_t v = 0; v < n; ++v) {
      float* to = s == 0 ? mesh.vertices[v].texCoord0 : mesh.vertices[v].texCoord1;
      to[0] = uv[v * 2], to[1] = uv[v * 2 + 1];
    }
  }
  mesh.fvfFlags |= std::min(sets, 2U) << 8;  // two-float sets: size code 0
  if (!prim.targets.empty()) {
    warn(IssueCode::ImportLeftOut,
         where + ": " + std::to_string(prim.targets.size()) + " morph target(s) left out");
  }
  return true;
}

// The primitive's elements as the file draws them, appended to `out`: every index below the
// vertex count, triangles turned back, strips and fans as lists, a loop closed as a strip.
bool Importer::appendIndices(const tinygltf::Primitive& prim, const std::string& where,
                             std::uint32_t vertices, std::vector<std::uint32_t>& out,
                             std::string& error) {
  std::vector<std::uint32_t> in;
  if (prim.indices >= 0) {
    in = readUnsigned(doc_, static_cast<std::size_t>(prim.indices));
    for (std::size_t i = 0; i < in.size(); ++i) {
      if (in[i] >= vertices) {
        error = where + "/indices: index " + std::to_string(in[i]) + " (element " +
                std::to_string(i) + ") is past the " + std::to_string(vertices) + " vertices";
        return false;
      }
    }
  } else {
    in.resize(vertices);
    for (std::uint32_t v = 0; v < vertices; ++v) in[v] = v;
  }
  const std::size_t n = in.size();
  switch (prim.mode) {
    case 4:
      for (std::size_t i = 0; i + 2 < n; i += 3)
        out.insert(out.end(), {in[i], in[i + 2], in[i + 1]});
      break;
    case 5:
      for (std::size_t i = 0; i + 2 < n; ++i) {
        if (i % 2 == 0)
          out.insert(out.end(), {in[i], in[i + 2], in[i + 1]});
        else
          out.insert(out.end(), {in[i + 1], in[i + 2], in[i]});
      }
      break;
    case 6:
      for (std::size_t i = 1; i + 1 < n; ++i) out.insert(out.end(), {in[0], in[i + 1], in[i]});
      break;
    case 2:
      out.insert(out.end(), in.begin(), in.end());
      if (n > 1) out.push_back(in[0]);
      break;
    default: out.insert(out.end(), in.begin(), in.end());
  }
  return true;
}

namespace {

// Past 65,536 vertices the file's 16-bit indices cannot name them all: the vertices are then
// laid out in the order they are drawn, and the mesh has no indices.
bool unindex(const std::vector<std::uint32_t>& order, Mesh& mesh) {
  const auto n = static_cast<std::int32_t>(order.size());
  if (n <= 0 || static_cast<std::size_t>(n) != order.size()) return false;
  const std::vector<MeshVertex> vertices(mesh.vertices.begin(), mesh.vertices.end());
  const std::vector<Normal> normals(mesh.normals.begin(), mesh.normals.end());
  if (!mesh.vertices.allocate(n) || (!normals.empty() && !mesh.normals.allocate(n))) return false;
  for (std::size_t i = 0; i < order.size(); ++i) {
    mesh.vertices[i] = vertices[order[i]];
    if (!normals.empty()) mesh.normals[i] = normals[order[i]];
  }
  return true;
}

}  // namespace

// The primitives first to last, which share their vertices, as one mesh: ranges where there are
// several (or one whose material kxm export named apart from its mesh), as glTF draws them.
bool Importer::addGroup(std::size_t node, std::size_t f, std::size_t first, std::size_t last,
                        Mesh& mesh, std::string& error) {
  const auto m = static_cast<std::size_t>(doc_.nodes[node].mesh);
  const tinygltf::Mesh& gm = doc_.meshes[m];
  const tinygltf::Primitive& prim = gm.primitives[first];
  const std::string where = "/meshes/" + std::to_string(m) + "/primitives/" + std::to_string(first);
  if (!fillVertices(prim, where, mesh)) throw std::bad_alloc();
  const auto vertices = static_cast<std::uint32_t>(mesh.vertices.count());
  mesh.primitiveType = typeOf(prim.mode);
  std::vector<std::uint32_t> order;
  for (std::size_t p = first; p < last; ++p) {
    const std::size_t start = order.size();
    const std::string at = "/meshes/" + std::to_string(m) + "/primitives/" + std::to_string(p);
    if (!appendIndices(gm.primitives[p], at, vertices, order, error)) return false;
    const bool named =
        ours_ && gm.primitives[p].material >= 0 &&
        doc_.materials[static_cast<std::size_t>(gm.primitives[p].material)].name != gm.name;
    if (last - first == 1 && !named) {
      setMaterial(gm.primitives[p].material, mesh.material);
      continue;
    }
    MultiMaterial* range = mesh.multiMaterials.append();
    if (range == nullptr) throw std::bad_alloc();
    const int mat = gm.primitives[p].material;
    if (mat >= 0) copyName(doc_.materials[static_cast<std::size_t>(mat)].name, range->name);
    setMaterial(mat, range->material);
    range->indexStart = static_cast<std::int32_t>(start);
    range->indexCount = static_cast<std::int32_t>(order.size() - start);
    range->polygonCount = static_cast<std::int32_t>(
        primitivesDrawn(primitiveTypeOf(mesh.primitiveType), range->indexCount));
  }
  if (order.size() > static_cast<std::size_t>(INT32_MAX)) {
    error = where + ": more indices than a mesh holds";
    return false;
  }
  const bool indexed = order.empty() || *std::max_element(order.begin(), order.end()) < kMaxIndexed;
  if (indexed) {
    if (!order.empty() && !mesh.indices.allocate(static_cast<std::int32_t>(order.size())))
      throw std::bad_alloc();
    std::copy(order.begin(), order.end(), mesh.indices.begin());
  } else if (!unindex(order, mesh)) {
    throw std::bad_alloc();
  }
  mesh.drawVertexCount = mesh.vertices.count();
  mesh.drawPrimitiveCount = static_cast<std::int32_t>(primitivesDrawn(
      primitiveTypeOf(mesh.primitiveType), static_cast<std::int64_t>(order.size())));
  if (doc_.nodes[node].skin < 0) return true;
  if (!indexed) {
    warn(IssueCode::BoneDropped,
         where + ": a skinned mesh whose indices 16 bits cannot hold; its bones are left out");
    return true;
  }
  return addBones(node, f, prim, mesh, error);
}

// A node's glTF mesh as meshes of frame f: as kxm export kept it, where its extras fit the
// primitives, which then make one mesh; else each run of primitives that share their vertices.
bool Importer::addMesh(std::size_t node, std::size_t f, std::string& error) {
  const auto m = static_cast<std::size_t>(doc_.nodes[node].mesh);
  const tinygltf::Mesh& gm = doc_.meshes[m];
  const tinygltf::Value* kept = keptIn(gm.extras);
  const tinygltf::Value* geometry = kept ? keptValue(*kept, extras::kGeometry) : nullptr;
  RecordTable<Mesh>& meshes = model_.frames[f].meshes;
  const std::string where = "/meshes/" + std::to_string(m);
  for (std::size_t first = 0; first < gm.primitives.size();) {
    std::size_t last = first + 1;
    while (last < gm.primitives.size() && sameVertices(gm.primitives[first], gm.primitives[last]))
      ++last;
    Mesh* mesh = meshes.append();
    if (mesh == nullptr) throw std::bad_alloc();
    bool fromKept = false;
    if (geometry != nullptr && first == 0 && last == gm.primitives.size() &&
        keptGeometryFits(m, *geometry)) {
      fromKept = meshFromKept(*kept, &gm, *mesh);
      if (!fromKept) {
        meshes.removeLast();
        mesh = meshes.append();
        if (mesh == nullptr) throw std::bad_alloc();
        ignored(where, "of its geometry are not as kxm export writes them");
      }
    } else if (geometry != nullptr && first == 0) {
      ignored(where, "of its geometry do not fit its primitives, which have changed");
    }
    if (!fromKept && !addGroup(node, f, first, last, *mesh, error)) return false;
    keptState(kept, where, *mesh);
    addTextures(gm.primitives[first], *mesh);
    first = last;
  }
  return true;
}

// A frame's meshes: in the order kxm export kept, with the meshes it left out kept whole, where
// that list names the very meshes the frame's nodes carry; else in the order of the nodes.
bool Importer::addFrameMeshes(std::size_t f, const std::vector<std::size_t>& nodes,
                              std::string& error) {
  const auto node = static_cast<std::size_t>(frameNode_[f]);
  const tinygltf::Value* kept = keptIn(doc_.nodes[node].extras);
  const tinygltf::Value* list = kept ? keptValue(*kept, extras::kMeshes) : nullptr;
  std::vector<std::pair<std::size_t, const tinygltf::Value*>> plan;  // a node, or a mesh kept
  std::vector<bool> used(nodes.size(), false);
  bool ordered = list != nullptr && list->IsArray();
  for (std::size_t i = 0; ordered && i < keptLength(list); ++i) {
    const tinygltf::Value& entry = list->Get(static_cast<int>(i));
    std::int32_t m = -1;
    if (entry.IsObject()) {
      plan.push_back({0, &entry});
      continue;
    }
    std::size_t j = 0;
    if (!keptInt(entry, m)) j = nodes.size();
    while (j < nodes.size() && (used[j] || doc_.nodes[nodes[j]].mesh != m)) ++j;
    ordered = j < nodes.size();
    if (ordered) used[j] = true, plan.push_back({nodes[j], nullptr});
  }
  ordered = ordered && std::all_of(used.begin(), used.end(), [](bool u) { return u; });
  if (list != nullptr && !ordered) {
    ignored("/nodes/" + std::to_string(node), "name meshes other than those its nodes carry");
  }
  if (!ordered) {
    plan.clear();
    for (const std::size_t n : nodes) plan.push_back({n, nullptr});
  }
  for (const auto& [n, whole] : plan) {
    if (whole == nullptr) {
      if (!addMesh(n, f, error)) return false;
      continue;
    }
    Mesh* mesh = model_.frames[f].meshes.append();
    if (mesh == nullptr) throw std::bad_alloc();
    if (!meshFromKept(*whole, nullptr, *mesh)) {
      model_.frames[f].meshes.removeLast();
      ignored("/nodes/" + std::to_string(node),
              "of a mesh left out are not as kxm export writes them");
      continue;
    }
    keptState(whole, "/nodes/" + std::to_string(node), *mesh);
  }
  return true;
}

bool Importer::addMeshes(std::string& error) {
  std::vector<std::vector<std::size_t>> nodesOf(model_.frames.count());
  for (std::size_t n = 0; n < doc_.nodes.size(); ++n) {
    if (doc_.nodes[n].mesh < 0 || meshFrameOf_[n] < 0) continue;
    nodesOf[static_cast<std::size_t>(meshFrameOf_[n])].push_back(n);
  }
  for (std::size_t f = 0; f < nodesOf.size(); ++f)
    if (!addFrameMeshes(f, nodesOf[f], error)) return false;
  return true;
}

}  // namespace kxm::gltfin
