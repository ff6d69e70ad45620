// The model the walk builds from the sample. Its tree under the four option settings is checked
// against the reviewed dumps in tests/golden by kxm_dump_test, as kxm-dump prints it.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/sample_model.h"
#include "tests/support/walk.h"

namespace kxm::test {
namespace {

TEST(SampleModel, WalkBuildsTheWholeModel) {
  Walk walk(sampleModel());
  ASSERT_EQ(walk.result, 1);
  ASSERT_EQ(walk.model.frames.count(), 6u);
  // Lamp > Base > UpperArm > Forearm > Head, and Plate beside UpperArm.
  const char* names[] = {"Lamp", "Base", "UpperArm", "Forearm", "Head", "Plate"};
  const std::int32_t parents[] = {-1, 0, 1, 2, 3, 1};
  for (std::size_t f = 0; f < 6; ++f) {
    EXPECT_STREQ(walk.frame(f).name, names[f]);
    EXPECT_EQ(walk.frame(f).parentIndex, parents[f]) << names[f];
  }
  EXPECT_TRUE(walk.frame(0).hasMatrix);
  EXPECT_FALSE(walk.frame(2).hasMatrix);
  EXPECT_EQ(walk.frame(2).rotation[2], 0.35f);

  const Mesh& base = walk.mesh(1);
  ASSERT_EQ(base.vertices.count(), 24);
  EXPECT_EQ(base.vertices[0].position[1], 0.4f);  // the top face comes first
  EXPECT_EQ(base.vertices[0].diffuse[3], 1.0f);
  EXPECT_EQ(base.vertices[2].texCoord0[0], 1.0f);
  ASSERT_EQ(base.indices.count(), 36);
  EXPECT_EQ(base.material.power, 32.0f);
  ASSERT_EQ(base.textures.count(), 1u);
  EXPECT_STREQ(base.textures.at(0).name, "wood.png");
  ASSERT_EQ(base.multiMaterials.count(), 2u);
  EXPECT_EQ(base.multiMaterials.at(1).indexStart, 6);
  EXPECT_EQ(base.multiMaterials.at(1).indexCount, 30);

  const Mesh& arm = walk.mesh(2);
  ASSERT_EQ(arm.bones.count(), 2u);
  EXPECT_STREQ(arm.bones.at(1).name, "Forearm");
  EXPECT_EQ(arm.bones.at(1).vertexIndices[0], 4);
  EXPECT_EQ(arm.bones.at(1).weights[0], 0.5f);
  // The bone's matrix undoes the foot's turn and place: y is -0.4 turned by -0.35 rad.
  EXPECT_NEAR(arm.bones.at(0).translationMatrix[13], -0.4 * std::cos(0.35), 1e-6);
  EXPECT_EQ(walk.mesh(4).primitiveType, 6);
  EXPECT_EQ(walk.mesh(5).primitiveType, 5);

  ASSERT_EQ(walk.model.animationSets.count(), 1u);
  const AnimationSet& set = walk.model.animationSets[0];
  EXPECT_STREQ(set.name, "Wave");
  EXPECT_EQ(set.length, 2000.0f);
  ASSERT_EQ(set.animations.count(), 3u);
  EXPECT_EQ(set.animations[0].rotationKeys[2].time, 2000.0f);
  EXPECT_EQ(set.animations[1].positionKeys[1].value[1], 1.5f);
  EXPECT_STREQ(set.animations[2].boneName, "Head");
  EXPECT_EQ(set.animations[2].scaleKeys[1].value[0], 1.3f);
  EXPECT_EQ(set.animations[2].matrixKeys[1].matrix[13], 1.3f);
}

}  // namespace
}  // namespace kxm::test
