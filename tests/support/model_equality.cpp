#include "tests/support/model_equality.h"

#include <cstring>
#include <vector>

namespace kxm::test {

namespace {

template <class T>
bool sameBits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class T>
bool sameArray(const ValueArray<T>& a, const ValueArray<T>& b) {
  return a.count() == b.count() &&
         (a.empty() ||
          std::memcmp(a.data(), b.data(), sizeof(T) * static_cast<std::size_t>(a.count())) == 0);
}

bool sameName(const char* a, const char* b) {
  return std::strncmp(a, b, kNameSize) == 0;
}

bool sameStates(const std::vector<ShownState>& a, const std::vector<ShownState>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].code != b[i].code || a[i].raw != b[i].raw) return false;
  }
  return true;
}

std::string elements(const Mesh& a, const Mesh& b) {
  if (a.textures.count() != b.textures.count()) return "texture count";
  for (std::uint64_t i = 0; i < a.textures.count(); ++i) {
    const Texture &x = a.textures.at(i), &y = b.textures.at(i);
    if (!sameName(x.name, y.name) || x.primitiveStart != y.primitiveStart ||
        x.primitiveCount != y.primitiveCount || !sameStates(x.states, y.states) ||
        x.hasPrimitiveStart != y.hasPrimitiveStart || x.hasPrimitiveCount != y.hasPrimitiveCount) {
      return "texture " + std::to_string(i);
    }
  }
  if (a.multiMaterials.count() != b.multiMaterials.count()) return "multi-material count";
  for (std::uint64_t i = 0; i < a.multiMaterials.count(); ++i) {
    const MultiMaterial &x = a.multiMaterials.at(i), &y = b.multiMaterials.at(i);
    if (!sameName(x.name, y.name) || !sameBits(x.material, y.material) ||
        x.indexStart != y.indexStart || x.indexCount != y.indexCount ||
        x.polygonCount != y.polygonCount) {
      return "multi-material " + std::to_string(i);
    }
  }
  if (a.bones.count() != b.bones.count()) return "bone count";
  for (std::uint64_t i = 0; i < a.bones.count(); ++i) {
    const Bone &x = a.bones.at(i), &y = b.bones.at(i);
    if (!sameName(x.name, y.name) || !sameArray(x.vertexIndices, y.vertexIndices) ||
        !sameArray(x.weights, y.weights) || !sameBits(x.translationMatrix, y.translationMatrix)) {
      return "bone " + std::to_string(i);
    }
  }
  return "";
}

std::string meshDifference(const Mesh& a, const Mesh& b) {
  if (a.fvfFlags != b.fvfFlags) return "vertex format";
  if (!sameArray(a.vertices, b.vertices)) return "vertices";
  if (!sameArray(a.normals, b.normals)) return "normals";
  if (!sameArray(a.indices, b.indices)) return "indices";
  if (!sameBits(a.material, b.material)) return "material";
  if (a.drawVertexCount != b.drawVertexCount || a.drawPrimitiveCount != b.drawPrimitiveCount ||
      a.primitiveType != b.primitiveType) {
    return "drawing counts";
  }
  const Mesh::Chunks &x = a.has, &y = b.has;
  if (x.fvfFlags != y.fvfFlags || x.fvfSize != y.fvfSize || x.primitiveType != y.primitiveType ||
      x.drawVertexCount != y.drawVertexCount || x.drawPrimitiveCount != y.drawPrimitiveCount ||
      x.material != y.material) {
    return "chunks present";
  }
  if (!sameStates(a.renderStates, b.renderStates)) return "render states";
  return elements(a, b);
}

std::string frameDifference(const Frame& a, const Frame& b) {
  if (!sameName(a.name, b.name)) return "name";
  if (a.parentIndex != b.parentIndex) return "parent";
  if (a.heldBy != b.heldBy || a.afterMeshes != b.afterMeshes) return "place among the chunks";
  if (a.hasName != b.hasName) return "name chunk";
  if (a.transformOrder != b.transformOrder) return "order of the transform chunks";
  if (!sameBits(a.matrix, b.matrix) || a.hasMatrix != b.hasMatrix) return "matrix";
  if (!sameBits(a.offset, b.offset) || !sameBits(a.rotation, b.rotation) ||
      !sameBits(a.scale, b.scale) || a.hasOffset != b.hasOffset || a.hasRotation != b.hasRotation ||
      a.hasScale != b.hasScale) {
    return "transform";
  }
  if (a.meshes.count() != b.meshes.count()) return "mesh count";
  for (std::size_t m = 0; m < a.meshes.count(); ++m) {
    const std::string d = meshDifference(a.meshes[m], b.meshes[m]);
    if (!d.empty()) return "mesh " + std::to_string(m) + ": " + d;
  }
  return "";
}

std::string animationDifference(const Animation& a, const Animation& b) {
  if (!sameName(a.boneName, b.boneName)) return "bone name";
  if (!sameArray(a.positionKeys, b.positionKeys)) return "position keys";
  if (!sameArray(a.rotationKeys, b.rotationKeys)) return "rotation keys";
  if (!sameArray(a.scaleKeys, b.scaleKeys)) return "scale keys";
  if (!sameArray(a.matrixKeys, b.matrixKeys)) return "matrix keys";
  return "";
}

}  // namespace

std::string modelDifference(const Model& a, const Model& b) {
  if (a.frames.count() != b.frames.count()) return "frame count";
  for (std::size_t f = 0; f < a.frames.count(); ++f) {
    const std::string d = frameDifference(a.frames[f], b.frames[f]);
    if (!d.empty()) return "frame " + std::to_string(f) + ": " + d;
  }
  if (a.animationSets.count() != b.animationSets.count()) return "animation set count";
  for (std::size_t s = 0; s < a.animationSets.count(); ++s) {
    const AnimationSet &x = a.animationSets[s], &y = b.animationSets[s];
    if (!sameName(x.name, y.name) || !sameBits(x.length, y.length) || x.hasLength != y.hasLength) {
      return "animation set " + std::to_string(s);
    }
    if (x.animations.count() != y.animations.count()) {
      return "animation set " + std::to_string(s) + ": animation count";
    }
    for (std::size_t i = 0; i < x.animations.count(); ++i) {
      const std::string d = animationDifference(x.animations[i], y.animations[i]);
      if (!d.empty())
        return "animation set " + std::to_string(s) + " animation " + std::to_string(i) + ": " + d;
    }
  }
  if (a.customData != b.customData) return "custom data";
  return "";
}

}  // namespace kxm::test
