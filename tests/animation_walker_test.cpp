// The animation set and animation walkers: labels, key tracks, the nested chain of animations.
#include <gtest/gtest.h>

#include "tests/support/walk.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

template <class Body>
KxmWriter animationSet(Body body) {
  KxmWriter w;
  w.open(AnimationSetRoot);
  body(w);
  w.close();
  return w;
}

TEST(AnimationSetWalker, EmptySetIsOneRecordWithoutNodes) {
  Walk walk(animationSet([](KxmWriter&) {}));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(walk.animationSets(), "AnimationSet ROOT\n");
  ASSERT_EQ(walk.model.animationSets.count(), 1u);
  EXPECT_STREQ(walk.model.animationSets[0].name, "");
  EXPECT_EQ(walk.model.animationSets[0].length, 0.0f);
  EXPECT_EQ(walk.model.animationSets[0].animations.count(), 0u);
}

TEST(AnimationSetWalker, NameAndEndLabels) {
  Walk named(animationSet([](KxmWriter& w) { w.chunkStr(AnimationSetName, "walk").end(); }));
  EXPECT_EQ(named.animationSets(),
            "AnimationSet ROOT\n  AnimationSet Name: \"walk\"\n  END AnimationSet \"walk\"\n");
  Walk endFirst(animationSet([](KxmWriter& w) { w.end().chunkStr(AnimationSetName, "walk"); }));
  EXPECT_EQ(endFirst.animationSets(), "AnimationSet ROOT\n  END AnimationSet \"\"\n");
  Walk plain(animationSet([](KxmWriter& w) { w.chunkStr(AnimationSetName, "walk").end(); }),
             options(false, true));
  EXPECT_EQ(plain.animationSets(), "AnimationSet ROOT\n  AnimationSet Name\n  END\n");
  EXPECT_STREQ(plain.model.animationSets[0].name, "walk");
}

TEST(AnimationSetWalker, LengthIsShownSignedAndKeptAsTheNearestFloat) {
  Walk walk(animationSet([](KxmWriter& w) { w.chunkU32(AnimationSetLength, 0xFFFFFFFFu); }));
  EXPECT_EQ(walk.animationSets(), "AnimationSet ROOT\n  AnimationSet Length: -1\n");
  EXPECT_EQ(walk.model.animationSets[0].length, 4294967296.0f);
}

TEST(AnimationSetWalker, ChunksOfTheOtherLevelArePassedOver) {
  Walk walk(animationSet([](KxmWriter& w) {
    w.open(NextAnimation)
        .chunkStr(AnimBoneName, "not an animation")
        .close()
        .chunkU32(PositionKeyCount, 1)
        .end();
  }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(walk.animationSets(),
            "AnimationSet ROOT\n  Next ANIMATION\n  Position Key Count\n  END AnimationSet \"\"\n");
  EXPECT_EQ(walk.model.animationSets[0].animations.count(), 0u);
}

TEST(AnimationWalker, KeyTracksAreReadAtTheirCounts) {
  Walk walk(animationSet([](KxmWriter& w) {
    w.open(AnimationSetData).chunkStr(AnimBoneName, "hip");
    w.chunkU32(PositionKeyCount, 2).open(PositionData);
    w.u32(0).floats({1, 2, 3}).zeros(12).u32(16777217).floats({4, 5, 6}).zeros(12).close();
    w.chunkU32(RotationKeyCount, 1).open(RotationData).u32(7).floats({0, 0, 0, 1}).close();
    w.chunkU32(ScaleKeyCount, 1).open(ScaleData).u32(8).floats({2, 2, 2}).zeros(12).close();
    w.chunkU32(MatrixKeyCount, 1).open(MatrixData).u32(9);
    w.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1}).zeros(64).close();
    w.end().close();
  }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(walk.animationSets(),
            "AnimationSet ROOT\n  AnimationSet DATA\n    AnimBone Name: \"hip\"\n"
            "    Position Key Count: 2\n    Position Data\n    Rotation Key Count: 1\n"
            "    Rotation Data\n    Scale Key Count: 1\n    Scale Data\n"
            "    Matrix Key Count: 1\n    Matrix Data\n    END AnimData \"hip\"\n");
  const Animation& a = walk.model.animationSets[0].animations[0];
  EXPECT_STREQ(a.boneName, "hip");
  ASSERT_EQ(a.positionKeys.count(), 2);
  EXPECT_EQ(a.positionKeys[1].time, 16777216.0f);  // 2^24 + 1 rounds to 2^24
  EXPECT_EQ(a.positionKeys[1].value[2], 6.0f);
  ASSERT_EQ(a.rotationKeys.count(), 1);
  EXPECT_EQ(a.rotationKeys[0].value[3], 1.0f);
  EXPECT_EQ(a.scaleKeys[0].time, 8.0f);
  EXPECT_EQ(a.matrixKeys[0].matrix[14], 7.0f);
}

TEST(AnimationWalker, DataWithoutCountReadsNothingAndZeroCountDoesNotFail) {
  Walk walk(animationSet([](KxmWriter& w) {
    w.open(AnimationSetData).open(PositionData).u32(1).floats({1, 2, 3}).zeros(12).close();
    w.chunkU32(RotationKeyCount, 0).open(RotationData).close().end().close();
  }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(walk.model.animationSets[0].animations[0].positionKeys.count(), 0);
  EXPECT_EQ(walk.model.animationSets[0].animations[0].rotationKeys.count(), 0);
}

TEST(AnimationWalker, KeysReadOnPastTheirChunkButNotPastTheImage) {
  Walk walk(animationSet([](KxmWriter& w) {
    w.open(AnimationSetData)
        .chunkU32(PositionKeyCount, 2)
        .open(PositionData)
        .u32(1)
        .floats({1, 2, 3})
        .zeros(12)
        .close();
    w.zeros(layout::kPositionKey.size)
        .end()
        .close();  // the second key is read from after the chunk
  }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(walk.model.animationSets[0].animations[0].positionKeys.count(), 2);

  for (std::uint32_t count : {3u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    KxmWriter cut;
    cut.head(AnimationSetRoot, 200)
        .head(AnimationSetData, 190)
        .chunkU32(ScaleKeyCount, count)
        .head(ScaleData, layout::kScaleKey.size)
        .zeros(56);
    const Loaded loaded = load(cut);
    EXPECT_EQ(loaded.result, 0) << count;
    EXPECT_NE(loaded.dump.find("\n      Scale Data\nCustomData"), std::string::npos) << loaded.dump;
  }
}

TEST(AnimationWalker, ChainOfThreeNestsAndKeepsItsOrder) {
  Walk walk(animationSet([](KxmWriter& w) {
    w.open(AnimationSetData)
        .chunkStr(AnimBoneName, "a1")
        .chunkU32(PositionKeyCount, 1)
        .open(PositionData)
        .u32(1)
        .zeros(24)
        .close();
    w.open(NextAnimation)
        .chunkStr(AnimBoneName, "a2")
        .open(NextAnimation)
        .chunkStr(AnimBoneName, "a3")
        .end()
        .close()
        .end()
        .close();
    w.end().close();
  }));
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(walk.animationSets(),
            "AnimationSet ROOT\n  AnimationSet DATA\n    AnimBone Name: \"a1\"\n"
            "    Position Key Count: 1\n    Position Data\n    Next ANIMATION\n"
            "      AnimBone Name: \"a2\"\n      Next ANIMATION\n        AnimBone Name: \"a3\"\n"
            "        END AnimData \"a3\"\n      END AnimData \"a2\"\n    END AnimData \"a1\"\n");
  const auto& animations = walk.model.animationSets[0].animations;
  ASSERT_EQ(animations.count(), 3u);
  EXPECT_STREQ(animations[0].boneName, "a1");
  EXPECT_STREQ(animations[2].boneName, "a3");
  EXPECT_EQ(animations[0].positionKeys.count(), 1);  // counts do not carry down the chain
  EXPECT_EQ(animations[1].positionKeys.count(), 0);
}

TEST(AnimationWalker, BothOptionsOffFillTheSameRecords) {
  const KxmWriter file = animationSet([](KxmWriter& w) {
    w.chunkStr(AnimationSetName, "s")
        .chunkU32(AnimationSetLength, 30)
        .open(AnimationSetData)
        .chunkStr(AnimBoneName, "b")
        .chunkU32(PositionKeyCount, 1);
    w.open(PositionData).u32(3).floats({1, 2, 3}).zeros(12).close().end().close().end();
  });
  Walk plain(file, options(false, false));
  EXPECT_EQ(plain.animationSets(),
            "AnimationSet ROOT\n  AnimationSet Name\n  AnimationSet Length\n  AnimationSet DATA\n"
            "    AnimBone Name\n    Position Key Count\n    Position Data\n    END\n  END\n");
  EXPECT_STREQ(plain.model.animationSets[0].name, "s");
  EXPECT_EQ(plain.model.animationSets[0].length, 30.0f);
  EXPECT_STREQ(plain.model.animationSets[0].animations[0].boneName, "b");
  EXPECT_EQ(plain.model.animationSets[0].animations[0].positionKeys[0].value[1], 2.0f);
}

}  // namespace
}  // namespace kxm::test
