// The sample model end to end: its tree under the four option settings against the reviewed
// dumps in tests/golden, and the model the walk builds from it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/sample_model.h"
#include "tests/support/walk.h"

namespace kxm::test {
namespace {

std::string golden(const char* name) {
  std::ifstream in(std::string(KXM_SOURCE_DIR) + "/tests/golden/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SampleModel, TreeUnderTheFourOptionSettings) {
  const struct {
    bool names, values;
    const char* file;
  } cases[] = {{true, true, "sample.dump"},
               {false, true, "sample.no-names.dump"},
               {true, false, "sample.no-values.dump"},
               {false, false, "sample.no-names.no-values.dump"}};
  for (const auto& c : cases) {
    const Loaded loaded = load(sampleModel(), options(c.names, c.values));
    EXPECT_EQ(loaded.result, 1);
    EXPECT_TRUE(loaded.modelEmpty);
    EXPECT_EQ(loaded.dump, golden(c.file)) << c.file;
  }
}

TEST(SampleModel, WalkBuildsTheWholeModel) {
  Walk walk(sampleModel());
  ASSERT_EQ(walk.result, 1);
  ASSERT_EQ(walk.model.frames.count(), 3u);
  EXPECT_STREQ(walk.frame(1).name, "Body");
  EXPECT_EQ(walk.frame(1).parentIndex, 0);
  EXPECT_EQ(walk.frame(2).parentIndex, 0);
  EXPECT_EQ(walk.frame(1).rotation[1], 0.5f);

  const Mesh& mesh = walk.mesh(1);
  ASSERT_EQ(mesh.vertices.count(), 4);
  EXPECT_EQ(mesh.vertices[2].position[0], 1.0f);
  EXPECT_EQ(mesh.vertices[2].position[1], 1.0f);
  EXPECT_EQ(mesh.vertices[0].diffuse[0], 1.0f);  // 0xFFFF0000: red
  EXPECT_EQ(mesh.vertices[0].diffuse[1], 0.0f);
  EXPECT_EQ(mesh.vertices[3].texCoord0[0], 0.0f);
  EXPECT_EQ(mesh.vertices[3].texCoord0[1], 0.0f);
  EXPECT_EQ(mesh.vertices[1].texCoord0[0], 1.0f);
  ASSERT_EQ(mesh.indices.count(), 6);
  EXPECT_EQ(mesh.indices[5], 3u);
  EXPECT_EQ(mesh.material.diffuse[0], 0.8f);
  EXPECT_EQ(mesh.material.power, 32.0f);
  EXPECT_EQ(mesh.primitiveType, 4);
  ASSERT_EQ(mesh.textures.count(), 1u);
  EXPECT_STREQ(mesh.textures.at(0).name, "wood.bmp");
  EXPECT_EQ(mesh.textures.at(0).primitiveCount, 2);
  ASSERT_EQ(mesh.multiMaterials.count(), 1u);
  EXPECT_EQ(mesh.multiMaterials.at(0).material.power, 64.0f);
  EXPECT_EQ(mesh.multiMaterials.at(0).indexCount, 6);
  ASSERT_EQ(mesh.bones.count(), 1u);
  EXPECT_EQ(mesh.bones.at(0).weights[1], 0.75f);
  EXPECT_EQ(mesh.bones.at(0).translationMatrix[13], 0.5f);

  ASSERT_EQ(walk.model.animationSets.count(), 1u);
  const AnimationSet& set = walk.model.animationSets[0];
  EXPECT_STREQ(set.name, "Walk");
  EXPECT_EQ(set.length, 1000.0f);
  ASSERT_EQ(set.animations.count(), 2u);
  EXPECT_EQ(set.animations[0].positionKeys[1].time, 1000.0f);
  EXPECT_EQ(set.animations[0].positionKeys[1].value[1], 1.75f);
  EXPECT_EQ(set.animations[0].rotationKeys[0].value[3], 0.9689f);
  EXPECT_STREQ(set.animations[1].boneName, "Arm");
  EXPECT_EQ(set.animations[1].matrixKeys[0].time, 250.0f);
  EXPECT_EQ(set.animations[1].matrixKeys[0].matrix[12], 0.75f);
}

}  // namespace
}  // namespace kxm::test
