// kxm check's findings: each code found in a small file made for it, at its offset and in its
// chunk, and none in well-formed files.
#include <gtest/gtest.h>

#include <limits>
#include <map>

#include "tests/support/sample_model.h"
#include "tests/support/walk.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

struct Found {
  std::string code;
  std::uint32_t offset;
  std::string chunk;  // the innermost chunk's name, with its object's name if one was read
  bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Found& f) {
  return out << f.code << "@" << f.offset << " in " << f.chunk;
}

class Recorder : public LoadObserver {
 public:
  void onFinding(Finding finding) override {
    std::string chunk = finding.path.empty() ? "" : describePath({finding.path.back()});
    found.push_back({std::string(issueName(finding.code)), finding.offset, chunk});
    messages.push_back(finding.message);
  }
  std::vector<Found> found;
  std::vector<std::string> messages;
};

Recorder check(const KxmWriter& w) {
  Recorder recorder;
  Model model;
  (void)load(w.bytes(), model, nullptr, &recorder);
  return recorder;
}

// Well-formed chunks of the codes given, each inside the one before and closed by its END,
// around the body.
template <class Body>
KxmWriter nested(std::initializer_list<std::uint32_t> codes, Body body) {
  KxmWriter w;
  for (std::uint32_t code : codes) w.open(code);
  body(w);
  for (std::size_t i = 0; i < codes.size(); ++i) w.end().close();
  return w;
}
template <class Body>
KxmWriter mesh(Body body) {
  return nested({FrameRoot, FrameMesh}, body);
}

struct Case {
  const char* rule;
  KxmWriter file;
  std::vector<Found> expected;  // offsets from the file's mark (its start when it has none)
  const char* message = nullptr;
};

std::vector<Case> cases() {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  return {
      {"a scale chunk running past its frame",
       KxmWriter().open(FrameRoot).mark().head(FrameScale, 20).floats({1, 1, 1}).close(),
       {{"chunk-past-parent", 0, "Frame Scale"},
        {"value-size-mismatch", 0, "Frame Scale"},
        {"missing-end", 20, "Frame ROOT"}}},
      {"custom data past the end of the file",
       KxmWriter().head(CustomData, 100).zeros(10),
       {{"chunk-past-parent", 24, "CustomData"}}},
      {"an unlisted code in a frame",
       rootFrame([](KxmWriter& w) { w.head(200, 0).end(); }),
       {{"unknown-chunk", 32, "UNKNOWN"}}},
      {"an unlisted code at the top level",
       KxmWriter().head(3, 0),
       {{"unknown-chunk", 24, "UNKNOWN"}}},
      {"a texture chunk in a frame",
       rootFrame([](KxmWriter& w) { w.chunkI32(TextureStage, 1).end(); }),
       {{"misplaced-chunk", 32, "Texture Stage"}}},
      {"an offset of 16 bytes",
       rootFrame([](KxmWriter& w) {
         w.open(FrameOffset).floats({1, 2, 3, 4}).close().end();
       }),
       {{"value-size-mismatch", 32, "Frame Offset"}}},
      {"a frame name of 200 bytes",
       rootFrame([](KxmWriter& w) { w.chunkStr(FrameName, std::string(200, 'x')).end(); }),
       {{"name-too-long", 40, "Frame Name"}}},
      {"a frame without END",
       rootFrame([](KxmWriter& w) {
         w.chunkFloats(FrameOffset, {0, 0, 0});
       }),
       {{"missing-end", 52, "Frame ROOT"}}},
      {"NaN in an offset",
       rootFrame([nan](KxmWriter& w) {
         w.chunkFloats(FrameOffset, {nan, 0, 0}).end();
       }),
       {{"non-finite-float", 32, "Frame Offset"}}},
      {"vertex data without a count",
       mesh([](KxmWriter& m) { m.mark().open(MeshVertexData).zeros(12).close(); }),
       {{"data-without-count", 0, "Mesh Vertex Data"}}},
      {"a texture count of 2 over one texture",
       mesh([](KxmWriter& m) {
         m.chunkI32(MeshTextureCount, 2)
             .mark()
             .open(MeshTextures)
             .chunkStr(TextureName, "a.png")
             .end()
             .end()
             .close();
       }),
       {{"list-count-mismatch", 0, "Mesh TEXTURES"}}},
      {"a texture count of 3 over one texture",
       mesh([](KxmWriter& m) {
         m.chunkI32(MeshTextureCount, 3)
             .mark()
             .open(MeshTextures)
             .chunkStr(TextureName, "a.png")
             .end()
             .end()
             .close();
       }),
       {{"list-count-mismatch", 0, "Mesh TEXTURES"}}},
      {"index data of 6 bytes for 2 indices",
       mesh([](KxmWriter& m) {
         m.positions({0, 0, 0, 1, 1, 1});
         m.chunkI32(MeshIndexCount, 2).mark().open(MeshIndexData).u16(0).u16(0).u16(0).close();
       }),
       {{"data-size-mismatch", 0, "Mesh Index Data"}}},
      {"a stride of 8 for 12 bytes of position",
       mesh([](KxmWriter& m) {
         m.chunkU32(MeshFvfFlags, 0x002).chunkI32(MeshFvfSize, 8).chunkI32(MeshVertexCount, 1);
         m.mark().open(MeshVertexData).zeros(12).close();
       }),
       {{"stride-too-small", 0, "Mesh Vertex Data"}}},
      // Indices past the vertices are counted, and the first of them named.
      {"indices 7, 9 and 2 of two vertices",
       mesh([](KxmWriter& m) {
         m.positions({0, 0, 0, 1, 1, 1});
         m.chunkI32(MeshIndexCount, 4)
             .mark()
             .open(MeshIndexData)
             .u16(7)
             .u16(1)
             .u16(9)
             .u16(2)
             .close();
       }),
       {{"index-out-of-range", 0, "Mesh Index Data"}},
       "3 indices refer to vertices past the mesh's 2 (first: 7)"},
      {"a multi-material over 6 of 3 indices",
       mesh([](KxmWriter& m) {
         m.positions({0, 0, 0, 1, 1, 1});
         m.indices({0, 1, 1})
             .chunkI32(MultipleMaterialCount, 1)
             .open(MultipleMaterials)
             .chunkStr(MultiMaterialName, "red")
             .mark();
         m.chunkI32(MultiMaterialIndexStart, 0)
             .chunkI32(MultiMaterialIndexCount, 6)
             .end()
             .end()
             .close();
       }),
       {{"range-out-of-bounds", 0, "MultiMaterial Index Start"}}},
      {"a bone over vertex 5 of two",
       mesh([](KxmWriter& m) {
         m.positions({0, 0, 0, 1, 1, 1});
         m.chunkI32(MeshBoneCount, 1)
             .open(MeshBonesData)
             .chunkStr(BonesName, "arm")
             .chunkI32(BonesNumInfluences, 1)
             .mark();
         m.open(BonesVertices).i32(5).close().open(BonesWeights).f32(1).close().end().end().close();
       }),
       {{"bone-vertex-out-of-range", 0, "Bones Vertices"}}},
      {"a bone with 2 vertices and 1 weight",
       mesh([](KxmWriter& m) {
         m.positions({0, 0, 0, 1, 1, 1});
         m.chunkI32(MeshBoneCount, 1)
             .open(MeshBonesData)
             .chunkI32(BonesNumInfluences, 2)
             .mark()
             .open(BonesVertices)
             .i32(0)
             .i32(1)
             .close();
         m.chunkI32(BonesNumInfluences, 1).open(BonesWeights).f32(1).close().end().end().close();
       }),
       {{"bone-weights-mismatch", 0, "Bones Vertices"}}},
      {"two keys at time 5",
       nested({AnimationSetRoot, AnimationSetData},
              [](KxmWriter& w) {
                w.chunkU32(PositionKeyCount, 2)
                    .mark()
                    .open(PositionData)
                    .u32(5)
                    .floats({0, 0, 0})
                    .zeros(12);
                w.u32(5).floats({1, 1, 1}).zeros(12).close();
              }),
       {{"key-times-not-increasing", 0, "Position Data"}}},
      {"a rotation of length 2",
       nested({AnimationSetRoot, AnimationSetData},
              [](KxmWriter& w) {
                w.chunkU32(RotationKeyCount, 1)
                    .mark()
                    .open(RotationData)
                    .u32(0)
                    .floats({0, 0, 0, 2})
                    .close();
              }),
       {{"rotation-not-unit", 0, "Rotation Data"}}},
  };
}

TEST(Findings, EachCodeAtItsOffsetAndChunk) {
  for (const Case& c : cases()) {
    std::vector<Found> expected = c.expected;
    for (Found& f : expected) f.offset += c.file.marked();
    const Recorder recorder = check(c.file);
    EXPECT_EQ(recorder.found, expected) << c.rule;
    if (c.message != nullptr) {
      EXPECT_EQ(recorder.messages, std::vector<std::string>{c.message}) << c.rule;
    }
    // A load with no observer walks the same way to the same outcome.
    EXPECT_EQ(load(c.file).result, 1) << c.rule;
  }
}

// Every code the walk can report has a file above that makes it, and the first one says, word
// for word, what its message template promises.
TEST(Findings, EveryCodeOfTheWalkHasACaseAndItsExactWords) {
  const std::map<std::string, std::string> words = {
      {"chunk-past-parent",
       "its payload of 20 bytes ends at 60, past the end of the chunk that holds it at 52"},
      {"unknown-chunk", "code 200 has no name; passed over"},
      {"misplaced-chunk", "Texture Stage (142) does not belong here; passed over"},
      {"value-size-mismatch", "its length field says 20 bytes, its value takes 12"},
      {"name-too-long", "frame name of 200 bytes is skipped: names hold at most 127"},
      {"data-without-count", "vertex data with no vertex count chunk before it: nothing is stored"},
      {"list-count-mismatch",
       "its count is 2, but it holds 1 element and its closing END, read as one more; the rest "
       "are new records"},
      {"missing-end", "the frame ends without an END chunk"},
      {"data-size-mismatch", "its length field says 6 bytes; 2 indices of 2 bytes take 4"},
      {"stride-too-small",
       "the vertex size (stride) is 8, but the format's components take 12 bytes"},
      {"index-out-of-range", "3 indices refer to vertices past the mesh's 2 (first: 7)"},
      {"range-out-of-bounds", "indices 0 to 6 lie past the mesh's 3 indices"},
      {"bone-vertex-out-of-range", "vertex index 5 (entry 0) is past the mesh's 2 vertices"},
      {"bone-weights-mismatch", "1 weight for 2 vertex indices"},
      {"non-finite-float", "Frame Offset value 0 is NaN"},
      {"key-times-not-increasing", "key 1 at time 5 does not come after key 0 at 5"},
      {"rotation-not-unit", "rotation key 0 has length 2, not 1"},
  };
  std::map<std::string, std::string> said;  // each code's first message
  for (const Case& c : cases()) {
    const Recorder r = check(c.file);
    for (std::size_t i = 0; i < r.found.size(); ++i) said.emplace(r.found[i].code, r.messages[i]);
  }
  for (const IssueKind& kind : issueKinds()) {
    if (kind.code > IssueCode::RotationNotUnit) break;  // the export's codes follow the walk's
    const std::string name(kind.name);
    ASSERT_TRUE(said.count(name)) << name << " has no case";
    EXPECT_EQ(said[name], words.at(name)) << name;
    EXPECT_EQ(kind.severity, Severity::Warning) << name;
  }
}

TEST(Findings, NoneInWellFormedFiles) {
  EXPECT_EQ(check(KxmWriter::bare().raw(sampleModel())).found, std::vector<Found>{});
  // Every walker's well-formed shapes, with names, values, lists and a chain.
  KxmWriter w;
  w.open(FrameRoot)
      .chunkStr(FrameName, "root")
      .chunkFloats(FrameMatrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  w.open(FrameChild)
      .chunkStr(FrameName, "child")
      .chunkFloats(FrameOffset, {1, 2, 3})
      .open(FrameMesh);
  w.positions({0, 0, 0, 1, 1, 1});
  w.indices({0, 1, 1}).chunkI32(MeshPrimitiveType, 4).chunkU8(MeshCull, 1);
  w.chunkI32(MeshTextureCount, 1)
      .open(MeshTextures)
      .chunkStr(TextureName, "t.png")
      .chunkI32(TexturePrimitiveStart, 0)
      .chunkI32(TexturePrimitiveCount, 1)
      .end();
  w.end()
      .close()
      .end()
      .close()
      .open(FrameSibling)
      .chunkStr(FrameName, "sibling")
      .end()
      .close()
      .end()
      .close();
  w.end().close();
  w.open(AnimationSetRoot)
      .chunkStr(AnimationSetName, "walk")
      .chunkU32(AnimationSetLength, 10)
      .open(AnimationSetData)
      .chunkStr(AnimBoneName, "root");
  w.chunkU32(RotationKeyCount, 1)
      .open(RotationData)
      .u32(0)
      .floats({0, 0, 0, 1})
      .close()
      .open(NextAnimation)
      .chunkStr(AnimBoneName, "child");
  w.end().close().end().close().end().close();
  Walk walk(w);
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(check(w).found, std::vector<Found>{});
}

}  // namespace
}  // namespace kxm::test
