// kxm check's findings: each code found in a small file made for it, at its offset and in its
// chunk, and none in well-formed files.
#include <gtest/gtest.h>

#include <limits>

#include "tests/support/sample_model.h"
#include "tests/support/walk.h"

namespace kxm::test {
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
  return nested({1, 103}, body);
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
       KxmWriter().open(1).mark().head(108, 20).floats({1, 1, 1}).close(),
       {{"chunk-past-parent", 0, "Frame Scale"},
        {"value-size-mismatch", 0, "Frame Scale"},
        {"missing-end", 20, "Frame ROOT"}}},
      {"custom data past the end of the file", KxmWriter().head(406, 100).zeros(10),
       {{"chunk-past-parent", 24, "CustomData"}}},
      {"an unlisted code in a frame", rootFrame([](KxmWriter& w) { w.head(200, 0).end(); }),
       {{"unknown-chunk", 32, "UNKNOWN"}}},
      {"an unlisted code at the top level", KxmWriter().head(3, 0),
       {{"unknown-chunk", 24, "UNKNOWN"}}},
      {"a texture chunk in a frame", rootFrame([](KxmWriter& w) { w.chunkI32(142, 1).end(); }),
       {{"misplaced-chunk", 32, "Texture Stage"}}},
      {"an offset of 16 bytes",
       rootFrame([](KxmWriter& w) { w.open(106).floats({1, 2, 3, 4}).close().end(); }),
       {{"value-size-mismatch", 32, "Frame Offset"}}},
      {"a frame name of 200 bytes",
       rootFrame([](KxmWriter& w) { w.chunkStr(101, std::string(200, 'x')).end(); }),
       {{"name-too-long", 40, "Frame Name"}}},
      {"a frame without END", rootFrame([](KxmWriter& w) { w.chunkFloats(106, {0, 0, 0}); }),
       {{"missing-end", 52, "Frame ROOT"}}},
      {"NaN in an offset",
       rootFrame([nan](KxmWriter& w) { w.chunkFloats(106, {nan, 0, 0}).end(); }),
       {{"non-finite-float", 32, "Frame Offset"}}},
      {"vertex data without a count",
       mesh([](KxmWriter& m) { m.mark().open(115).zeros(12).close(); }),
       {{"data-without-count", 0, "Mesh Vertex Data"}}},
      {"a texture count of 2 over one texture",
       mesh([](KxmWriter& m) {
         m.chunkI32(127, 2).mark().open(128).chunkStr(141, "a.png").end().end().close();
       }),
       {{"list-count-mismatch", 0, "Mesh TEXTURES"}}},
      {"a texture count of 3 over one texture",
       mesh([](KxmWriter& m) {
         m.chunkI32(127, 3).mark().open(128).chunkStr(141, "a.png").end().end().close();
       }),
       {{"list-count-mismatch", 0, "Mesh TEXTURES"}}},
      {"index data of 6 bytes for 2 indices",
       mesh([](KxmWriter& m) {
         m.positions({0, 0, 0, 1, 1, 1});
         m.chunkI32(114, 2).mark().open(116).u16(0).u16(0).u16(0).close();
       }),
       {{"data-size-mismatch", 0, "Mesh Index Data"}}},
      {"a stride of 8 for 12 bytes of position",
       mesh([](KxmWriter& m) {
         m.chunkU32(111, 0x002).chunkI32(112, 8).chunkI32(113, 1);
         m.mark().open(115).zeros(12).close();
       }),
       {{"stride-too-small", 0, "Mesh Vertex Data"}}},
      // Indices past the vertices are counted, and the first of them named.
      {"indices 7, 9 and 2 of two vertices",
       mesh([](KxmWriter& m) {
         m.positions({0, 0, 0, 1, 1, 1});
         m.chunkI32(114, 4).mark().open(116).u16(7).u16(1).u16(9).u16(2).close();
       }),
       {{"index-out-of-range", 0, "Mesh Index Data"}},
       "3 indices refer to vertices past the mesh's 2 (first: 7)"},
      {"a multi-material over 6 of 3 indices",
       mesh([](KxmWriter& m) {
         m.positions({0, 0, 0, 1, 1, 1});
         m.indices({0, 1, 1}).chunkI32(124, 1).open(139).chunkStr(161, "red").mark();
         m.chunkI32(163, 0).chunkI32(164, 6).end().end().close();
       }),
       {{"range-out-of-bounds", 0, "MultiMaterial Index Start"}}},
      {"a bone over vertex 5 of two",
       mesh([](KxmWriter& m) {
         m.positions({0, 0, 0, 1, 1, 1});
         m.chunkI32(121, 1).open(122).chunkStr(301, "arm").chunkI32(302, 1).mark();
         m.open(303).i32(5).close().open(304).f32(1).close().end().end().close();
       }),
       {{"bone-vertex-out-of-range", 0, "Bones Vertices"}}},
      {"a bone with 2 vertices and 1 weight",
       mesh([](KxmWriter& m) {
         m.positions({0, 0, 0, 1, 1, 1});
         m.chunkI32(121, 1).open(122).chunkI32(302, 2).mark().open(303).i32(0).i32(1).close();
         m.chunkI32(302, 1).open(304).f32(1).close().end().end().close();
       }),
       {{"bone-weights-mismatch", 0, "Bones Vertices"}}},
      {"two keys at time 5", nested({2, 203}, [](KxmWriter& w) {
         w.chunkU32(212, 2).mark().open(213).u32(5).floats({0, 0, 0}).zeros(12);
         w.u32(5).floats({1, 1, 1}).zeros(12).close();
       }),
       {{"key-times-not-increasing", 0, "Position Data"}}},
      {"a rotation of length 2", nested({2, 203}, [](KxmWriter& w) {
         w.chunkU32(214, 1).mark().open(215).u32(0).floats({0, 0, 0, 2}).close();
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

TEST(Findings, NoneInWellFormedFiles) {
  EXPECT_EQ(check(KxmWriter::bare().raw(sampleModel())).found, std::vector<Found>{});
  // Every walker's well-formed shapes, with names, values, lists and a chain.
  KxmWriter w;
  w.open(1).chunkStr(101, "root").chunkFloats(102, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  w.open(104).chunkStr(101, "child").chunkFloats(106, {1, 2, 3}).open(103);
  w.positions({0, 0, 0, 1, 1, 1});
  w.indices({0, 1, 1}).chunkI32(117, 4).chunkU8(131, 1);
  w.chunkI32(127, 1).open(128).chunkStr(141, "t.png").chunkI32(152, 0).chunkI32(153, 1).end();
  w.end().close().end().close().open(105).chunkStr(101, "sibling").end().close().end().close();
  w.end().close();
  w.open(2).chunkStr(201, "walk").chunkU32(202, 10).open(203).chunkStr(211, "root");
  w.chunkU32(214, 1).open(215).u32(0).floats({0, 0, 0, 1}).close().open(220).chunkStr(211, "child");
  w.end().close().end().close().end().close();
  Walk walk(w);
  ASSERT_EQ(walk.result, 1);
  EXPECT_EQ(check(w).found, std::vector<Found>{});
}

}  // namespace
}  // namespace kxm::test
