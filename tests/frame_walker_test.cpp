// The top-level walk and the frame walker: nodes, labels under the four option settings, frame
// rows and their parents. Nesting a million deep is in abuse_test.cpp.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/walk.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

// Frame 0 (name, matrix, CHILD, END); its child frame 1 (name, offset, MESH, SIBLING, END);
// the sibling, frame 2 (name, END).
KxmWriter nestedFrames() {
  return rootFrame([](KxmWriter& w) {
    w.chunkStr(FrameName, "root")
        .chunkFloats(FrameMatrix, {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, 2, 3, 1});
    w.open(FrameChild).chunkStr(FrameName, "child").chunkFloats(FrameOffset, {1, 2, 3});
    w.open(FrameMesh).end().close();
    w.open(FrameSibling).chunkStr(FrameName, "sibling").end().close();
    w.end().close();
    w.end();
  });
}

TEST(FrameWalker, NestedFramesGiveTheTreeAndRowsOfTheFile) {
  Walk walk(nestedFrames());
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(walk.frames(),
            "Frame ROOT: \"root\"\n"
            "  Frame Name: \"root\"\n"
            "  Frame Matrix\n"
            "  Frame CHILD: \"child\"\n"
            "    Frame Name: \"child\"\n"
            "    Frame Offset: 1.000000, 2.000000, 3.000000\n"
            "    Frame MESH\n"
            "      END Mesh\n"
            "    Frame SIBLING: \"sibling\"\n"
            "      Frame Name: \"sibling\"\n"
            "      END Frame \"sibling\"\n"
            "    END Frame \"child\"\n"
            "  END Frame \"root\"\n");
  ASSERT_EQ(walk.model.frames.count(), 3u);
  EXPECT_STREQ(walk.frame(0).name, "root");
  EXPECT_EQ(walk.frame(0).parentIndex, -1);
  EXPECT_EQ(walk.frame(0).matrix[12], 1.0f);
  EXPECT_EQ(walk.frame(0).matrix[0], 2.0f);
  EXPECT_STREQ(walk.frame(1).name, "child");
  EXPECT_EQ(walk.frame(1).parentIndex, 0);
  EXPECT_EQ(walk.frame(1).offset[2], 3.0f);
  EXPECT_EQ(walk.frame(1).meshes.count(), 1u);
  EXPECT_STREQ(walk.frame(2).name, "sibling");
  EXPECT_EQ(walk.frame(2).parentIndex, 0);  // a sibling shares its frame's parent
  EXPECT_EQ(walk.frame(2).scale[1], 1.0f);
}

TEST(FrameWalker, UnnamedFramesKeepTheirRowNameAndShowEmptyQuotes) {
  KxmWriter w;
  w.open(FrameRoot).close();  // empty payload: a row, no node below the root
  w.open(FrameRoot).chunkFloats(FrameOffset, {0, 0, 0}).end().close();
  Walk walk(w);
  EXPECT_EQ(walk.result, 1);
  EXPECT_EQ(walk.frames(),
            "Frame ROOT\n"
            "Frame ROOT: \"\"\n"
            "  Frame Offset: 0.000000, 0.000000, 0.000000\n"
            "  END Frame \"\"\n");
  EXPECT_STREQ(walk.frame(0).name, "NoName0");
  EXPECT_STREQ(walk.frame(1).name, "NoName1");
  EXPECT_EQ(walk.frame(1).parentIndex, -1);
}

TEST(FrameWalker, FrameWithoutEndIsNotRelabelled) {
  Walk walk(rootFrame([](KxmWriter& w) { w.chunkStr(FrameName, "open"); }));
  EXPECT_EQ(walk.result, 1);
  EXPECT_EQ(walk.frames(), "Frame ROOT\n  Frame Name: \"open\"\n");
}

TEST(FrameWalker, FixedPayloadIsReadWhateverTheLengthSays) {
  // A matrix chunk of length 0 followed by 64 zero bytes: those are the matrix, and then they
  // are read again as chunks from the chunk's end: the first is an END.
  Walk walk(rootFrame([](KxmWriter& w) { w.head(FrameMatrix, 0).zeros(64); }));
  EXPECT_EQ(walk.result, 1);
  EXPECT_EQ(walk.frames(), "Frame ROOT: \"\"\n  Frame Matrix\n  END Frame \"\"\n");
  EXPECT_EQ(walk.frame(0).matrix[0], 0.0f);
  EXPECT_EQ(walk.frame(0).matrix[15], 0.0f);
}

TEST(FrameWalker, CodesOfOtherLevelsAreNamedAndPassedOver) {
  Walk walk(rootFrame([](KxmWriter& w) {
    w.open(FrameRoot)
        .zeros(8)
        .close()
        .open(CustomData)
        .zeros(4)
        .close()
        .open(TextureName)
        .str("x")
        .close();
    w.open(109).close().open(0x80000000u).close().end();
  }));
  EXPECT_EQ(walk.result, 1);
  EXPECT_EQ(walk.frames(),
            "Frame ROOT: \"\"\n  UNKNOWN\n  Frame BoneMatrixData\n  Texture Name\n  UNKNOWN\n"
            "  UNKNOWN\n  END Frame \"\"\n");
  EXPECT_EQ(walk.model.frames.count(), 1u);
}

TEST(TopLevel, CustomDataAndUnknownChunks) {
  KxmWriter w;
  w.open(3).zeros(5).close();
  w.open(CustomData).zeros(12).close();
  w.head(7, 1000);  // runs past the end of the file: no node, success
  for (DisplayOptions shown : {options(false, false), options(true, true)}) {
    Walk walk(w, shown);
    EXPECT_EQ(walk.result, 1);
    EXPECT_EQ(walk.under(walk.tree.customDataRoot), "chunk_length: 12\n");
    EXPECT_EQ(walk.frames(), "");
  }
}

TEST(TopLevel, WalkGoesOnFromWhereAFrameOrSetEnded) {
  // The END of a root frame or animation set carries a payload: a custom-data chunk, read at
  // the top level.
  for (std::uint32_t root : {1u, 2u}) {
    KxmWriter w;
    w.open(root).head(End, 16).open(CustomData).zeros(8).close().close();
    Walk walk(w);
    EXPECT_EQ(walk.result, 1) << root;
    EXPECT_EQ(walk.under(walk.tree.customDataRoot), "chunk_length: 8\n") << root;
  }
}

TEST(FrameWalker, FailurePartWayKeepsTheNodesBeforeIt) {
  KxmWriter w;
  w.head(FrameRoot, 100)
      .chunkStr(FrameName, "cut")
      .head(FrameChild, 50)
      .head(FrameOffset, 12)
      .zeros(8);
  const Loaded loaded = load(w);
  EXPECT_EQ(loaded.result, 0);
  EXPECT_NE(loaded.dump.find("Frames\n"
                             "  Frame ROOT\n"
                             "    Frame Name: \"cut\"\n"
                             "    Frame CHILD\n"
                             "      Frame Offset\n"
                             "AnimationSets\n"),
            std::string::npos)
      << loaded.dump;
}

}  // namespace
}  // namespace kxm::test
