// The mesh walker: value labels, vertex conversion, indices, material, the walk state, and
// vertex and index data that reach outside the image.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "tests/support/walk.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

// The nodes below the one mesh's node.
std::string meshNodes(Walk& walk) {
  return walk.under(walk.control.firstChild(walk.control.firstChild(walk.tree.framesRoot)));
}

TEST(MeshWalker, EmptyMeshIsOneNewMesh) {
  Walk walk(meshFile([](KxmWriter&) {}));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(walk.frames(), "Frame ROOT\n  Frame MESH\n");
  const Mesh& mesh = walk.mesh(0);
  EXPECT_EQ(mesh.material.diffuse[3], 1.0f);
  EXPECT_EQ(mesh.material.ambient[0], 0.0f);
  EXPECT_EQ(mesh.material.ambient[3], 1.0f);
  EXPECT_EQ(mesh.material.power, 128.0f);
  EXPECT_EQ(mesh.vertices.count(), 0);
  EXPECT_EQ(mesh.indices.count(), 0);
  EXPECT_EQ(mesh.textures.count(), 0u);
}

// Each value chunk carries four bytes (an integer, a byte and three more, a float, the vertex
// format's flags), labelled when values are shown, by its bare name when not.
TEST(MeshWalker, ValueLabelsOfEveryChunk) {
  constexpr std::uint32_t i = 0xFFFFFFF9u, b = 249, f = 0xC0200000u;  // -7, 249, -2.5f
  const struct {
    std::uint32_t code, bits;
    const char* label;
  } cases[] = {
      {MeshFvfSize, i, "Mesh FVF Size: -7"},
      {MeshVertexCount, i, "Mesh Vertex Count: -7"},
      {MeshIndexCount, i, "Mesh Index Count: -7"},
      {MeshPrimitiveType, i, "Mesh Primitive Type: -7"},
      {MeshDrawVertexCount, i, "Mesh Draw Vertex Count: -7"},
      {MeshDrawPrimitiveCount, i, "Mesh Draw Primitive Count: -7"},
      {MeshBoneCount, i, "Mesh Bone Count: -7"},
      {UseMultipleMaterials, b, "Use Multiple Materials: 249"},
      {MultipleMaterialCount, i, "Multiple Material Count: -7"},
      {MeshUsesMaterial, b, "Mesh Uses Material: 249"},
      {MeshTextureCount, i, "Mesh Texture Count: -7"},
      {MeshWireframe, b, "Mesh Wireframe: 249"},
      {MeshLight, b, "Mesh Light: 249"},
      {MeshCull, b, "Mesh Cull: 249"},
      {MeshFog, b, "Mesh Fog: 249"},
      {MeshAmbient, b, "Mesh Ambient: 249"},
      {MeshTransparency, b, "Mesh Transparency: 249"},
      {MeshGhost, b, "Mesh Ghost: 249"},
      {MeshGhostMode, i, "Mesh Ghost Mode: -7"},
      {MeshLinkedSkip, b, "Mesh Linked - skip: 249"},
      {MeshSubFramesSkip, i, "Mesh Sub Frames - skip: -7"},
      {MeshVisible, b, "Mesh Visible: 249"},
      {MeshArbitraryValue, f, "Mesh Arbitrary Value: -2.500000"},
      {MeshZBiasFlag, b, "Mesh Z Bias Flag: 249"},
      {MeshZBiasSlope, f, "Mesh Z Bias Slope: -2.500000"},
      {MeshZBiasDepth, f, "Mesh Z Bias Depth: -2.500000"},
      {MeshZRead, b, "Mesh Z Read: 249"},
      {MeshZWrite, b, "Mesh Z Write: 249"},
      {MeshAlphaTestValue, f, "Mesh Alpha Test Value: -2.500000"},
      // The flags in hex and the letters of their components.
      {MeshFvfFlags, 0x152, "Mesh FVF Flags: 00000152 (PNC1)"},
      {MeshFvfFlags, 0, "Mesh FVF Flags: 00000000 ()"},
      {MeshFvfFlags, 0xFFFFFFFF, "Mesh FVF Flags: FFFFFFFF (NC)"},
      {111, 0x00090212, "Mesh FVF Flags: 00090212 (PN)"},
      // Floats print alike on every platform.
      {155, 0x7FC00000u, "Mesh Arbitrary Value: nan"},
      {155, 0xFFC00000u, "Mesh Arbitrary Value: -nan"},
      {155, 0x7F800000u, "Mesh Arbitrary Value: inf"},
      {155, 0xFF800000u, "Mesh Arbitrary Value: -inf"},
      {155, 0x00000001u, "Mesh Arbitrary Value: 0.000000"},
      {155, 0x80000000u, "Mesh Arbitrary Value: -0.000000"},
      {155, 0x7F7FFFFFu, "Mesh Arbitrary Value: 340282346638528859811704183484516925440.000000"},
  };
  for (const auto& c : cases) {
    const KxmWriter file = meshFile([&](KxmWriter& w) { w.chunkU32(c.code, c.bits).end(); });
    Walk shown(file, options(false, true));
    EXPECT_EQ(meshNodes(shown), std::string(c.label) + "\nEND\n") << c.label;
    Walk hidden(file, options(true, false));
    const std::string bare(c.label, std::string_view(c.label).find(':'));
    EXPECT_EQ(meshNodes(hidden), bare + "\nEND Mesh\n") << c.label;
  }
}

TEST(MeshWalker, StoredValuesReachTheMeshWhateverIsShown) {
  for (DisplayOptions shown : {options(false, false), options(true, true)}) {
    Walk walk(meshFile([](KxmWriter& w) {
                w.chunkI32(MeshPrimitiveType, 4)
                    .chunkI32(MeshDrawVertexCount, 30)
                    .chunkI32(MeshDrawPrimitiveCount, 10)
                    .end();
              }),
              shown);
    EXPECT_EQ(walk.mesh(0).primitiveType, 4);
    EXPECT_EQ(walk.mesh(0).drawVertexCount, 30);
    EXPECT_EQ(walk.mesh(0).drawPrimitiveCount, 10);
  }
}

TEST(MeshWalker, SevenValueChunksContinueRightAfterTheirValue) {
  // "Mesh FVF Size" says 8 bytes but its value is 4: the next head is read from the byte after
  // the value, inside the chunk.
  Walk walk(meshFile([](KxmWriter& w) {
    w.head(MeshFvfSize, 8).i32(36).u32(MeshVertexCount).u32(4).i32(7);
    w.head(MeshBoneCount, 8).i32(2).zeros(4).end();  // and one that does go to its end
  }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(meshNodes(walk),
            "Mesh FVF Size: 36\nMesh Vertex Count: 7\nMesh Bone Count: 2\nEND Mesh\n");
}

TEST(MeshWalker, VerticesAreConvertedAtTheirComponentOffsets) {
  // Flags 0x112: position, normal, one two-float set; 32 bytes apart.
  Walk walk(meshFile([](KxmWriter& w) {
    w.chunkU32(MeshFvfFlags, 0x112)
        .chunkI32(MeshFvfSize, 32)
        .chunkI32(MeshVertexCount, 2)
        .open(MeshVertexData);
    w.floats({1, 2, 3}).floats({0, 0, 1}).floats({0.25f, 0.75f});
    w.floats({-4, -5, -6}).floats({0, 1, 0}).floats({1, 0});
    w.close().end();
  }));
  ASSERT_EQ(walk.result, 1);
  const Mesh& mesh = walk.mesh(0);
  ASSERT_EQ(mesh.vertices.count(), 2);
  const MeshVertex& b = mesh.vertices[1];
  EXPECT_EQ(b.position[0], -4.0f);
  EXPECT_EQ(b.position[2], -6.0f);
  EXPECT_EQ(b.texCoord0[0], 1.0f);
  EXPECT_EQ(b.diffuse[0], 1.0f);
  EXPECT_EQ(b.diffuse[3], 1.0f);
  EXPECT_EQ(b.texCoord1[0], 0.0f);
  EXPECT_EQ(mesh.vertices[0].texCoord0[1], 0.75f);
}

TEST(MeshWalker, VertexDataNeedsItsCountFirst) {
  Walk walk(meshFile([](KxmWriter& w) {
    w.chunkU32(MeshFvfFlags, 0x002)
        .chunkI32(MeshFvfSize, 12)
        .open(MeshVertexData)
        .floats({1, 2, 3})
        .close();
    w.chunkI32(MeshVertexCount, 1).end();
  }));
  EXPECT_EQ(walk.result, 1);
  EXPECT_EQ(walk.mesh(0).vertices.count(), 0);
}

TEST(MeshWalker, VertexStrideCanBeZeroOrNegativeInsideTheImage) {
  Walk zero(meshFile([](KxmWriter& w) {
    w.chunkU32(MeshFvfFlags, 0x002)
        .chunkI32(MeshFvfSize, 0)
        .chunkI32(MeshVertexCount, 3)
        .open(MeshVertexData)
        .floats({7, 8, 9})
        .close();
  }));
  ASSERT_EQ(zero.result, 1);
  EXPECT_EQ(zero.mesh(0).vertices[2].position[0], 7.0f);

  // A stride of -12 walks back over the count's value and the data chunk's head.
  Walk back(meshFile([](KxmWriter& w) {
    w.chunkU32(MeshFvfFlags, 0x002)
        .chunkI32(MeshFvfSize, -12)
        .chunkI32(MeshVertexCount, 2)
        .open(MeshVertexData)
        .floats({1, 2, 3})
        .close();
  }));
  ASSERT_EQ(back.result, 1);
  EXPECT_EQ(back.mesh(0).vertices[0].position[0], 1.0f);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(back.mesh(0).vertices[1].position[0]), 2u);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(back.mesh(0).vertices[1].position[1]), 115u);
}

TEST(MeshWalker, IndicesWidenTo32Bits) {
  Walk walk(meshFile([](KxmWriter& w) {
    w.chunkI32(MeshIndexCount, 3).open(MeshIndexData).u16(0).u16(0xFFFF).u16(0x1234).close().end();
  }));
  ASSERT_EQ(walk.result, 1);
  const Mesh& mesh = walk.mesh(0);
  ASSERT_EQ(mesh.indices.count(), 3);
  EXPECT_EQ(mesh.indices[1], 65535u);
  EXPECT_EQ(mesh.indices[2], 0x1234u);
}

TEST(MeshWalker, MaterialIsReadWholeOrNotAtAll) {
  Walk whole(meshFile([](KxmWriter& w) {
    w.open(MeshMaterial)
        .floats({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17})
        .close();
  }));
  ASSERT_EQ(whole.result, 1);
  EXPECT_EQ(whole.mesh(0).material.diffuse[0], 1.0f);
  EXPECT_EQ(whole.mesh(0).material.emissive[3], 16.0f);
  EXPECT_EQ(whole.mesh(0).material.power, 17.0f);

  KxmWriter cut;
  cut.head(FrameRoot, 100).head(FrameMesh, 90).head(MeshMaterial, layout::kMaterial.size).zeros(60);
  Walk failed(cut);
  EXPECT_EQ(failed.result, 0);
  EXPECT_EQ(failed.mesh(0).material.diffuse[0], 1.0f);
  EXPECT_EQ(failed.mesh(0).material.power, 128.0f);
}

TEST(MeshWalker, EachMeshHasItsOwnWalkState) {
  Walk walk(rootFrame([](KxmWriter& w) {
    w.open(FrameMesh).positions({1, 1, 1}).end().close();
    w.open(FrameMesh).open(MeshVertexData).floats({2, 2, 2}).close().end().close();
  }));
  ASSERT_EQ(walk.result, 1);
  ASSERT_EQ(walk.frame(0).meshes.count(), 2u);
  EXPECT_EQ(walk.mesh(0, 0).vertices.count(), 1);
  EXPECT_EQ(walk.mesh(0, 1).vertices.count(), 0);
}

TEST(MeshWalker, UnhandledCodesAreNamedAndSkipped) {
  Walk walk(meshFile([](KxmWriter& w) {
    w.open(200)
        .zeros(4)
        .close()
        .open(MeshVertexDeclaration)
        .zeros(9)
        .close()
        .open(MeshFxEffectName)
        .str("fx")
        .close();
    w.open(TextureName).str("t").close().open(MultiMaterialName).close().end();
  }));
  EXPECT_EQ(walk.result, 1);
  EXPECT_EQ(meshNodes(walk),
            "UNKNOWN\nMesh Vertex Declaration\nMesh FX Effect Name\nTexture Name\n"
            "MultiMaterial Name\nEND Mesh\n");
}

TEST(MeshWalker, ValueReadPastTheImageKeepsTheBareName) {
  KxmWriter file;
  file.head(FrameRoot, 50).head(FrameMesh, 40).head(MeshCull, 1);
  const Loaded loaded = load(file);
  EXPECT_EQ(loaded.result, 0);
  EXPECT_NE(loaded.dump.find("    Frame MESH\n      Mesh Cull\nAnimationSets"), std::string::npos);
}

}  // namespace
}  // namespace kxm::test
