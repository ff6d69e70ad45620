#include "tests/support/export_models.h"

#include <limits>

#include "tests/support/sample_model.h"
#include "tests/support/textured_quad.h"
#include "tests/support/walk.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

KxmWriter meshOfType(std::int32_t type, std::uint32_t vertices,
                     std::initializer_list<std::uint16_t> indices) {
  std::vector<float> xyz;
  for (std::uint32_t v = 0; v < vertices; ++v)
    xyz.insert(xyz.end(), {static_cast<float>(v), 0, static_cast<float>(v % 3)});
  return meshFile([&](KxmWriter& w) {
    w.positions(xyz);
    if (indices.size() > 0) w.indices(indices);
    w.chunkI32(MeshPrimitiveType, type).end();
  });
}

KxmWriter overlappingRanges(int indices, int ranges) {
  std::vector<std::uint16_t> list;
  for (int i = 0; i < indices; ++i) list.push_back(static_cast<std::uint16_t>(i % 3));
  return meshFile([&](KxmWriter& m) {
    m.positions({0, 0, 0, 1, 0, 0, 0, 1, 0}).indices(list);
    m.chunkI32(MeshPrimitiveType, 4)
        .chunkI32(MultipleMaterialCount, ranges)
        .open(MultipleMaterials);
    for (int r = 0; r < ranges; ++r)
      m.chunkI32(MultiMaterialIndexStart, 0).chunkI32(MultiMaterialIndexCount, indices).end();
    m.end().close().end();
  });
}

KxmWriter namedRanges() {
  return meshFile([](KxmWriter& m) {
    m.positions({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}).indices({0, 1, 2, 2, 1, 3});
    m.chunkI32(MeshPrimitiveType, 4).chunkI32(MultipleMaterialCount, 2).open(MultipleMaterials);
    for (int r = 0; r < 2; ++r) {
      m.chunkStr(MultiMaterialName, r == 0 ? "Red" : "Blue")
          .chunkI32(MultiMaterialIndexStart, 3 * r)
          .chunkI32(MultiMaterialIndexCount, 3);
      m.open(MultiMaterialMaterial)
          .floats({r == 0 ? 1.0f : 0.0f, 0, r == 0 ? 0.0f : 1.0f, 0.5f, 0.1f, 0.2f, 0.3f, 1, 0, 0,
                   0, 1, 0.25f, 0, 0, 1, 7.5f})
          .close()
          .end();
    }
    m.end().close().end();
  });
}

KxmWriter matrixAndParts() {
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "Caf\xE9");
  w.chunkFloats(FrameOffset, {9, 9, 9})
      .chunkFloats(FrameMatrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
  w.open(FrameChild)
      .chunkStr(FrameName, "Child")
      .chunkFloats(FrameOffset, {0, 0, 4})
      .chunkFloats(FrameScale, {2, 2, 2});
  w.end().close().end().close();
  return w;
}

KxmWriter scalePastFloatRange() {
  const float big = std::numeric_limits<float>::max();
  const std::initializer_list<float> matrix = {big, big, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "Huge").chunkFloats(FrameMatrix, matrix).end().close();
  w.open(AnimationSetRoot)
      .chunkStr(AnimationSetName, "Grow")
      .open(AnimationSetData)
      .chunkStr(AnimBoneName, "Huge")
      .chunkU32(MatrixKeyCount, 2)
      .open(MatrixData);
  w.u32(0).floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).zeros(64);
  w.u32(10).floats(matrix).zeros(64);
  w.close().end().close().end().close();
  return w;
}

KxmWriter bonesOfTwoFrames() {
  KxmWriter w;
  w.open(FrameRoot)
      .chunkStr(FrameName, "Body")
      .open(FrameChild)
      .chunkStr(FrameName, "Hand")
      .end()
      .close();
  w.open(FrameMesh)
      .positions({0, 0, 0, 1, 0, 0, 0, 1, 0})
      .chunkI32(MeshPrimitiveType, 4)
      .chunkI32(MeshBoneCount, 2)
      .open(MeshBonesData);
  w.chunkStr(BonesName, "Hand").chunkI32(BonesNumInfluences, 4).open(BonesVertices);
  w.i32(0).i32(0).i32(0).i32(1).close();
  w.open(BonesWeights).floats({1, 1, 0.5f, 2}).close();
  w.open(BonesTranslationMatrix)
      .floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1})
      .close()
      .end();
  w.chunkStr(BonesName, "Body").chunkI32(BonesNumInfluences, 2).open(BonesVertices);
  w.i32(0).i32(0).close();
  w.open(BonesWeights).floats({1, 0.25f}).close();
  w.open(BonesTranslationMatrix)
      .floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1})
      .close()
      .end();
  w.end().close().end().close();
  w.end().close();
  return w;
}

KxmWriter keysGoingBack() {
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "Arm").end().close();
  w.open(AnimationSetRoot)
      .chunkStr(AnimationSetName, "Wave")
      .open(AnimationSetData)
      .chunkStr(AnimBoneName, "Arm")
      .chunkU32(PositionKeyCount, 4)
      .open(PositionData);
  for (std::uint32_t t : {300u, 100u, 100u, 200u}) {
    w.u32(t).floats({static_cast<float>(t), 0, 0}).zeros(12);
  }
  w.close().chunkU32(MatrixKeyCount, 1).open(MatrixData).u32(50);
  w.floats({0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).zeros(64).close();
  w.end().close().end().close();
  return w;
}

KxmWriter texturedMesh(std::initializer_list<const char*> textures) {
  return meshFile([&](KxmWriter& m) {
    m.chunkU32(MeshFvfFlags, 0x102)
        .chunkI32(MeshFvfSize, 20)
        .chunkI32(MeshVertexCount, 3)
        .open(MeshVertexData);
    m.floats({0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}).close().chunkI32(MeshPrimitiveType, 4);
    m.chunkI32(MeshTextureCount, static_cast<std::int32_t>(textures.size())).open(MeshTextures);
    for (const char* name : textures) m.chunkStr(TextureName, name).end();
    m.end().close().end();
  });
}

KxmWriter normalMesh() {
  return meshFile([](KxmWriter& m) {
    m.chunkU32(MeshFvfFlags, 0x012).chunkI32(MeshFvfSize, 24).chunkI32(MeshVertexCount, 3);
    m.open(MeshVertexData);
    m.floats({0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1}).close();
    m.chunkI32(MeshPrimitiveType, 4).end();
  });
}

std::vector<NamedModel> exportModels() {
  std::vector<NamedModel> all;
  auto add = [&](std::string what, const KxmWriter& w) {
    all.push_back({std::move(what), w.bytes()});
  };
  add("a list", meshOfType(4, 4, {0, 1, 2, 2, 1, 3}));
  add("a strip without indices", meshOfType(5, 5, {}));
  add("a fan", meshOfType(6, 4, {3, 0, 1, 2}));
  add("points", meshOfType(1, 3, {2, 0}));
  add("lines with a remainder", meshOfType(2, 3, {0, 1, 2}));
  add("a line strip", meshOfType(3, 3, {}));
  add("a repeated vertex and one past the end", meshOfType(4, 3, {0, 0, 1, 0, 1, 5, 0, 1, 2}));
  add("an unknown primitive type", meshOfType(7, 3, {}));
  add("overlapping ranges", overlappingRanges(3000, 40));
  add("named ranges", namedRanges());
  add("a matrix and parts", matrixAndParts());
  add("a scale past the float range", scalePastFloatRange());
  add("bones of two frames", bonesOfTwoFrames());
  add("keys going back", keysGoingBack());
  add("one texture", texturedMesh({"skin.png"}));
  add("three textures of one name", texturedMesh({"a/skin.png", "b/skin.png", "c/skin.png"}));
  add("normals", normalMesh());
  add("a textured quad", texturedQuad("wall.bmp"));
  all.push_back({"the sample", sampleModel()});
  return all;
}

}  // namespace kxm::test
