// A mesh becomes a glTF mesh: one primitive per material range (or one for the whole mesh), its
// indices as glTF draws them, and the vertex attributes the format has.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "export/builder.h"
#include "format/vertex_format.h"
#include "model/primitive_type.h"

namespace kxm::gltf {

namespace {

// One range of a mesh's indices (or of its vertices, when it has none) turned into glTF's
// elements, counting what cannot be drawn instead of writing it.
struct Gather {
  const Mesh& mesh;
  bool indexed;
  std::uint32_t vertices;
  std::uint64_t start, count;
  std::vector<std::uint32_t>& out;
  std::uint64_t outside = 0;     // elements with an index past the vertices
  std::uint64_t degenerate = 0;  // triangles that name one vertex twice
  std::uint64_t rest = 0;        // indices at the end too few for one more element

  std::uint32_t at(std::uint64_t i) const {
    return indexed ? mesh.indices[static_cast<std::size_t>(start + i)]
                   : static_cast<std::uint32_t>(start + i);
  }
  // Written the other way round, for the mirrored space.
  void triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    if (a >= vertices || b >= vertices || c >= vertices) {
      ++outside;
    } else if (a == b || b == c || a == c) {
      ++degenerate;
    } else {
      out.insert(out.end(), {a, c, b});
    }
  }
  void points() {
    for (std::uint64_t i = 0; i < count; ++i) {
      if (at(i) < vertices)
        out.push_back(at(i));
      else
        ++outside;
    }
  }
  void lines() {
    rest = count % 2;
    for (std::uint64_t i = 0; i + 1 < count; i += 2) {
      if (at(i) < vertices && at(i + 1) < vertices) {
        out.insert(out.end(), {at(i), at(i + 1)});
      } else {
        ++outside;
      }
    }
  }
  // One bad index spoils the whole strip: returns it, and writes nothing then.
  std::optional<std::uint32_t> lineStrip() {
    for (std::uint64_t i = 0; i < count; ++i) {
      if (at(i) >= vertices) return at(i);
    }
    for (std::uint64_t i = 0; i < count; ++i) out.push_back(at(i));
    if (count == 1) rest = 1, out.clear();
    return std::nullopt;
  }
  void triangleList() {
    rest = count % 3;
    for (std::uint64_t i = 0; i + 2 < count; i += 3) triangle(at(i), at(i + 1), at(i + 2));
  }
  // Every other triangle of a strip is stored the other way round.
  void triangleStrip() {
    if (count > 0 && count < 3) rest = count;
    for (std::uint64_t i = 0; i + 2 < count; ++i) {
      if (i % 2 == 0)
        triangle(at(i), at(i + 1), at(i + 2));
      else
        triangle(at(i + 1), at(i), at(i + 2));
    }
  }
  void triangleFan() {
    if (count > 0 && count < 3) rest = count;
    for (std::uint64_t i = 0; i + 2 < count; ++i) triangle(at(0), at(i + 1), at(i + 2));
  }
};

}  // namespace

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
    warn(IssueCode::IndicesDropped, what + ": indices " + std::to_string(start) + " to " +
                                        std::to_string(start + count) + " reach past the mesh's " +
                                        std::to_string(available) + "; cut to them");
    start = std::min(start, available);
    count = available - start;
  }
  const auto type = primitiveTypeOf(mesh.primitiveType);
  out.indices.reserve(static_cast<std::size_t>(
      type == PrimitiveType::TriangleStrip || type == PrimitiveType::TriangleFan ? 3 * count
                                                                                 : count));
  Gather gather{mesh, indexed, vertices, start, count, out.indices};
  switch (type) {
    case PrimitiveType::PointList:
      out.mode = kPoints;
      gather.points();
      break;
    case PrimitiveType::LineList:
      out.mode = kLines;
      gather.lines();
      break;
    case PrimitiveType::LineStrip:
      out.mode = kLineStrip;
      if (const std::optional<std::uint32_t> bad = gather.lineStrip()) {
        warn(IssueCode::IndicesDropped, what + ": index " + std::to_string(*bad) + " is past the " +
                                            std::to_string(vertices) +
                                            " vertices; the line strip is left out");
        return false;
      }
      break;
    case PrimitiveType::TriangleList: gather.triangleList(); break;
    case PrimitiveType::TriangleStrip: gather.triangleStrip(); break;
    case PrimitiveType::TriangleFan: gather.triangleFan(); break;
    case PrimitiveType::Unknown: return false;
  }
  warnCount(IssueCode::IndicesDropped, what, gather.outside,
            "element(s) use an index past the " + std::to_string(vertices) + " vertices; left out");
  warnCount(IssueCode::IndicesDropped, what, gather.degenerate,
            "triangle(s) name one vertex twice and draw nothing; left out");
  warnCount(IssueCode::IndicesDropped, what, gather.rest,
            "index(es) at the end make no whole element; left out");
  return !out.indices.empty();
}

// One primitive per multi-material range, or one with the mesh's material. Ranges may overlap,
// so the indices written are held to a multiple of what the mesh has.
std::vector<Builder::Primitive> Builder::primitivesOf(const Frame& frame, const Mesh& mesh,
                                                      const std::string& what, int texture) {
  const auto vertices = static_cast<std::uint64_t>(mesh.vertices.count());
  std::uint64_t budget =
      8 * (static_cast<std::uint64_t>(std::max(mesh.indices.count(), 0)) + vertices) + 65536;
  std::vector<Primitive> primitives;
  if (mesh.multiMaterials.count() == 0) {
    Primitive p;
    const std::uint64_t all =
        mesh.indices.count() > 0 ? static_cast<std::uint64_t>(mesh.indices.count()) : vertices;
    if (primitiveIndices(mesh, what, 0, all, p)) {
      p.material = addMaterial(mesh.material, nameToUtf8(frame.name), texture);
      primitives.push_back(std::move(p));
    }
    return primitives;
  }
  for (std::size_t k = 0; k < mesh.multiMaterials.storedCount(); ++k) {
    const MultiMaterial& range = mesh.multiMaterials.stored(k);
    Primitive p;
    const std::string rangeWhat = what + " material " + quoted(range.name);
    if (range.indexStart < 0 || range.indexCount < 0) {
      warn(IssueCode::IndicesDropped,
           rangeWhat + ": a negative index start or count; the range is left out");
      continue;
    }
    if (!primitiveIndices(mesh, rangeWhat, static_cast<std::uint64_t>(range.indexStart),
                          static_cast<std::uint64_t>(range.indexCount), p)) {
      continue;
    }
    if (p.indices.size() > budget) {
      warn(IssueCode::IndicesDropped, what +
                                          ": its material ranges overlap so much that the "
                                          "rest, from " +
                                          quoted(range.name) + " on, are left out");
      break;
    }
    budget -= p.indices.size();
    p.material = addMaterial(range.material, nameToUtf8(range.name), texture);
    p.range = static_cast<int>(k);
    primitives.push_back(std::move(p));
  }
  return primitives;
}

namespace {

bool sameBits(const void* a, const void* b, std::size_t bytes) {
  return std::memcmp(a, b, bytes) == 0;
}

// Whether the import makes the vertex again from the attributes written: every coordinate
// finite (one that is not is written as 0) and z not -0 (mirrored, it comes back as 0), what the
// format lacks at its default.
bool comesBack(const Mesh& mesh, const MeshVertex& v, std::uint32_t texCoordSets) {
  static const MeshVertex fresh;
  const float* p = v.position;
  if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]) ||
      std::signbit(p[2]) != (p[2] < 0)) {
    return false;
  }
  if (!(mesh.fvfFlags & kFvfDiffuse) && !sameBits(v.diffuse, fresh.diffuse, sizeof v.diffuse))
    return false;
  auto set = [](const float* uv, const float* none, bool written) {
    return written ? std::isfinite(uv[0]) && std::isfinite(uv[1]) : sameBits(uv, none, 8);
  };
  return set(v.texCoord0, fresh.texCoord0, texCoordSets > 0) &&
         set(v.texCoord1, fresh.texCoord1, texCoordSets > 1);
}

}  // namespace

// POSITION with its bounds, NORMAL where the format has one and the model kept it, COLOR_0,
// TEXCOORD_0 and TEXCOORD_1 for the sets the format has. Says what they cannot give back as the
// model has it.
Builder::Inexact Builder::addAttributes(const Mesh& mesh, const std::string& what,
                                        Json& attributes) {
  const auto vertices = static_cast<std::size_t>(mesh.vertices.count());
  const std::uint32_t texCoordSets = std::min(fvfTexCoordSets(mesh.fvfFlags), 2U);
  Inexact inexact;
  std::uint64_t notFinite = 0;
  attributes["POSITION"] =
      addAccessor<float>(vertices, 3, "VEC3", kArrayBuffer, true, [&](float* out) {
        for (std::size_t v = 0; v < vertices; ++v) {
          const Vec3 p = pointToGltf(mesh.vertices[v].position);
          for (std::size_t i = 0; i < 3; ++i) {
            if (!std::isfinite(p[i])) ++notFinite;
            out[v * 3 + i] = finiteOr(p[i], 0);
          }
          if (!comesBack(mesh, mesh.vertices[v], texCoordSets))
            inexact.vertices.push_back(static_cast<std::uint32_t>(v));
        }
      });
  warnCount(IssueCode::NumberRepaired, what, notFinite, "coordinate(s) not finite; written as 0");
  if (static_cast<std::size_t>(mesh.normals.count()) == vertices) {
    // Mirrored as positions are, and made unit length, which glTF asks of a normal.
    std::uint64_t invalid = 0;
    attributes["NORMAL"] =
        addAccessor<float>(vertices, 3, "VEC3", kArrayBuffer, false, [&](float* out) {
          for (std::size_t v = 0; v < vertices; ++v) {
            const Vec3 n = pointToGltf(mesh.normals[v].value);
            const double length =
                std::sqrt(double{n[0]} * n[0] + double{n[1]} * n[1] + double{n[2]} * n[2]);
            float* to = out + v * 3;
            if (!(length > 1e-30) || !std::isfinite(length)) {
              ++invalid;
              to[0] = 0, to[1] = 1, to[2] = 0;
            } else {
              for (std::size_t i = 0; i < 3; ++i) to[i] = static_cast<float>(n[i] / length) + 0.0f;
            }
            const float back[3] = {to[0], to[1], -to[2] + 0.0f};
            if (!sameBits(back, mesh.normals[v].value, 12))
              inexact.normals.push_back(static_cast<std::uint32_t>(v));
          }
        });
    warnCount(IssueCode::NormalInvalid, what, invalid,
              "normal(s) of length 0 or not finite; written as (0, 1, 0)");
  }
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
  return inexact;
}

Builder::MeshOut Builder::addMesh(std::size_t f, std::size_t m) {
  const Frame& frame = model_.frames[f];
  const Mesh& mesh = frame.meshes[m];
  const std::string what = "frame " + quoted(frame.name) + " mesh " + std::to_string(m + 1);
  if (primitiveTypeOf(mesh.primitiveType) == PrimitiveType::Unknown) {
    warn(IssueCode::MeshDropped, what + ": primitive type " + std::to_string(mesh.primitiveType) +
                                     " is not one of 1 to 6; the mesh is left out");
    return {};
  }
  if (mesh.vertices.count() == 0) {
    warn(IssueCode::MeshDropped, what + ": no vertices; the mesh is left out");
    return {};
  }

  // The primitives first: a mesh that draws nothing writes no vertices either.
  const std::optional<int> found = textureFor(mesh);
  const bool hasTexCoords = fvfTexCoordSets(mesh.fvfFlags) > 0;
  const int texture = found && hasTexCoords ? *found : -1;
  if (found && !hasTexCoords) {
    warn(IssueCode::TextureUnused,
         what + ": has a texture but no texture coordinates; the texture is not applied");
  }
  std::vector<Primitive> primitives = primitivesOf(frame, mesh, what, texture);
  if (primitives.empty()) {
    warn(IssueCode::MeshDropped, what + ": draws nothing; the mesh is left out");
    return {};
  }

  Json attributes;
  const Inexact inexact = addAttributes(mesh, what, attributes);
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
    Json prim = {{"attributes", attributes}, {"indices", indices}};
    if (p.mode != kTriangles) prim["mode"] = p.mode;
    prim["material"] = p.material;
    prims.push_back(std::move(prim));
  }
  Json kept = keptMesh({frame, mesh, primitives, prims, attributes, inexact});
  primitives.clear();
  Json gltfMesh = {{"name", nameToUtf8(frame.name)}, {"primitives", std::move(prims)}};
  gltfMesh["extras"] = {{extras::kKey, std::move(kept)}};
  meshes_.push_back(std::move(gltfMesh));
  result.mesh = static_cast<int>(meshes_.size() - 1);
  return result;
}

}  // namespace kxm::gltf
