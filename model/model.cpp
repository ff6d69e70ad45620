#include "model/model.h"

#include <cstring>

namespace kxm {

Frame* Model::addFrame(std::int32_t parentIndex) {
  Frame* frame = frames.append();
  if (frame == nullptr) return nullptr;
  std::memcpy(frame->name, "NoName", sizeof "NoName");
  frame->parentIndex = parentIndex;
  return frame;
}

AnimationSet* Model::addAnimationSet() {
  return animationSets.append();
}

void Model::clearModel() {
  frames.clear();
  animationSets.clear();
}

Mesh* addMesh(Frame& frame) {
  return frame.meshes.append();
}
Texture* addTexture(Mesh& mesh) {
  return mesh.textures.append();
}
MultiMaterial* addMultiMaterial(Mesh& mesh) {
  return mesh.multiMaterials.append();
}
Bone* addMeshBone(Mesh& mesh) {
  return mesh.bones.append();
}
Animation* addAnimation(AnimationSet& set) {
  return set.animations.append();
}

int allocVertices(Mesh& mesh, std::int32_t n) {
  return mesh.vertices.allocate(n);
}
int allocIndices(Mesh& mesh, std::int32_t n) {
  return mesh.indices.allocate(n);
}
int allocBoneVertexIndices(Bone& bone, std::int32_t n) {
  return bone.vertexIndices.allocate(n);
}
int allocBoneWeights(Bone& bone, std::int32_t n) {
  return bone.weights.allocate(n);
}
int allocPositionKeys(Animation& a, std::int32_t n) {
  return a.positionKeys.allocate(n);
}
int allocRotationKeys(Animation& a, std::int32_t n) {
  return a.rotationKeys.allocate(n);
}
int allocScaleKeys(Animation& a, std::int32_t n) {
  return a.scaleKeys.allocate(n);
}
int allocMatrixKeys(Animation& a, std::int32_t n) {
  return a.matrixKeys.allocate(n);
}

}  // namespace kxm
