// The chunk catalogue, the record layouts and the flexible vertex format arithmetic.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <utility>

#include "format/chunk_catalogue.h"
#include "format/record_layouts.h"
#include "format/vertex_format.h"

namespace kxm {
namespace {

TEST(Catalogue, NamesByExactCode) {
  const std::pair<ChunkCode, const char*> cases[] = {
      {0, "END"},
      {1, "UNKNOWN"},
      {2, "UNKNOWN"},
      {109, "UNKNOWN"},
      {166, "Mesh Alpha Test Value"},
      {167, "UNKNOWN"},
      {406, "Frame BoneMatrixData"},
      {407, "UNKNOWN"},
      {0x80000065u, "UNKNOWN"},  // 101 with the top bit set
      {137, "Mesh Linked - skip"},
      {220, "Next ANIMATION"},
  };
  for (const auto& [code, name] : cases) EXPECT_STREQ(chunkNameOf(code), name) << code;
  // No static_assert holds the catalogue's size: a row lost or added shows here.
  int named = 0;
  for (ChunkCode code = 0; code < 1000; ++code)
    named += std::strcmp(chunkNameOf(code), "UNKNOWN") != 0;
  EXPECT_EQ(named, 90);
}

// The whole catalogue by literal code, as the format lists it: our writers and the reader both
// take their codes from chunk::, so only a table that does not can show a code gone wrong.
TEST(Catalogue, EveryNameAtTheCodeTheFormatGivesIt) {
  const std::pair<ChunkCode, const char*> listed[] = {
      {0, "END"},
      {101, "Frame Name"},
      {102, "Frame Matrix"},
      {103, "Frame MESH"},
      {104, "Frame CHILD"},
      {105, "Frame SIBLING"},
      {106, "Frame Offset"},
      {107, "Frame Rotation"},
      {108, "Frame Scale"},
      {111, "Mesh FVF Flags"},
      {112, "Mesh FVF Size"},
      {113, "Mesh Vertex Count"},
      {114, "Mesh Index Count"},
      {115, "Mesh Vertex Data"},
      {116, "Mesh Index Data"},
      {117, "Mesh Primitive Type"},
      {118, "Mesh Draw Vertex Count"},
      {119, "Mesh Draw Primitive Count"},
      {120, "Mesh Vertex Declaration"},
      {121, "Mesh Bone Count"},
      {122, "Mesh BONES DATA"},
      {123, "Use Multiple Materials"},
      {124, "Multiple Material Count"},
      {125, "Mesh Uses Material"},
      {126, "Mesh Material"},
      {127, "Mesh Texture Count"},
      {128, "Mesh TEXTURES"},
      {129, "Mesh Wireframe"},
      {130, "Mesh Light"},
      {131, "Mesh Cull"},
      {132, "Mesh Fog"},
      {133, "Mesh Ambient"},
      {134, "Mesh Transparency"},
      {135, "Mesh Ghost"},
      {136, "Mesh Ghost Mode"},
      {137, "Mesh Linked - skip"},
      {138, "Mesh Sub Frames - skip"},
      {139, "Multiple MATERIALS"},
      {140, "Mesh Visible"},
      {154, "Mesh FX Effect Name"},
      {155, "Mesh Arbitrary Value"},
      {156, "Mesh Z Bias Flag"},
      {157, "Mesh Z Bias Slope"},
      {158, "Mesh Z Bias Depth"},
      {159, "Mesh Z Read"},
      {160, "Mesh Z Write"},
      {166, "Mesh Alpha Test Value"},
      {141, "Texture Name"},
      {142, "Texture Stage"},
      {143, "Texture Blend Mode"},
      {144, "Texture Arg 1"},
      {145, "Texture Arg 2"},
      {146, "Texture Address U"},
      {147, "Texture Address V"},
      {148, "Texture Mag"},
      {149, "Texture Min"},
      {150, "Texture Mip"},
      {151, "Texture TC Mode"},
      {152, "Texture Primitive Start"},
      {153, "Texture Primitive Count"},
      {161, "MultiMaterial Name"},
      {162, "MultiMaterial Material"},
      {163, "MultiMaterial Index Start"},
      {164, "MultiMaterial Index Count"},
      {165, "MultiMaterial Polygon Count"},
      {201, "AnimationSet Name"},
      {202, "AnimationSet Length"},
      {203, "AnimationSet DATA"},
      {211, "AnimBone Name"},
      {212, "Position Key Count"},
      {213, "Position Data"},
      {214, "Rotation Key Count"},
      {215, "Rotation Data"},
      {216, "Scale Key Count"},
      {217, "Scale Data"},
      {218, "Matrix Key Count"},
      {219, "Matrix Data"},
      {220, "Next ANIMATION"},
      {301, "Bones Name"},
      {302, "Bones Num Influences"},
      {303, "Bones Vertices"},
      {304, "Bones Weights"},
      {305, "Bones Translation Matrix"},
      {400, "Frame BoneType"},
      {401, "Frame BoneOffsetList"},
      {402, "Frame BoneOffsetListSize"},
      {403, "Frame BoneMatrixSizeA"},
      {404, "Frame BoneMatrixSizeB"},
      {405, "Frame BoneMatrixList"},
      {406, "Frame BoneMatrixData"},
  };
  for (const auto& [code, name] : listed) EXPECT_STREQ(chunkNameOf(code), name) << code;
}

// Each record's fields lie end to end from its first byte to its last, with the sizes the file
// gives them: a mistyped size or offset leaves a gap, an overlap or a wrong total.
TEST(RecordLayouts, FieldsTileTheRecordAtTheirFileSizes) {
  const struct {
    const char* record;
    const layout::RecordLayout& layout;
    std::uint32_t size;
  } cases[] = {
      {"chunk head", layout::kChunkHead, 8},
      {"header tail", layout::kHeaderTail, 12},
      {"position key", layout::kPositionKey, 28},
      {"rotation key", layout::kRotationKey, 20},
      {"scale key", layout::kScaleKey, 28},
      {"matrix key", layout::kMatrixKey, 132},
      {"material", layout::kMaterial, 68},
      {"matrix", layout::kMatrix, 64},
      {"vector", layout::kVector, 12},
      {"index", layout::kIndex, 2},
      {"bone vertex", layout::kBoneVertex, 4},
      {"bone weight", layout::kBoneWeight, 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.layout.size, c.size) << c.record;
    std::uint32_t next = 0;
    for (const layout::Field& field : c.layout.fields) {
      EXPECT_EQ(field.offset, next) << c.record << " " << field.name;
      next = field.end();
    }
    EXPECT_EQ(next, c.layout.size) << c.record;
  }
  EXPECT_EQ(layout::kPositionKey.field("value").offset, 4u);
  EXPECT_EQ(layout::kMatrixKey.field("unused").offset, 68u);
  EXPECT_EQ(layout::kMaterial.field("power").offset, 64u);
  EXPECT_EQ(layout::kHeaderTail.field("reserved2").offset, 8u);
}

TEST(VertexFormat, TexCoordSizes) {
  const struct {
    std::uint32_t flags, set;
    int size;
  } cases[] = {
      {0x00030000, 0, 0},  // no texture sets: size bits ignored
      {0x00000100, 0, 8},  {0x00010100, 0, 12}, {0x00020100, 0, 16},
      {0x00030100, 0, 4},  {0xC0000800, 7, 4},  {0xFFFFFF00, 8, 8},  // no size bits above bit 31
      {0xFFFFFF00, 15, 8},
  };
  for (const auto& t : cases)
    EXPECT_EQ(fvfTexCoordSize(t.flags, t.set), t.size) << std::hex << t.flags;
}

TEST(VertexFormat, ComponentOffsets) {
  const struct {
    std::uint32_t flags, component;
    std::uint8_t set;
    int offset;
  } cases[] = {
      {0x112, 0x002, 0, 0},
      {0x112, 0x040, 0, -1},
      {0x112, 0, 0, 24},
      {0x112, 0, 1, -1},
      {0x152, 0x040, 0, 24},
      {0x006, 0x002, 0, -1},  // position bits must match exactly
      {0x006, 0x006, 0, 0},
      {0, 0x002, 0, -1},
      {0, 0, 0, -1},
      {0x0FE, 0x080, 0, 32 + 12 + 4 + 4},
      // Set 0 of three floats, then a two-float set 1: set 1 lies 12 bytes past the colour.
      {0x00010242, 0, 1, 16 + 12},
      {0x00010242, 0, 0, -1},
      {0x00010242, 0x00010000, 0, 16},
      // Fifteen sets: those from 8 on are two floats, and no size-bit request reaches them.
      {0x00000F02, 0, 9, 12 + 9 * 8},
      {0xC0000F02, 0xC0000000, 0, 12 + 7 * 8},
  };
  for (const auto& t : cases) {
    EXPECT_EQ(fvfComponentOffset(t.flags, t.component, t.set), t.offset)
        << std::hex << t.flags << " " << t.component << " " << t.set;
  }
}

TEST(VertexFormat, Letters) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0x152, "PNC1"}, {0, ""}, {0x004, ""}, {0x00010242, "PC2"}, {0x212, "PN12"}, {0x0FE, "NC"},
  };
  for (const auto& [flags, expected] : cases) {
    char letters[6];
    fvfComponentLetters(flags, letters);
    EXPECT_STREQ(letters, expected) << std::hex << flags;
  }
}

// Positions and texture sets converted at their offsets are in mesh_walker_test; here, a format
// without a plain position, and the colour.
TEST(VertexFormat, ConversionTakesOnlyWhatTheOffsetsName) {
  std::uint8_t bytes[40] = {};
  auto put = [&bytes](int at, std::uint32_t v) { std::memcpy(bytes + at, &v, 4); };
  put(0, std::bit_cast<std::uint32_t>(1.0f));
  EXPECT_EQ(vertexLayout(0x112).span, 32);
  const VertexLayout transformed = vertexLayout(0x004);  // no plain position: (0, 0, 0)
  EXPECT_EQ(transformed.span, 0);
  EXPECT_EQ(convertVertex(bytes, transformed).position[0], 0.0f);

  put(12, 0x00FF7F00u);  // alpha 0, red 255, green 127, blue 0
  const MeshVertex c = convertVertex(bytes, vertexLayout(0x042));
  EXPECT_EQ(c.diffuse[0], 1.0f);
  EXPECT_EQ(c.diffuse[1], 127.0f * std::bit_cast<float>(0x3B808081u));
  EXPECT_EQ(c.diffuse[2], 0.0f);
  EXPECT_EQ(c.diffuse[3], 0.0f);
}

}  // namespace
}  // namespace kxm
