#include "tests/support/model_equal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "export/space.h"
#include "format/vertex_format.h"
#include "model/primitive_type.h"

namespace kxm::test {

namespace {

bool near(double a, double b, double epsilon = 1e-6) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::fabs(a - b) <= epsilon * std::max({1.0, std::fabs(a), std::fabs(b)});
}

bool nearAll(const float* a, const float* b, std::size_t n, double epsilon = 1e-6) {
  for (std::size_t i = 0; i < n; ++i)
    if (!near(a[i], b[i], epsilon)) return false;
  return true;
}

gltf::Matrix4 transformOf(const Frame& f) {
  return f.hasMatrix ? gltf::matrixToGltf(f.matrix)
                     : gltf::matrixFromParts(f.offset, f.rotation, f.scale);
}

// What a range of the mesh draws: triangles as (a, b, c) turned so the least comes first,
// other elements as the indices in order.
std::vector<std::uint32_t> drawn(const Mesh& m, std::uint64_t start, std::uint64_t count) {
  const bool indexed = m.indices.count() > 0;
  auto at = [&](std::uint64_t i) {
    return indexed ? m.indices[static_cast<std::size_t>(start + i)]
                   : static_cast<std::uint32_t>(start + i);
  };
  std::vector<std::uint32_t> out;
  auto triangle = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    if (a == b || b == c || a == c) return;
    while (a > b || a > c) std::tie(a, b, c) = std::make_tuple(b, c, a);
    out.insert(out.end(), {a, b, c});
  };
  switch (primitiveTypeOf(m.primitiveType)) {
    case PrimitiveType::TriangleList:
      for (std::uint64_t i = 0; i + 2 < count; i += 3) triangle(at(i), at(i + 1), at(i + 2));
      break;
    case PrimitiveType::TriangleStrip:
      for (std::uint64_t i = 0; i + 2 < count; ++i) {
        if (i % 2 == 0)
          triangle(at(i), at(i + 1), at(i + 2));
        else
          triangle(at(i + 1), at(i), at(i + 2));
      }
      break;
    case PrimitiveType::TriangleFan:
      for (std::uint64_t i = 0; i + 2 < count; ++i) triangle(at(0), at(i + 1), at(i + 2));
      break;
    default:
      for (std::uint64_t i = 0; i < count; ++i) out.push_back(at(i));
  }
  return out;
}

std::uint64_t drawable(const Mesh& m) {
  return m.indices.count() > 0 ? static_cast<std::uint64_t>(m.indices.count())
                               : static_cast<std::uint64_t>(m.vertices.count());
}

bool sameMaterial(const Material& a, const Material& b) {
  return nearAll(a.diffuse, b.diffuse, 4) && nearAll(a.ambient, b.ambient, 4) &&
         nearAll(a.specular, b.specular, 4) && nearAll(a.emissive, b.emissive, 4) &&
         near(a.power, b.power);
}

bool sameVertices(const Mesh& a, const Mesh& b, std::string& why) {
  if (a.vertices.count() != b.vertices.count()) return why = "vertex counts differ", false;
  const std::uint32_t sets = std::min(fvfTexCoordSets(a.fvfFlags), 2U);
  if (sets != fvfTexCoordSets(b.fvfFlags) ||
      (a.fvfFlags & kFvfDiffuse) != (b.fvfFlags & kFvfDiffuse)) {
    return why = "vertex formats differ", false;
  }
  for (std::size_t v = 0; v < static_cast<std::size_t>(a.vertices.count()); ++v) {
    const MeshVertex &x = a.vertices[v], &y = b.vertices[v];
    if (!nearAll(x.position, y.position, 3) || !nearAll(x.diffuse, y.diffuse, 4) ||
        (sets > 0 && !nearAll(x.texCoord0, y.texCoord0, 2)) ||
        (sets > 1 && !nearAll(x.texCoord1, y.texCoord1, 2))) {
      return why = "vertex " + std::to_string(v) + " differs: (" + std::to_string(x.position[0]) +
                   " " + std::to_string(x.position[1]) + " " + std::to_string(x.position[2]) +
                   ") (" + std::to_string(y.position[0]) + " " + std::to_string(y.position[1]) +
                   " " + std::to_string(y.position[2]) + ")",
             false;
    }
  }
  if (a.normals.count() != b.normals.count()) return why = "normals differ", false;
  // The export makes normals unit length, as glTF asks.
  auto unit = [](const Normal& n) {
    const double l = std::sqrt(double{n.value[0]} * n.value[0] + double{n.value[1]} * n.value[1] +
                               double{n.value[2]} * n.value[2]);
    std::array<float, 3> u{0, 1, 0};
    if (l > 1e-30 && std::isfinite(l))
      for (std::size_t i = 0; i < 3; ++i) u[i] = static_cast<float>(n.value[i] / l);
    return u;
  };
  for (std::size_t v = 0; v < static_cast<std::size_t>(a.normals.count()); ++v)
    if (!nearAll(unit(a.normals[v]).data(), unit(b.normals[v]).data(), 3))
      return why = "normal " + std::to_string(v) + " differs", false;
  return true;
}

bool sameDrawing(const Mesh& a, const Mesh& b, std::string& why) {
  if (a.multiMaterials.storedCount() != b.multiMaterials.storedCount())
    return why = "material ranges differ", false;
  if (a.multiMaterials.storedCount() == 0) {
    if (drawn(a, 0, drawable(a)) != drawn(b, 0, drawable(b))) return why = "drawing differs", false;
    if (!sameMaterial(a.material, b.material)) return why = "materials differ", false;
  }
  for (std::size_t r = 0; r < a.multiMaterials.storedCount(); ++r) {
    const MultiMaterial &x = a.multiMaterials.stored(r), &y = b.multiMaterials.stored(r);
    if (std::strncmp(x.name, y.name, kNameSize) != 0 || !sameMaterial(x.material, y.material) ||
        drawn(a, static_cast<std::uint64_t>(x.indexStart),
              static_cast<std::uint64_t>(x.indexCount)) !=
            drawn(b, static_cast<std::uint64_t>(y.indexStart),
                  static_cast<std::uint64_t>(y.indexCount))) {
      return why = "material range " + std::to_string(r) + " differs", false;
    }
  }
  if (a.textures.storedCount() != b.textures.storedCount()) return why = "textures differ", false;
  for (std::size_t t = 0; t < a.textures.storedCount(); ++t)
    if (std::strncmp(a.textures.stored(t).name, b.textures.stored(t).name, kNameSize) != 0)
      return why = "texture " + std::to_string(t) + " differs", false;
  return true;
}

bool sameBones(const Mesh& a, const Mesh& b, std::string& why) {
  if (a.bones.storedCount() != b.bones.storedCount()) return why = "bone counts differ", false;
  for (std::size_t i = 0; i < a.bones.storedCount(); ++i) {
    const Bone &x = a.bones.stored(i), &y = b.bones.stored(i);
    const std::string bone = "bone " + std::string(x.name);
    if (std::strncmp(x.name, y.name, kNameSize) != 0 ||
        !nearAll(x.translationMatrix, y.translationMatrix, 16))
      return why = bone + " differs", false;
    if (x.vertexIndices.count() != y.vertexIndices.count())
      return why = bone + "'s vertices differ", false;
    for (std::size_t v = 0; v < static_cast<std::size_t>(x.vertexIndices.count()); ++v)
      if (x.vertexIndices[v] != y.vertexIndices[v] || !near(x.weights[v], y.weights[v]))
        return why = bone + "'s influence " + std::to_string(v) + " differs", false;
  }
  return true;
}

template <class Keys>
bool sameKeys(const Keys& a, const Keys& b, std::size_t n, bool turn) {
  if (a.count() != b.count()) return false;
  for (std::size_t k = 0; k < static_cast<std::size_t>(a.count()); ++k) {
    if (!near(a[k].time, b[k].time)) return false;
    if (turn) {
      const gltf::Quat x =
          gltf::normalised({a[k].value[0], a[k].value[1], a[k].value[2], a[k].value[3]});
      const gltf::Quat y =
          gltf::normalised({b[k].value[0], b[k].value[1], b[k].value[2], b[k].value[3]});
      if (!nearAll(x.data(), y.data(), 4)) return false;
    } else if (!nearAll(a[k].value, b[k].value, n)) {
      return false;
    }
  }
  return true;
}

// Matrix keys come back as the parts the export split them into, for the parts without keys.
bool sameMatrixKeys(const Animation& a, const Animation& b) {
  const std::size_t n = static_cast<std::size_t>(a.matrixKeys.count());
  const bool t = a.positionKeys.empty(), r = a.rotationKeys.empty(), s = a.scaleKeys.empty();
  if ((t && static_cast<std::size_t>(b.positionKeys.count()) != n) ||
      (r && static_cast<std::size_t>(b.rotationKeys.count()) != n) ||
      (s && static_cast<std::size_t>(b.scaleKeys.count()) != n))
    return false;
  for (std::size_t k = 0; k < n; ++k) {
    bool exact = true;
    const gltf::Trs trs = gltf::decompose(gltf::matrixToGltf(a.matrixKeys[k].matrix), exact);
    if (t && !nearAll(gltf::pointToGltf(b.positionKeys[k].value).data(), trs.translation.data(), 3))
      return false;
    if (r && !nearAll(gltf::rotationToGltf(b.rotationKeys[k].value).data(), trs.rotation.data(), 4))
      return false;
    if (s && !nearAll(b.scaleKeys[k].value, trs.scale.data(), 3)) return false;
  }
  return true;
}

bool sameAnimations(const Model& a, const Model& b, std::string& why) {
  if (a.animationSets.count() != b.animationSets.count()) return why = "set counts differ", false;
  for (std::size_t s = 0; s < a.animationSets.count(); ++s) {
    const AnimationSet &x = a.animationSets[s], &y = b.animationSets[s];
    if (std::strncmp(x.name, y.name, kNameSize) != 0 ||
        x.animations.count() != y.animations.count())
      return why = "set " + std::to_string(s) + " differs", false;
    for (std::size_t i = 0; i < x.animations.count(); ++i) {
      const Animation &p = x.animations[i], &q = y.animations[i];
      const bool matrix = p.matrixKeys.count() > 0;
      if (std::strncmp(p.boneName, q.boneName, kNameSize) != 0 ||
          (!(matrix && p.positionKeys.empty()) &&
           !sameKeys(p.positionKeys, q.positionKeys, 3, false)) ||
          (!(matrix && p.rotationKeys.empty()) &&
           !sameKeys(p.rotationKeys, q.rotationKeys, 4, true)) ||
          (!(matrix && p.scaleKeys.empty()) && !sameKeys(p.scaleKeys, q.scaleKeys, 3, false)) ||
          (matrix && !sameMatrixKeys(p, q)))
        return why = "animation of " + std::string(p.boneName) + " differs", false;
    }
  }
  return true;
}

}  // namespace

bool sameModel(const Model& want, const Model& got, std::string& why) {
  if (want.frames.count() != got.frames.count()) return why = "frame counts differ", false;
  for (std::size_t f = 0; f < want.frames.count(); ++f) {
    const Frame &a = want.frames[f], &b = got.frames[f];
    const std::string frame = "frame " + std::to_string(f) + " (" + a.name + "): ";
    if (std::strncmp(a.name, b.name, kNameSize) != 0 || a.parentIndex != b.parentIndex)
      return why = frame + "name or parent differs", false;
    const gltf::Matrix4 x = transformOf(a), y = transformOf(b);
    if (!nearAll(x.data(), y.data(), 16, 1e-5)) return why = frame + "transform differs", false;
    if (a.meshes.count() != b.meshes.count()) return why = frame + "mesh counts differ", false;
    for (std::size_t m = 0; m < a.meshes.count(); ++m) {
      std::string detail;
      if (!sameVertices(a.meshes[m], b.meshes[m], detail) ||
          !sameDrawing(a.meshes[m], b.meshes[m], detail) ||
          !sameBones(a.meshes[m], b.meshes[m], detail))
        return why = frame + "mesh " + std::to_string(m) + ": " + detail, false;
    }
  }
  return sameAnimations(want, got, why);
}

}  // namespace kxm::test
