// Every failure explained: the cause, the offset where the failed read or check began, and the
// chunks it happened in; and the two load limits at their boundaries.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "tests/support/walk.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

struct Explained {
  const char* rule;
  KxmWriter file;
  FailureCause cause;
  std::uint32_t offset;  // from the file's mark, its start when it has none
  std::string path;      // as kxm-dump prints it
  std::string message;
};

std::vector<Explained> explainedFailures() {
  std::vector<Explained> cases;
  auto add = [&](const char* rule, KxmWriter w, FailureCause cause, std::uint32_t offset,
                 std::string path, std::string message) {
    cases.push_back({rule, std::move(w), cause, offset, std::move(path), std::move(message)});
  };
  const FailureCause cut = FailureCause::Truncated, count = FailureCause::CountExceedsFile;

  add("empty file", KxmWriter::bare(), cut, 0, "", "str_length needs 4 bytes, 0 are left");
  add("str_length of 128", KxmWriter::bare().u32(128).zeros(140), FailureCause::BadHeader, 0, "",
      "str_length is 128, 128 or more");
  add("wrong magic", KxmWriter::bare().header("MAGICKXX"), FailureCause::BadHeader, 4, "",
      "file_id is not \"MAGICKXM\"");
  add("version 2", KxmWriter::bare().header("MAGICKXM", 2), FailureCause::BadHeader, 12, "",
      "file_version is 2, not 1");
  add("header cut inside reserved2", KxmWriter::bare().str("MAGICKXM").i32(1).i32(0).u16(0), cut,
      20, "", "reserved2 needs 4 bytes, 2 are left");
  add("top-level chunk head cut short", KxmWriter().zeros(3), cut, 24, "",
      "chunk head needs 8 bytes, 3 are left");

  add("frame matrix cut short", rootFrame([](KxmWriter& w) { w.head(FrameMatrix, 64).zeros(60); }),
      cut, 40, "Frame ROOT > Frame Matrix", "Frame Matrix needs 64 bytes, 60 are left");
  add("frame name cut short",
      rootFrame([](KxmWriter& w) { w.head(FrameName, 8).u32(6).raw("ab"); }), cut, 44,
      "Frame ROOT > Frame Name", "frame name needs 6 bytes, 2 are left");
  add("chunk head cut short in a frame", rootFrame([](KxmWriter& w) { w.u32(FrameName).u16(0); }),
      cut, 32, "Frame ROOT", "chunk head needs 8 bytes, 6 are left");
  // The name of a frame read before the failure names it in the path.
  add("frame value cut short", written([](KxmWriter& w) {
        w.open(FrameRoot).chunkStr(FrameName, "Scene").open(FrameChild).chunkStr(FrameName, "Body");
        w.mark().head(FrameOffset, 12).f32(1).closeAll();
      }),
      cut, 8, "Frame ROOT \"Scene\" > Frame CHILD \"Body\" > Frame Offset",
      "Frame Offset needs 12 bytes, 4 are left");
  for (const std::int32_t n : {3, -1, 0x7FFFFFFF}) {  // -1 and up: counts of 2^31 or more
    add("index count past the file", written([n](KxmWriter& w) {
          w.open(FrameRoot)
              .open(FrameMesh)
              .chunkI32(MeshIndexCount, n)
              .mark()
              .head(MeshIndexData, 4)
              .u16(1)
              .u16(2)
              .closeAll();
        }),
        count, 8, "Frame ROOT > Frame MESH > Mesh Index Data",
        "index data needs " + std::to_string(2 * std::uint64_t{static_cast<std::uint32_t>(n)}) +
            " bytes, 4 are left");
  }
  const KxmWriter thousand = written([](KxmWriter& w) {
    w.open(FrameRoot)
        .open(FrameMesh)
        .chunkI32(MeshVertexCount, 1000)
        .mark()
        .open(MeshVertexData)
        .zeros(16)
        .closeAll();
  });
  add("vertex count above the file size", thousand, count, 8,
      "Frame ROOT > Frame MESH > Mesh Vertex Data",
      "vertex count 1000 is above the file's size of " + std::to_string(thousand.size()) +
          " bytes");
  add("second vertex outside the file", written([](KxmWriter& w) {
        w.open(FrameRoot)
            .open(FrameMesh)
            .chunkU32(MeshFvfFlags, 0x002)
            .chunkI32(MeshFvfSize, 100)
            .chunkI32(MeshVertexCount, 2);
        w.mark().open(MeshVertexData).zeros(12).closeAll();
      }),
      FailureCause::VertexOutsideFile, 8 + 100, "Frame ROOT > Frame MESH > Mesh Vertex Data",
      "vertex 1 of 2 (stride 100, 12 bytes of components) lies outside the file");
  add("negative stride below the file's start", meshFile([](KxmWriter& w) {
        w.chunkU32(MeshFvfFlags, 0x002)
            .chunkI32(MeshFvfSize, -0x40000000)
            .chunkI32(MeshVertexCount, 2);
        w.open(MeshVertexData).floats({1, 2, 3}).close();
      }),
      FailureCause::VertexOutsideFile, 0, "Frame ROOT > Frame MESH > Mesh Vertex Data",
      "vertex 1 of 2 (stride -1073741824, 12 bytes of components) lies outside the file");
  // An element is named in the path by the name read in it so far.
  add("texture field cut short", written([](KxmWriter& w) {
        w.open(FrameRoot)
            .open(FrameMesh)
            .chunkI32(MeshTextureCount, 2)
            .open(MeshTextures)
            .chunkStr(TextureName, "wood.png")
            .end();
        w.chunkStr(TextureName, "stone.png")
            .mark()
            .head(TexturePrimitiveStart, 4)
            .u16(0)
            .closeAll();
      }),
      cut, 8, "Frame ROOT > Frame MESH > Mesh TEXTURES \"stone.png\" > Texture Primitive Start",
      "Texture Primitive Start needs 4 bytes, 2 are left");
  add("rotation keys past the file", written([](KxmWriter& w) {
        w.open(AnimationSetRoot)
            .chunkStr(AnimationSetName, "Walk")
            .open(AnimationSetData)
            .chunkStr(AnimBoneName, "Arm")
            .open(NextAnimation)
            .chunkU32(RotationKeyCount, 2);
        w.mark().open(RotationData).zeros(20).closeAll();
      }),
      count, 8,
      "AnimationSet ROOT \"Walk\" > AnimationSet DATA \"Arm\" > Next ANIMATION > Rotation Data",
      "keys needs 40 bytes, 20 are left");
  add("negative influence count", written([](KxmWriter& w) {
        w.open(FrameRoot)
            .open(FrameMesh)
            .chunkI32(MeshBoneCount, 1)
            .open(MeshBonesData)
            .chunkI32(BonesNumInfluences, -1);
        w.mark().open(BonesVertices).zeros(8).closeAll();
      }),
      count, 8, "Frame ROOT > Frame MESH > Mesh BONES DATA > Bones Vertices",
      "bone vertex indices needs 17179869180 bytes, 8 are left");
  return cases;
}

TEST(LoadFailure, EachCauseSaysWhereAndInWhichChunks) {
  for (const Explained& t : explainedFailures()) {
    const Loaded loaded = load(t.file);
    ASSERT_EQ(loaded.result, 0) << t.rule;
    const LoadFailure& f = loaded.outcome.failure;
    EXPECT_EQ(causeName(f.cause), causeName(t.cause)) << t.rule;
    EXPECT_EQ(f.offset, t.offset + t.file.marked()) << t.rule;
    EXPECT_EQ(describePath(f.path), t.path) << t.rule;
    EXPECT_EQ(f.message, t.message) << t.rule;
    // A header that fails inserts no node.
    if (f.offset < 24 && f.path.empty()) {
      EXPECT_EQ(loaded.dump, "FileHeader\nFrames\nAnimationSets\nCustomData\n") << t.rule;
    }
  }
}

TEST(LoadFailure, DescriptionNamesTheInnermostChunkAndEscapesNames) {
  KxmWriter w;
  w.open(FrameRoot)
      .chunkStr(FrameName, "Sc\xe9ne\n")
      .open(FrameMesh)
      .chunkI32(MeshIndexCount, 3)
      .head(MeshIndexData, 4)
      .u16(1)
      .u16(2);
  w.closeAll();
  const LoadFailure f = load(w).outcome.failure;
  EXPECT_EQ(describeFailure(f),
            "count-exceeds-file at 0x0000004E in Frame ROOT \"Sc\\xe9ne\\x0a\" > Frame MESH > "
            "Mesh Index Data (chunk at 0x00000046): index data needs 6 bytes, 4 are left");
  ASSERT_NE(f.chunk(), nullptr);
  EXPECT_EQ(f.chunk()->code, MeshIndexData);
  // Outside any chunk, the offset alone.
  EXPECT_EQ(describeFailure(load(KxmWriter::bare()).outcome.failure),
            "truncated at 0x00000000: str_length needs 4 bytes, 0 are left");
}

TEST(LoadFailure, AThousandDeepPathKeepsItsEnds) {
  KxmWriter w;
  w.open(FrameRoot);
  for (int i = 0; i < 1000; ++i) w.open(FrameChild);
  w.head(FrameOffset, 12).closeAll();
  const LoadFailure f = load(w).outcome.failure;
  ASSERT_EQ(f.path.size(), 1002u);
  EXPECT_EQ(describePath(f.path),
            "Frame ROOT > Frame CHILD > Frame CHILD > Frame CHILD > Frame CHILD > Frame CHILD > "
            "Frame CHILD > Frame CHILD > ... (986 more) > Frame CHILD > Frame CHILD > Frame CHILD "
            "> Frame CHILD > Frame CHILD > Frame CHILD > Frame CHILD > Frame Offset");
}

TEST(LoadFailure, FilesThatCannotBeHad) {
  const auto dir = std::filesystem::temp_directory_path() / "kxm-load-failure-test";
  std::filesystem::create_directories(dir);
  const struct {
    std::filesystem::path path;
    FailureCause cause;
    const char* message;
  } cases[] = {
      {dir / "missing.kxm", FailureCause::FileNotFound, "No such file or directory"},
      {dir / "missing" / "deeper.kxm", FailureCause::FileNotFound, "No such file or directory"},
      {dir, FailureCause::NotAFile, "Is a directory"},
      {"", FailureCause::FileNotFound, "No such file or directory"},
  };
  for (const auto& t : cases) {
    const LoadFailure f = loadPath(t.path.string()).outcome.failure;
    EXPECT_EQ(f.cause, t.cause) << t.path;
    EXPECT_FALSE(f.hasOffset);
    EXPECT_EQ(describeFailure(f), std::string(causeName(t.cause)) + ": " + t.message);
  }
  std::filesystem::remove_all(dir);
}

TEST(ChunkLimit, FuzzedNestingFilesFailFast) {
  for (std::uint32_t code : {NextAnimation, FrameChild}) {
    for (int levels : {22, 26}) {  // 400 and 464 bytes with the header
      const KxmWriter w = overflowingChain(code, levels);
      const auto start = std::chrono::steady_clock::now();
      const Loaded loaded = load(w);
      const auto took = std::chrono::steady_clock::now() - start;
      EXPECT_EQ(loaded.outcome.failure.cause, FailureCause::ChunkLimit) << code << " " << levels;
      EXPECT_EQ(loaded.outcome.usage.chunkHeads, 65536 + w.size() + 1);
      // Not a timing test: a walk that is not held to the limit takes minutes here.
      EXPECT_LT(took, std::chrono::seconds(30));
    }
  }
}

TEST(ChunkLimit, HoldsAtExactlyTheLimit) {
  // Measure the heads the walk reads, with padding enough to stay under the limit...
  const std::uint32_t roomy = 200000;
  const Loaded measured = load(overflowingChain(NextAnimation, 16, roomy));
  ASSERT_EQ(measured.result, 1);
  const std::uint64_t heads = measured.outcome.usage.chunkHeads;  // the padding's head included
  const std::uint64_t sizeWithout = overflowingChain(NextAnimation, 16, roomy).size() - 8 - roomy;
  // ...then pad so that the limit, 65536 plus the file's size, is exactly those heads.
  ASSERT_GT(heads, 65536 + sizeWithout + 8);
  const auto padding = static_cast<std::uint32_t>(heads - 65536 - sizeWithout - 8);
  const Loaded atLimit = load(overflowingChain(NextAnimation, 16, padding));
  EXPECT_EQ(atLimit.result, 1);
  EXPECT_EQ(atLimit.outcome.usage.chunkHeads, heads);
  const Loaded over = load(overflowingChain(NextAnimation, 16, padding - 1));
  EXPECT_EQ(over.result, 0);
  EXPECT_EQ(over.outcome.failure.cause, FailureCause::ChunkLimit);
  // The head that passes the limit gets no node.
  EXPECT_EQ(over.nodes, atLimit.nodes - 1);
}

// A mesh whose vertex data reads nothing (flags 0), so that its count may be as large as the
// file's size (a top-level chunk passed over makes it large enough), then indices to make the
// total exact. Vertices are charged at 44 bytes, indices at 4.
KxmWriter chargedMesh(std::int32_t vertices, std::int32_t indices) {
  KxmWriter w;
  w.head(3, 2000000).zeros(2000000);
  w.open(FrameRoot)
      .open(FrameMesh)
      .chunkU32(MeshFvfFlags, 0)
      .chunkI32(MeshFvfSize, 0)
      .chunkI32(MeshVertexCount, vertices)
      .head(MeshVertexData, 0);
  w.chunkI32(MeshIndexCount, indices).head(MeshIndexData, 64).zeros(64);
  return w.closeAll();
}

TEST(MemoryLimit, HoldsAtExactlyTheLimit) {
  const std::uint64_t size = chargedMesh(0, 0).size();
  const std::uint64_t limit = (std::uint64_t{64} << 20) + 8 * size;
  const auto vertices = static_cast<std::int32_t>(limit / 44);
  ASSERT_LE(static_cast<std::uint64_t>(vertices), size);  // no more than one per file byte
  const auto indices =
      static_cast<std::int32_t>((limit - 44 * static_cast<std::uint64_t>(vertices)) / 4);

  const Loaded atLimit = load(chargedMesh(vertices, indices));
  EXPECT_EQ(atLimit.result, 1);
  EXPECT_EQ(atLimit.outcome.usage.arrayBytes, limit);
  const Loaded over = load(chargedMesh(vertices, indices + 1));
  EXPECT_EQ(over.result, 0);
  EXPECT_EQ(over.outcome.failure.cause, FailureCause::MemoryLimit);
  EXPECT_EQ(describePath(over.outcome.failure.path), "Frame ROOT > Frame MESH > Mesh Index Data");
}

TEST(MemoryLimit, ArraysThatReadTheSameBytesAgainLoad) {
  // A zero-length index chunk reads the next chunk's bytes, two key chunks read the same keys,
  // a stride of 0 reads one vertex again and again (what it reads is in mesh_walker_test): all
  // legal, all within the limit.
  KxmWriter indices;
  indices.open(FrameRoot)
      .open(FrameMesh)
      .chunkI32(MeshIndexCount, 2)
      .head(MeshIndexData, 0)
      .chunkI32(MeshPrimitiveType, 4)
      .end()
      .closeAll();
  KxmWriter keys;
  keys.open(AnimationSetRoot)
      .open(AnimationSetData)
      .chunkU32(PositionKeyCount, 1)
      .head(PositionData, 0)
      .open(PositionData)
      .u32(5)
      .floats({1, 2, 3});
  keys.zeros(12).close().end().close().end().close();
  KxmWriter stride;
  stride.open(FrameRoot)
      .open(FrameMesh)
      .chunkU32(MeshFvfFlags, 0x002)
      .chunkI32(MeshFvfSize, 0)
      .chunkI32(MeshVertexCount, 50);
  stride.open(MeshVertexData).floats({1, 2, 3}).close().end().closeAll();
  for (const KxmWriter* w : {&indices, &keys, &stride}) {
    Walk walk(*w);
    EXPECT_EQ(walk.result, 1) << describeFailure(walk.failure());
  }
}

}  // namespace
}  // namespace kxm::test
