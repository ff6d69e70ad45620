// What the reader tells a sink of the model records its chunks begin: the kind for the chunk's
// code, and an index (and owner) that finds in the model the very record the chunk filled.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/model.h"
#include "reader/chunk_sink.h"
#include "reader/load.h"
#include "tests/support/kxm_writer.h"
#include "tests/support/sample_model.h"

namespace kxm::test {
namespace {

struct Told {
  ChunkCode code;
  RecordStart record;
  ChunkValue::Kind valueKind;
  std::string text;  // a name told with the chunk
  std::int32_t integer;
};

// Keeps every chunk told, in order; no nodes.
class RecordingSink final : public ChunkSink {
 public:
  void headerField(std::uint32_t, const char*, const ChunkValue&) override {}
  SinkNode topLevelChunk(SinkRoot, const ChunkHead& head, const RecordStart& record) override {
    told.push_back({head.code, record, ChunkValue::Kind::None, {}, 0});
    return 0;
  }
  SinkNode chunk(SinkNode, const ChunkHead& head, const ChunkValue& value,
                 const RecordStart& record) override {
    told.push_back({head.code, record, value.kind,
                    value.kind == ChunkValue::Kind::Name ? value.text : "", value.integer});
    return 0;
  }
  void end(SinkNode, const ChunkHead&, EndKind, const char*) override {}
  void frameNamed(SinkNode, std::uint32_t, bool, const char*) override {}

  std::vector<Told> told;
};

using Kind = RecordStart::Kind;

// The first chunk of `code` told after position i: what the record just begun holds first.
const Told* nextOf(const std::vector<Told>& told, std::size_t i, ChunkCode code) {
  for (std::size_t j = i + 1; j < told.size(); ++j) {
    if (told[j].code == code) return &told[j];
  }
  return nullptr;
}

TEST(SinkRecords, EveryRecordOfTheSampleIsToldWithTheChunkThatBeginsIt) {
  const std::vector<std::uint8_t> bytes = sampleModel();
  Model model;
  RecordingSink sink;
  ASSERT_TRUE(load(bytes, model, &sink).loaded);

  struct Rule {
    ChunkCode code;
    Kind kind;
  };
  const Rule rules[] = {
      {chunk::FrameRoot, Kind::Frame},
      {chunk::FrameChild, Kind::Frame},
      {chunk::FrameSibling, Kind::Frame},
      {chunk::FrameMesh, Kind::Mesh},
      {chunk::AnimationSetRoot, Kind::AnimationSet},
      {chunk::AnimationSetData, Kind::Animation},
      {chunk::NextAnimation, Kind::Animation},
  };
  std::size_t frames = 0, meshes = 0, sets = 0, animations = 0;
  for (std::size_t i = 0; i < sink.told.size(); ++i) {
    const Told& t = sink.told[i];
    Kind expected = Kind::None;
    for (const Rule& rule : rules) {
      if (rule.code == t.code) expected = rule.kind;
    }
    ASSERT_EQ(t.record.kind, expected) << "chunk " << t.code << " told at " << i;
    switch (t.record.kind) {
      case Kind::None: break;
      case Kind::Frame: {
        // Frames are told in the order the model adds them; each is the one its name names.
        ASSERT_EQ(t.record.index, frames++);
        const Told* name = nextOf(sink.told, i, chunk::FrameName);
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(model.frames[t.record.index].name, name->text.c_str());
        break;
      }
      case Kind::Mesh: {
        ++meshes;
        ASSERT_LT(t.record.owner, model.frames.count());
        const Frame& frame = model.frames[t.record.owner];
        ASSERT_LT(t.record.index, frame.meshes.count());
        const Told* vertices = nextOf(sink.told, i, chunk::MeshVertexCount);
        ASSERT_NE(vertices, nullptr);
        EXPECT_EQ(frame.meshes[t.record.index].vertices.count(), vertices->integer);
        break;
      }
      case Kind::AnimationSet: {
        ASSERT_EQ(t.record.index, sets++);
        const Told* name = nextOf(sink.told, i, chunk::AnimationSetName);
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(model.animationSets[t.record.index].name, name->text.c_str());
        break;
      }
      case Kind::Animation: {
        ++animations;
        ASSERT_LT(t.record.owner, model.animationSets.count());
        const AnimationSet& set = model.animationSets[t.record.owner];
        ASSERT_LT(t.record.index, set.animations.count());
        const Told* bone = nextOf(sink.told, i, chunk::AnimBoneName);
        ASSERT_NE(bone, nullptr);
        EXPECT_STREQ(set.animations[t.record.index].boneName, bone->text.c_str());
        break;
      }
    }
  }
  // Every record of the model was begun by a chunk told so.
  EXPECT_EQ(frames, model.frames.count());
  std::size_t modelMeshes = 0;
  for (const Frame& frame : model.frames)
    modelMeshes += static_cast<std::size_t>(frame.meshes.count());
  EXPECT_EQ(meshes, modelMeshes);
  EXPECT_EQ(sets, model.animationSets.count());
  std::size_t modelAnimations = 0;
  for (const AnimationSet& set : model.animationSets) {
    modelAnimations += static_cast<std::size_t>(set.animations.count());
  }
  EXPECT_EQ(animations, modelAnimations);
  EXPECT_GT(meshes, 1u);
  EXPECT_GT(animations, 1u);
}

// A second mesh of a frame and a second set are told by their own indices, not their owners'.
TEST(SinkRecords, IndicesCountWithinTheirOwner) {
  KxmWriter w;
  w.open(chunk::FrameRoot).chunkStr(chunk::FrameName, "A");
  w.open(chunk::FrameMesh).end().close().open(chunk::FrameMesh).end().close();
  w.open(chunk::FrameChild).chunkStr(chunk::FrameName, "B");
  w.open(chunk::FrameMesh).end().close().end().close();
  w.end().close();
  for (int set = 0; set < 2; ++set) {
    w.open(chunk::AnimationSetRoot).open(chunk::AnimationSetData);
    w.open(chunk::NextAnimation).end().close().end().close().end().close();
  }
  Model model;
  RecordingSink sink;
  ASSERT_TRUE(load(w.bytes(), model, &sink).loaded);

  std::vector<std::vector<std::uint32_t>> starts;  // kind, owner, index
  for (const Told& t : sink.told) {
    if (t.record.kind == Kind::None) continue;
    starts.push_back(
        {static_cast<std::uint32_t>(t.record.kind),
         t.record.kind == Kind::Mesh || t.record.kind == Kind::Animation ? t.record.owner : 0u,
         t.record.index});
  }
  auto at = [](Kind kind, std::uint32_t owner, std::uint32_t index) {
    return std::vector<std::uint32_t>{static_cast<std::uint32_t>(kind), owner, index};
  };
  const std::vector<std::vector<std::uint32_t>> expected = {
      at(Kind::Frame, 0, 0),     at(Kind::Mesh, 0, 0),      at(Kind::Mesh, 0, 1),
      at(Kind::Frame, 0, 1),     at(Kind::Mesh, 1, 0),      at(Kind::AnimationSet, 0, 0),
      at(Kind::Animation, 0, 0), at(Kind::Animation, 0, 1), at(Kind::AnimationSet, 0, 1),
      at(Kind::Animation, 1, 0), at(Kind::Animation, 1, 1),
  };
  EXPECT_EQ(starts, expected);
}

// A chunk that runs past its parent is walked twice and begins a record each time: both are
// told, each by the record the model added for it.
TEST(SinkRecords, AChunkWalkedAgainBeginsANewRecord) {
  for (const ChunkCode code : {chunk::FrameChild, chunk::NextAnimation}) {
    Model model;
    RecordingSink sink;
    ASSERT_TRUE(load(overflowingChain(code, 3).bytes(), model, &sink).loaded);
    const Kind kind = code == chunk::FrameChild ? Kind::Frame : Kind::Animation;
    std::vector<std::uint32_t> indices;
    for (const Told& t : sink.told) {
      if (t.record.kind == kind) indices.push_back(t.record.index);
    }
    const std::size_t records =
        kind == Kind::Frame ? model.frames.count() : model.animationSets[0].animations.count();
    ASSERT_EQ(indices.size(), records) << code;
    for (std::size_t i = 0; i < indices.size(); ++i) EXPECT_EQ(indices[i], i) << code;
  }
}

}  // namespace
}  // namespace kxm::test
