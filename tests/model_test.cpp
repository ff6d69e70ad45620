// The model records: appends that keep earlier records and their arrays, default runs of
// element tables, arrays from the block source, and clearModel.
#include <gtest/gtest.h>

#include <cstdlib>

#include "model/block.h"
#include "model/model.h"
#include "reader/load.h"
#include "tests/support/sample_model.h"

namespace kxm {
namespace {

TEST(RecordTable, AppendsKeepEarlierRecordsAndTheirArraysAcrossBlocks) {
  Mesh mesh;
  constexpr int kBones = 5000;  // well past the doubling blocks into the fixed ones
  std::vector<const Bone*> addresses;
  for (int i = 0; i < kBones; ++i) {
    Bone* bone = mesh.bones.append();
    ASSERT_NE(bone, nullptr);
    ASSERT_EQ(bone->weights.allocate(i % 7 + 1), 1);
    bone->weights[0] = static_cast<float>(i);
    addresses.push_back(bone);
  }
  ASSERT_EQ(mesh.bones.count(), static_cast<std::uint64_t>(kBones));
  for (int i = 0; i < kBones; ++i) {
    const Bone& bone = mesh.bones.at(static_cast<std::uint64_t>(i));
    EXPECT_EQ(&bone, addresses[static_cast<std::size_t>(i)]);
    EXPECT_EQ(bone.weights.count(), i % 7 + 1);
    EXPECT_EQ(bone.weights[0], static_cast<float>(i));
    EXPECT_EQ(bone.translationMatrix[15], 1.0f);
  }
}

TEST(RecordTable, IteratesInIndexOrderAcrossBlocks) {
  Model model;
  constexpr int kFrames = 3000;  // past the doubling blocks into the fixed ones
  for (int i = 0; i < kFrames; ++i) ASSERT_NE(model.addFrame(i - 1), nullptr);
  int expected = -1;
  for (const Frame& frame : model.frames) EXPECT_EQ(frame.parentIndex, expected++);
  EXPECT_EQ(expected, kFrames - 1);
}

TEST(ElementTable, DefaultRunsStandBetweenStoredRecords) {
  ElementTable<Texture> table;
  table.append()->primitiveStart = 1;
  ASSERT_TRUE(table.appendDefaults(1000000000000ull));
  table.append()->primitiveStart = 2;
  ASSERT_TRUE(table.appendDefaults(2));
  table.append()->primitiveStart = 3;
  EXPECT_EQ(table.count(), 1000000000005ull);
  EXPECT_EQ(table.storedCount(), 3u);
  const std::pair<std::uint64_t, int> starts[] = {{0, 1},
                                                  {1, 0},
                                                  {1000000000000ull, 0},
                                                  {1000000000001ull, 2},
                                                  {1000000000003ull, 0},
                                                  {1000000000004ull, 3}};
  for (const auto& [index, start] : starts) EXPECT_EQ(table.at(index).primitiveStart, start);
  EXPECT_EQ(table.lastStored().primitiveStart, 3);
}

// Counts what goes through a block source, to see that every block goes back where it came from.
struct CountingSource {
  static inline int live = 0;
  static void* allocate(std::size_t bytes) {
    ++live;
    return std::calloc(1, bytes);
  }
  static void release(void* block, std::size_t) {
    --live;
    std::free(block);
  }
};

TEST(Block, ArraysComeZeroedFromTheirSourceAndGoBackToIt) {
  const BlockSource counting{CountingSource::allocate, CountingSource::release};
  {
    Mesh mesh;
    ASSERT_EQ(mesh.vertices.allocate(1000, counting), 1);
    ASSERT_EQ(mesh.indices.allocate(10, counting), 1);
    EXPECT_EQ(CountingSource::live, 2);
    EXPECT_EQ(mesh.vertices[999].diffuse[0], 0.0f);  // zero-filled, not a new vertex
    mesh.indices[2] = 9;
    ASSERT_EQ(mesh.indices.allocate(3, counting), 1);  // the old array goes back first
    EXPECT_EQ(CountingSource::live, 2);
    EXPECT_EQ(mesh.indices.count(), 3);
    EXPECT_EQ(mesh.indices[2], 0u);
    Bone bone;
    ASSERT_EQ(bone.weights.allocate(3, counting), 1);
    Bone moved(std::move(bone));  // a bone moved into a grown table owns its array alone
    EXPECT_EQ(moved.weights.count(), 3);
    EXPECT_EQ(bone.weights.count(), 0);
    Block image;
    ASSERT_TRUE(image.allocate(0, counting));  // a block of at least one byte
    EXPECT_EQ(CountingSource::live, 4);
  }
  EXPECT_EQ(CountingSource::live, 0);
}

TEST(Block, ALoadTakesItsArraysFromTheSourceItIsHanded) {
  const BlockSource counting{CountingSource::allocate, CountingSource::release};
  {
    Model model;
    ASSERT_TRUE(load(test::sampleModel(), model, nullptr, nullptr, std::nullopt, counting).loaded);
    EXPECT_GT(CountingSource::live, 2);  // vertices, indices and more
  }
  EXPECT_EQ(CountingSource::live, 0);
}

TEST(ClearModel, LeavesNothingBehindAndIsHarmlessTwice) {
  Model model;
  model.clearModel();
  EXPECT_TRUE(model.empty());
  for (int f = 0; f < 3; ++f) {
    Mesh* mesh = model.addFrame(f - 1)->meshes.append();
    ASSERT_EQ(mesh->vertices.allocate(100), 1);
    ASSERT_EQ(mesh->bones.append()->vertexIndices.allocate(10), 1);
    mesh->bones.appendDefaults(5);
  }
  ASSERT_EQ(model.addAnimationSet()->animations.append()->positionKeys.allocate(4), 1);
  for (int twice = 0; twice < 2; ++twice) {
    model.clearModel();
    EXPECT_TRUE(model.empty());
    EXPECT_EQ(model.frames.count(), 0u);
    EXPECT_EQ(model.animationSets.count(), 0u);
  }
  // The model is usable again after a clear.
  EXPECT_STREQ(model.addFrame(-1)->name, "NoName");
  EXPECT_EQ(model.frames.count(), 1u);
}

}  // namespace
}  // namespace kxm
