// Hostile and broken files: nesting a million deep, counts that claim billions, names with
// every kind of byte, files that are not what they say. Each must end in the settled outcome:
// the tree or a clean failure, never a crash, never memory a count field asks for.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/walk.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

constexpr int kDeep = 1000000;

TEST(Abuse, FrameSiblingChainAMillionDeep) {
  KxmWriter w;
  w.open(FrameRoot);
  for (int i = 1; i < kDeep; ++i) w.open(FrameSibling).chunkI32(FrameOffset, 0);
  for (int i = 0; i < kDeep; ++i) w.end().close();
  Walk walk(w, options(true, false));
  ASSERT_EQ(walk.result, 1);
  ASSERT_EQ(walk.model.frames.count(), static_cast<std::size_t>(kDeep));
  for (int i : {1, 500000, kDeep - 1})
    EXPECT_EQ(walk.frame(static_cast<std::size_t>(i)).parentIndex, -1);
  // Every sibling's node hangs under the root frame's node, its offset and END below it.
  const NodeHandle root = walk.control.firstChild(walk.tree.framesRoot);
  std::size_t siblings = 0;
  NodeHandle last = 0;
  for (NodeHandle n = walk.control.firstChild(root); n != 0; n = walk.control.nextSibling(n)) {
    if (walk.control.text(n) == "Frame SIBLING: \"\"") ++siblings, last = n;
  }
  EXPECT_EQ(siblings, static_cast<std::size_t>(kDeep - 1));
  EXPECT_EQ(walk.control.text(walk.control.firstChild(last)), "Frame Offset");
  EXPECT_EQ(walk.control.text(walk.control.nextSibling(walk.control.firstChild(last))),
            "END Frame \"\"");
}

TEST(Abuse, FrameChildChainAMillionDeep) {
  KxmWriter w;
  w.open(FrameRoot);
  for (int i = 1; i < kDeep; ++i) w.open(FrameChild);
  for (int i = 0; i < kDeep; ++i) w.end().close();
  Walk walk(w, options(false, false));
  ASSERT_EQ(walk.result, 1);
  ASSERT_EQ(walk.model.frames.count(), static_cast<std::size_t>(kDeep));
  for (int i : {1, 777777, kDeep - 1}) {
    EXPECT_EQ(walk.frame(static_cast<std::size_t>(i)).parentIndex, i - 1);
  }
  std::size_t depth = 0;
  NodeHandle n = walk.control.firstChild(walk.tree.framesRoot);
  while (walk.control.text(walk.control.firstChild(n)) == "Frame CHILD") {
    n = walk.control.firstChild(n);
    ++depth;
  }
  EXPECT_EQ(depth, static_cast<std::size_t>(kDeep - 1));
  EXPECT_EQ(walk.control.text(walk.control.firstChild(n)), "END");
  // Clearing the tree takes no recursion either.
  walk.tree.Clear();
  EXPECT_EQ(walk.control.liveCount(), 0u);
}

TEST(Abuse, AnimationChainAMillionDeep) {
  KxmWriter w;
  w.open(AnimationSetRoot).open(AnimationSetData);
  for (int i = 1; i < kDeep; ++i) w.open(NextAnimation);
  w.chunkStr(AnimBoneName, "deepest");
  for (int i = 0; i < kDeep; ++i) w.end().close();
  w.close();
  Walk walk(w);
  ASSERT_EQ(walk.result, 1);
  const auto& animations = walk.model.animationSets[0].animations;
  ASSERT_EQ(animations.count(), static_cast<std::size_t>(kDeep));
  EXPECT_STREQ(animations[kDeep - 1].boneName, "deepest");
  EXPECT_STREQ(animations[kDeep - 2].boneName, "");
}

TEST(Abuse, ChainCutShortFailsWithItsNodes) {
  KxmWriter w;
  w.head(FrameRoot, 0xFFFFFFF0u);
  for (int i = 0; i < 100000; ++i) w.head(FrameChild, 0xFFFFFFF0u);
  w.u32(FrameName);  // a chunk head cut in half at the bottom
  Walk walk(w);
  EXPECT_EQ(walk.result, 0);
  EXPECT_EQ(walk.control.liveCount(), 4u + 5u + 1u + 100000u);
  EXPECT_EQ(walk.model.frames.count(), 100001u);
}

// Each count chunk at its extremes with a payload that holds almost nothing.
TEST(Abuse, CountsClaimingBillionsEndAsSettledWithoutAllocatingThem) {
  struct Case {
    const char* what;
    std::uint32_t countCode, dataCode;
    int expected;  // 1: the list's missing elements are new records; 0: the load fails
  };
  const Case meshCases[] = {
      {"vertices", MeshVertexCount, MeshVertexData, 0},
      {"indices", MeshIndexCount, MeshIndexData, 0},
      {"bones", MeshBoneCount, MeshBonesData, 1},
      {"multi-materials", MultipleMaterialCount, MultipleMaterials, 1},
      {"textures", MeshTextureCount, MeshTextures, 1},
  };
  for (std::uint32_t count : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    for (const Case& c : meshCases) {
      KxmWriter file = meshFile([&](KxmWriter& w) {
        w.chunkU32(MeshFvfFlags, 0x002).chunkI32(MeshFvfSize, 12).chunkU32(c.countCode, count);
        w.open(c.dataCode).zeros(12).close().end();
      });
      const Loaded loaded = load(file);
      EXPECT_EQ(loaded.result, c.expected) << c.what << " " << count;
    }
    KxmWriter bone = meshFile([&](KxmWriter& w) {
      w.chunkI32(MeshBoneCount, 1)
          .open(MeshBonesData)
          .chunkU32(BonesNumInfluences, count)
          .open(BonesVertices)
          .zeros(8)
          .close()
          .end()
          .end();
      w.close();
    });
    EXPECT_EQ(load(bone).result, 0) << "bone influences " << count;
    for (std::uint32_t track :
         {PositionKeyCount, RotationKeyCount, ScaleKeyCount, MatrixKeyCount}) {
      KxmWriter keys;
      keys.open(AnimationSetRoot)
          .open(AnimationSetData)
          .chunkU32(track, count)
          .open(track + 1)
          .zeros(28)
          .close();
      keys.end().close().end().close();
      EXPECT_EQ(load(keys).result, 0) << "track " << track << " " << count;
    }
  }
}

TEST(Abuse, NamesOfEveryLengthAndByte) {
  const std::string nasty("a\0b\x01\x1f\x7f\x80\xff\"\\", 10);
  struct Case {
    std::string name;
    std::string shown;  // up to the first zero byte; 128 bytes or more: empty
  };
  const Case cases[] = {
      {std::string(127, 'x'), std::string(127, 'x')},
      {std::string(128, 'x'), ""},
      {std::string(200, 'x'), ""},
      {nasty + std::string(117, 'y'), "a"},
      {std::string("\x01\x1f\x7f\x80\xff\"\\ z", 9), std::string("\x01\x1f\x7f\x80\xff\"\\ z", 9)},
  };
  for (const Case& c : cases) {
    Walk walk(rootFrame([&](KxmWriter& w) {
      w.chunkStr(FrameName, c.name)
          .open(FrameMesh)
          .chunkI32(MeshTextureCount, 1)
          .open(MeshTextures)
          .chunkStr(TextureName, c.name)
          .end();
      w.end().close().end().close().end();
    }));
    ASSERT_EQ(walk.result, 1) << c.name.size();
    EXPECT_EQ(std::string(walk.frame(0).name), c.shown);
    EXPECT_EQ(std::string(walk.mesh(0).textures.at(0).name), c.shown);
    const NodeHandle root = walk.control.firstChild(walk.tree.framesRoot);
    EXPECT_EQ(walk.control.text(root), "Frame ROOT: \"" + c.shown + "\"");
    EXPECT_EQ(walk.control.text(walk.control.firstChild(root)), "Frame Name: \"" + c.shown + "\"");
  }
}

#if defined(__linux__)
TEST(Abuse, FileShorterWhenReadThanWhenMeasuredFails) {
  // A sysfs file claims a page when measured and reads back a few bytes.
  const char* path = "/sys/kernel/mm/transparent_hugepage/enabled";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path;
  const Loaded loaded = loadPath(path);
  EXPECT_EQ(loaded.result, 0);
  EXPECT_EQ(loaded.nodes, 4u);
}
#endif

// A control that can hold nodes only ten levels deep.
class ShallowControl : public MemoryTreeControl {
 public:
  std::size_t maxDepth() const override { return 10; }
};

std::size_t deepestLevel(MemoryTreeControl& control) {
  std::size_t deepest = 0;
  visitPreOrder(control, 0, [&deepest](NodeHandle, std::size_t depth) {
    deepest = std::max(deepest, depth);
    return true;
  });
  return deepest;
}

struct ShallowLoad {
  int result;
  std::size_t deepest;
  FailureCause cause;
};
ShallowLoad loadIntoShallowControl(const KxmWriter& w) {
  ShallowControl control;
  ChunkTree tree;
  tree.Attach(&control);
  Model model;
  DisplayOptions shown;
  TreeSink sink(tree, shown);
  const LoadOutcome outcome = load(w.bytes(), model, &sink);
  return {outcome.loaded ? 1 : 0, deepestLevel(control), outcome.failure.cause};
}

TEST(DepthLimit, NestingBeyondWhatTheControlHoldsFailsTheLoadBeforeIt) {
  // Frames: the root frame's node at level 1, each CHILD one deeper, and three levels below the
  // deepest frame for a mesh's list elements: six CHILD levels fit under ten.
  auto childChain = [](int children) {
    KxmWriter w;
    w.open(FrameRoot);
    for (int i = 0; i < children; ++i) w.open(FrameChild);
    w.open(FrameMesh)
        .chunkI32(MeshTextureCount, 1)
        .open(MeshTextures)
        .chunkI32(TextureStage, 1)
        .end()
        .end()
        .close()
        .end()
        .close();
    for (int i = 0; i < children; ++i) w.end().close();
    w.end().close();
    return w;
  };
  EXPECT_EQ(loadIntoShallowControl(childChain(6)).result, 1);
  EXPECT_EQ(loadIntoShallowControl(childChain(6)).deepest, 10u);
  const ShallowLoad tooDeep = loadIntoShallowControl(childChain(7));
  EXPECT_EQ(tooDeep.result, 0);
  EXPECT_EQ(tooDeep.cause, FailureCause::NestingTooDeep);
  EXPECT_LE(tooDeep.deepest, 10u);

  // Siblings stay at one level, however many.
  KxmWriter siblings;
  siblings.open(FrameRoot);
  for (int i = 0; i < 1000; ++i) siblings.open(FrameSibling);
  for (int i = 0; i < 1000; ++i) siblings.end().close();
  siblings.end().close();
  EXPECT_EQ(loadIntoShallowControl(siblings).result, 1);

  // Animations: the first one's nodes at level 3, each Next ANIMATION one deeper.
  auto chain = [](int next) {
    KxmWriter w;
    w.open(AnimationSetRoot).open(AnimationSetData);
    for (int i = 0; i < next; ++i) w.open(NextAnimation);
    w.chunkU32(PositionKeyCount, 0);
    for (int i = 0; i <= next; ++i) w.end().close();
    w.end().close();
    return w;
  };
  EXPECT_EQ(loadIntoShallowControl(chain(7)).result, 1);
  EXPECT_EQ(loadIntoShallowControl(chain(7)).deepest, 10u);
  EXPECT_EQ(loadIntoShallowControl(chain(8)).cause, FailureCause::NestingTooDeep);
  EXPECT_LE(loadIntoShallowControl(chain(8)).deepest, 10u);
  // Without a limit the same files load.
  EXPECT_EQ(load(chain(8)).result, 1);
  EXPECT_EQ(load(childChain(7)).result, 1);
}

}  // namespace
}  // namespace kxm::test
