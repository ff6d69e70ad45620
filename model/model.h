// The in-memory model of one file: frames owning meshes, meshes owning their vertices, indices
// and element lists, and animation sets owning their animations and key tracks. It lives for one
// load only; the chunk tree is the lasting result.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/record_table.h"
#include "model/value_array.h"

namespace kxm {

inline constexpr int kNameSize = 128;  // every name buffer: at most 127 bytes and a zero

// Field order of the Direct3D 9 material, in the file and in memory.
struct Material {
  float diffuse[4] = {1, 1, 1, 1};
  float ambient[4] = {0, 0, 0, 1};
  float specular[4] = {0, 0, 0, 1};
  float emissive[4] = {0, 0, 0, 1};
  float power = 128.0f;
};
static_assert(sizeof(Material) == 68);

// A material from its 17 floats in file order, field by field.
inline Material materialFrom(const float (&v)[17]) {
  Material m;
  for (int i = 0; i < 4; ++i) {
    m.diffuse[i] = v[i];
    m.ambient[i] = v[4 + i];
    m.specular[i] = v[8 + i];
    m.emissive[i] = v[12 + i];
  }
  m.power = v[16];
  return m;
}

struct MeshVertex {
  float position[3] = {0, 0, 0};
  float diffuse[4] = {1, 1, 1, 1};
  float texCoord0[2] = {0, 0};
  float texCoord1[2] = {0, 0};
};

// A vertex's normal as the file has it; kept only where the model asks for normals.
struct Normal {
  float value[3] = {0, 0, 0};
};

// A value the viewer only shows (a mesh's render state, a texture's stage or filter): its code
// and its bytes as the file has them, 1 or 4 of them. Kept, in file order, only where the model
// asks to be written again (keepForWriting).
struct ShownState {
  std::uint32_t code = 0;
  std::uint32_t raw = 0;  // a byte's value, or the 32 bits of an integer or a float
};

struct Texture {
  char name[kNameSize] = {};
  std::int32_t primitiveStart = 0;
  std::int32_t primitiveCount = 0;
  std::vector<ShownState> states;                           // keepForWriting only
  bool hasPrimitiveStart = true, hasPrimitiveCount = true;  // as the mesh's value chunks (Mesh)
};

struct MultiMaterial {
  char name[kNameSize] = {};
  Material material;
  std::int32_t indexStart = 0;
  std::int32_t indexCount = 0;
  std::int32_t polygonCount = 0;
};

struct Bone {
  char name[kNameSize] = {};
  ValueArray<std::int32_t> vertexIndices;
  ValueArray<float> weights;
  float translationMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

struct Mesh {
  std::uint32_t fvfFlags = 0;  // the vertex format the vertices were converted from
  ValueArray<MeshVertex> vertices;
  ValueArray<Normal> normals;  // one per vertex, where the format has them and keepNormals
  ElementTable<MultiMaterial> multiMaterials;
  ElementTable<Texture> textures;
  ElementTable<Bone> bones;
  Material material;
  std::int32_t drawVertexCount = 0;
  std::int32_t drawPrimitiveCount = 0;
  std::int32_t primitiveType = 0;
  ValueArray<std::uint32_t> indices;
  std::vector<ShownState> renderStates;  // keepForWriting only
  // Which of its value chunks the mesh has, so that writing it again leaves out those it did
  // not: a file's mesh as read where the model keeps what writing needs, every one for a mesh
  // made otherwise.
  struct Chunks {
    bool fvfFlags = true, fvfSize = true, primitiveType = true, drawVertexCount = true,
         drawPrimitiveCount = true, material = true;
  } has;
};

struct Frame {
  char name[kNameSize] = {};
  std::int32_t parentIndex = -1;
  float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float offset[3] = {0, 0, 0};
  float rotation[3] = {0, 0, 0};  // radians, as stored
  float scale[3] = {1, 1, 1};
  bool hasMatrix = false;  // a matrix chunk was read; it then wins over offset, rotation and scale
  bool hasOffset = false, hasRotation = false, hasScale = false;  // their chunks were read
  // The row whose chunk holds this frame's: its parent's for a "Frame CHILD", an earlier
  // sibling's for a "Frame SIBLING"; -1 at the top, or where the writer may choose.
  std::int32_t heldBy = -1;
  // How many of that row's meshes come before this frame's chunk; -1 for all of them.
  std::int32_t afterMeshes = -1;
  // The transform chunks in the order the file has them, those it has first, each once: 0 the
  // matrix, 1 the offset, 2 the rotation, 3 the scale.
  std::array<std::uint8_t, 4> transformOrder = {0, 1, 2, 3};
  bool hasName = true;  // a name chunk was read (where the model keeps what writing needs)
  RecordTable<Mesh> meshes;
};

// Key times are the file's unsigned 32-bit times converted to the nearest float.
struct PositionKey {
  float time = 0;
  float value[3] = {0, 0, 0};
};
struct RotationKey {
  float time = 0;
  float value[4] = {0, 0, 0, 0};
};
struct ScaleKey {
  float time = 0;
  float value[3] = {0, 0, 0};
};
struct MatrixKey {
  float time = 0;
  float matrix[16] = {};
};

struct Animation {
  char boneName[kNameSize] = {};
  ValueArray<PositionKey> positionKeys;
  ValueArray<RotationKey> rotationKeys;
  ValueArray<ScaleKey> scaleKeys;
  ValueArray<MatrixKey> matrixKeys;
};

struct AnimationSet {
  char name[kNameSize] = {};
  float length = 0;
  bool hasLength = true;  // as a mesh's value chunks (Mesh)
  RecordTable<Animation> animations;
};

struct Model {
  RecordTable<Frame> frames;
  RecordTable<AnimationSet> animationSets;
  // Whether a load keeps the normals the vertex format has (the export writes them). The viewer
  // and kxm-dump never ask, and allocate what they always did.
  bool keepNormals = false;
  // Whether a load keeps what only writing the file again needs: the values the viewer only
  // shows (ShownState) and the custom data. Off for the viewer, kxm-dump and the export.
  bool keepForWriting = false;
  // The payloads of the top-level custom data chunks, in file order; keepForWriting only.
  std::vector<std::vector<std::uint8_t>> customData;

  // Appends a frame row with its initial values (name "NoName", identity matrix, unit scale);
  // nullptr when memory runs out.
  Frame* addFrame(std::int32_t parentIndex);
  AnimationSet* addAnimationSet();

  // Releases every record; frames first, then animation sets.
  void clearModel();
  bool empty() const { return frames.empty() && animationSets.empty(); }
};

}  // namespace kxm
