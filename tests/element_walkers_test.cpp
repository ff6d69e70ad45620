// The element walkers: bones, textures and multi-materials, their END labels, the closing walk,
// and counts that claim more elements than the list holds.
#include <gtest/gtest.h>

#include "tests/support/walk.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

// The nodes under the one list chunk of a mesh, the list node first.
std::string listNodes(Walk& walk) {
  const NodeHandle root = walk.control.firstChild(walk.tree.framesRoot);
  const NodeHandle mesh = walk.control.firstChild(root);
  NodeHandle list = walk.control.firstChild(mesh);
  while (list != 0 && walk.control.firstChild(list) == 0) list = walk.control.nextSibling(list);
  return walk.under(list);
}

KxmWriter armBone(bool closingEnd = true) {
  return meshFile([&](KxmWriter& w) {
    w.chunkI32(MeshBoneCount, 1).open(MeshBonesData);
    w.chunkStr(BonesName, "arm")
        .chunkI32(BonesNumInfluences, 2)
        .open(BonesVertices)
        .i32(4)
        .i32(7)
        .close();
    w.open(BonesWeights).floats({0.25f, 0.75f}).close();
    w.chunkFloats(BonesTranslationMatrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 9, 8, 7, 1});
    w.end();
    if (closingEnd) w.end();
    w.close();
  });
}

TEST(BoneWalker, OneBoneWithItsArraysAndEndLabels) {
  Walk walk(armBone());
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(listNodes(walk),
            "Bones Name: \"arm\"\nBones Num Influences: 2\nBones Vertices\nBones Weights\n"
            "Bones Translation Matrix\nEND Bone \"arm\"\nEND Bone \"\"\n");
  const Mesh& mesh = walk.mesh(0);
  ASSERT_EQ(mesh.bones.count(), 1u);
  const Bone& bone = mesh.bones.at(0);
  EXPECT_STREQ(bone.name, "arm");
  ASSERT_EQ(bone.vertexIndices.count(), 2);
  EXPECT_EQ(bone.vertexIndices[1], 7);
  ASSERT_EQ(bone.weights.count(), 2);
  EXPECT_EQ(bone.weights[0], 0.25f);
  EXPECT_EQ(bone.translationMatrix[12], 9.0f);

  Walk plain(armBone(), options(false, false));
  EXPECT_EQ(listNodes(plain),
            "Bones Name\nBones Num Influences\nBones Vertices\nBones Weights\n"
            "Bones Translation Matrix\nEND\nEND\n");
  EXPECT_EQ(plain.mesh(0).bones.at(0).weights[1], 0.75f);
  // Without the list's closing END, the closing walk finds the list's end and inserts nothing.
  Walk open(armBone(false));
  ASSERT_EQ(open.result, 1);
  EXPECT_EQ(listNodes(open).substr(listNodes(open).size() - 15), "END Bone \"arm\"\n");
}

TEST(BoneWalker, ArraysNeedTheirElementsInfluenceCount) {
  Walk walk(meshFile([](KxmWriter& w) {
    w.chunkI32(MeshBoneCount, 2).open(MeshBonesData);
    w.chunkI32(BonesNumInfluences, 1).end();  // bone 0: a count, no arrays
    w.open(BonesWeights)
        .f32(0.5f)
        .close()
        .chunkI32(BonesNumInfluences, 1)
        .end();  // bone 1: weights before it
    w.end().close();
  }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(walk.mesh(0).bones.at(1).weights.count(), 0);
}

TEST(BoneWalker, ArraysReadOnPastTheirChunkButNotPastTheImage) {
  Walk walk(meshFile([](KxmWriter& w) {
    w.chunkI32(MeshBoneCount, 1)
        .open(MeshBonesData)
        .chunkI32(BonesNumInfluences, 3)
        .open(BonesVertices)
        .i32(1)
        .i32(2)
        .close();
    w.end().end().close();  // the third index is the END's code: 0
  }));
  ASSERT_EQ(walk.result, 1);
  const Bone& bone = walk.mesh(0).bones.at(0);
  ASSERT_EQ(bone.vertexIndices.count(), 3);
  EXPECT_EQ(bone.vertexIndices[2], 0);

  KxmWriter cut;
  cut.head(FrameRoot, 100)
      .head(FrameMesh, 90)
      .chunkI32(MeshBoneCount, 1)
      .head(MeshBonesData, 60)
      .chunkI32(BonesNumInfluences, 3);
  cut.head(BonesVertices, 8).i32(1).i32(2);
  const Loaded loaded = load(cut);
  EXPECT_EQ(loaded.result, 0);
  EXPECT_NE(loaded.dump.find("        Bones Vertices\nAnimationSets"), std::string::npos)
      << loaded.dump;
  // A count the image cannot hold fails the same way, before allocating.
  KxmWriter huge;
  huge.head(FrameRoot, 100)
      .head(FrameMesh, 90)
      .chunkI32(MeshBoneCount, 1)
      .head(MeshBonesData, 60)
      .chunkI32(BonesNumInfluences, 0x7FFFFFFF);
  huge.head(BonesWeights, 0).zeros(40);
  EXPECT_EQ(load(huge).result, 0);
}

TEST(TextureWalker, StageOnlyTexture) {
  Walk walk(meshFile([](KxmWriter& w) {
    w.chunkI32(MeshTextureCount, 1)
        .open(MeshTextures)
        .chunkI32(TextureStage, 1)
        .end()
        .end()
        .close();
  }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(listNodes(walk), "Texture Stage: 1\nEND Texture \"\"\nEND Texture \"\"\n");
  const Texture& t = walk.mesh(0).textures.at(0);
  EXPECT_STREQ(t.name, "");
  EXPECT_EQ(t.primitiveStart, 0);
  EXPECT_EQ(t.primitiveCount, 0);
}

TEST(TextureWalker, EveryTextureChunkIsLabelled) {
  Walk walk(meshFile([](KxmWriter& w) {
    w.chunkI32(MeshTextureCount, 1).open(MeshTextures).chunkStr(TextureName, "wood.bmp");
    for (std::uint32_t code = TextureStage; code <= TexturePrimitiveCount; ++code) {
      w.chunkI32(code, static_cast<std::int32_t>(code) - 150);
    }
    w.end().end().close();
  }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(listNodes(walk),
            "Texture Name: \"wood.bmp\"\nTexture Stage: -8\nTexture Blend Mode: -7\n"
            "Texture Arg 1: -6\nTexture Arg 2: -5\nTexture Address U: -4\n"
            "Texture Address V: -3\nTexture Mag: -2\nTexture Min: -1\nTexture Mip: 0\n"
            "Texture TC Mode: 1\nTexture Primitive Start: 2\nTexture Primitive Count: 3\n"
            "END Texture \"wood.bmp\"\nEND Texture \"\"\n");
  const Texture& t = walk.mesh(0).textures.at(0);
  EXPECT_STREQ(t.name, "wood.bmp");
  EXPECT_EQ(t.primitiveStart, 2);
  EXPECT_EQ(t.primitiveCount, 3);
}

TEST(TextureWalker, CountLargerThanTheListGivesNewRecordsWithoutNodes) {
  Walk walk(meshFile([](KxmWriter& w) {
    w.chunkI32(MeshTextureCount, 3)
        .open(MeshTextures)
        .chunkStr(TextureName, "one")
        .end()
        .end()
        .close();
  }));
  ASSERT_EQ(walk.result, 1);
  // The closing END is taken as texture 2's; texture 3 and the closing walk find the list's end.
  EXPECT_EQ(listNodes(walk), "Texture Name: \"one\"\nEND Texture \"one\"\nEND Texture \"\"\n");
  const auto& textures = walk.mesh(0).textures;
  ASSERT_EQ(textures.count(), 3u);
  EXPECT_STREQ(textures.at(0).name, "one");
  EXPECT_STREQ(textures.at(2).name, "");
}

TEST(TextureWalker, HugeCountsCostNeitherTimeNorMemory) {
  for (std::int32_t count : {0x7FFFFFFF, static_cast<std::int32_t>(0x80000000u), -1}) {
    Walk walk(meshFile([&](KxmWriter& w) {
      w.chunkI32(MeshTextureCount, count)
          .open(MeshTextures)
          .chunkStr(TextureName, "only")
          .end()
          .close();
      w.chunkI32(MeshTextureCount, 1)
          .open(MeshTextures)
          .chunkStr(TextureName, "second list")
          .end()
          .close();
    }));
    ASSERT_EQ(walk.result, 1);
    const auto& textures = walk.mesh(0).textures;
    const std::uint64_t first = static_cast<std::uint32_t>(count);
    ASSERT_EQ(textures.count(), first + 1);
    EXPECT_EQ(textures.storedCount(), 2u);
    EXPECT_STREQ(textures.at(0).name, "only");
    EXPECT_STREQ(textures.at(first - 1).name, "");
    EXPECT_STREQ(textures.at(first).name, "second list");
  }
}

TEST(TextureWalker, ListWithoutCountRunsOnlyTheClosingWalk) {
  Walk walk(meshFile(
      [](KxmWriter& w) { w.open(MeshTextures).chunkStr(TextureName, "x").end().close(); }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(walk.mesh(0).textures.count(), 0u);
  // The closing walk shows a field chunk by its bare name and keeps its name buffer empty.
  EXPECT_EQ(listNodes(walk), "Texture Name\nEND Texture \"\"\n");
}

TEST(ElementWalkers, ClosingWalkReadsNoFieldButShowsWalkState) {
  // Field chunks with truncated payloads: nothing is read from them, so nothing fails.
  Walk walk(meshFile([](KxmWriter& w) {
    w.open(MeshTextures)
        .head(TextureName, 0)
        .head(TexturePrimitiveStart, 0)
        .chunkI32(TextureAddressU, 3)
        .end()
        .close();
    w.open(MultipleMaterials)
        .head(MultiMaterialName, 0)
        .head(MultiMaterialMaterial, 0)
        .head(MultiMaterialPolygonCount, 0)
        .end()
        .close();
    w.open(MeshBonesData)
        .head(BonesName, 0)
        .chunkI32(BonesNumInfluences, 2)
        .head(BonesVertices, 0)
        .head(BonesWeights, 0)
        .head(BonesTranslationMatrix, 0)
        .end();
    w.close().end();
  }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(walk.frames(),
            "Frame ROOT\n  Frame MESH\n"
            "    Mesh TEXTURES\n      Texture Name\n      Texture Primitive Start\n"
            "      Texture Address U: 3\n      END Texture \"\"\n"
            "    Multiple MATERIALS\n      MultiMaterial Name\n      MultiMaterial Material\n"
            "      MultiMaterial Polygon Count\n      END MultiMaterial \"\"\n"
            "    Mesh BONES DATA\n      Bones Name\n      Bones Num Influences: 2\n"
            "      Bones Vertices\n      Bones Weights\n      Bones Translation Matrix\n"
            "      END Bone \"\"\n"
            "    END Mesh\n");
  // A walk-state chunk is still read in the closing walk, and fails when it cannot be.
  KxmWriter cut;
  cut.head(FrameRoot, 100).head(FrameMesh, 90).head(MeshTextures, 60).head(TextureStage, 4).u16(0);
  EXPECT_EQ(load(cut).result, 0);
}

TEST(MultiMaterialWalker, MaterialCutShortFailsAndKeepsTheDefault) {
  KxmWriter cut;
  cut.head(FrameRoot, 200)
      .head(FrameMesh, 190)
      .chunkI32(MultipleMaterialCount, 1)
      .head(MultipleMaterials, 100)
      .head(MultiMaterialMaterial, layout::kMaterial.size)
      .zeros(60);
  Walk walk(cut);
  EXPECT_EQ(walk.result, 0);
  const MultiMaterial& m = walk.mesh(0).multiMaterials.at(0);
  EXPECT_EQ(m.material.diffuse[1], 1.0f);
  EXPECT_EQ(m.material.specular[3], 1.0f);
  EXPECT_EQ(m.material.power, 128.0f);
}

TEST(MultiMaterialWalker, LongestNameLabelIsNotCut) {
  const std::string name(127, 'm');
  Walk walk(meshFile([&](KxmWriter& w) {
    w.chunkI32(MultipleMaterialCount, 1)
        .open(MultipleMaterials)
        .chunkStr(MultiMaterialName, name)
        .end()
        .end()
        .close();
  }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(listNodes(walk), "MultiMaterial Name: \"" + name + "\"\nEND MultiMaterial \"" + name +
                                 "\"\nEND MultiMaterial \"\"\n");
}

}  // namespace
}  // namespace kxm::test
