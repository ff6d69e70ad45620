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
  ChunkTree tree;
  (void)load(w.bytes(), model, nullptr, &recorder);
  return recorder;
}

std::uint32_t at(const KxmWriter& w) {
  return static_cast<std::uint32_t>(w.size());
}

// A well-formed root frame (with its END) around a mesh (with its END) around the body.
template <class Body>
KxmWriter mesh(Body body) {
  KxmWriter w;
  w.open(1).open(103);
  body(w);
  w.end().close().end().close();
  return w;
}

// Two vertices of position only, the mesh state the range checks need.
void twoVertices(KxmWriter& w) {
  w.chunkU32(111, 0x002).chunkI32(112, 12).chunkI32(113, 2);
  w.open(115).floats({0, 0, 0, 1, 1, 1}).close();
}

struct Case {
  const char* rule;
  KxmWriter file;
  std::vector<Found> expected;
};

std::vector<Case> cases() {
  std::vector<Case> all;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  {
    KxmWriter w;
    w.open(1);
    const auto o = at(w);
    w.head(108, 20).floats({1, 1, 1}).close();
    all.push_back({"a scale chunk running past its frame", w,
                   {{"chunk-past-parent", o, "Frame Scale"},
                    {"value-size-mismatch", o, "Frame Scale"},
                    {"missing-end", o + 20, "Frame ROOT"}}});
  }
  {
    KxmWriter w;
    w.head(406, 100).zeros(10);
    all.push_back({"custom data past the end of the file", w,
                   {{"chunk-past-parent", 24, "CustomData"}}});
  }
  all.push_back({"an unlisted code in a frame", rootFrame([](KxmWriter& w) { w.head(200, 0).end(); }),
                 {{"unknown-chunk", 32, "UNKNOWN"}}});
  all.push_back({"an unlisted code at the top level", KxmWriter().head(3, 0),
                 {{"unknown-chunk", 24, "UNKNOWN"}}});
  all.push_back({"a texture chunk in a frame",
                 rootFrame([](KxmWriter& w) { w.chunkI32(142, 1).end(); }),
                 {{"misplaced-chunk", 32, "Texture Stage"}}});
  all.push_back({"an offset of 16 bytes",
                 rootFrame([](KxmWriter& w) { w.open(106).floats({1, 2, 3, 4}).close().end(); }),
                 {{"value-size-mismatch", 32, "Frame Offset"}}});
  all.push_back({"a frame name of 200 bytes",
                 rootFrame([](KxmWriter& w) { w.chunkStr(101, std::string(200, 'x')).end(); }),
                 {{"name-too-long", 40, "Frame Name"}}});
  all.push_back({"a frame without END",
                 rootFrame([](KxmWriter& w) { w.chunkFloats(106, {0, 0, 0}); }),
                 {{"missing-end", 52, "Frame ROOT"}}});
  all.push_back({"NaN in an offset",
                 rootFrame([nan](KxmWriter& w) { w.chunkFloats(106, {nan, 0, 0}).end(); }),
                 {{"non-finite-float", 32, "Frame Offset"}}});
  {
    std::uint32_t o = 0;
    KxmWriter w = mesh([&](KxmWriter& m) {
      o = at(m);
      m.open(115).zeros(12).close();
    });
    all.push_back({"vertex data without a count", w, {{"data-without-count", o, "Mesh Vertex Data"}}});
  }
  {
    std::uint32_t o = 0;
    KxmWriter w = mesh([&](KxmWriter& m) {
      m.chunkI32(127, 2).open(128);
      o = at(m) - 8;
      m.chunkStr(141, "a.png").end().end().close();
    });
    all.push_back({"a texture count of 2 over one texture", w,
                   {{"list-count-mismatch", o, "Mesh TEXTURES"}}});
    KxmWriter three = mesh([&](KxmWriter& m) {
      m.chunkI32(127, 3).open(128).chunkStr(141, "a.png").end().end().close();
    });
    all.push_back({"a texture count of 3 over one texture", three,
                   {{"list-count-mismatch", o, "Mesh TEXTURES"}}});
  }
  {
    std::uint32_t o = 0;
    KxmWriter w = mesh([&](KxmWriter& m) {
      twoVertices(m);
      m.chunkI32(114, 2);
      o = at(m);
      m.open(116).u16(0).u16(0).u16(0).close();
    });
    all.push_back({"index data of 6 bytes for 2 indices", w,
                   {{"data-size-mismatch", o, "Mesh Index Data"}}});
  }
  {
    std::uint32_t o = 0;
    KxmWriter w = mesh([&](KxmWriter& m) {
      m.chunkU32(111, 0x002).chunkI32(112, 8).chunkI32(113, 1);
      o = at(m);
      m.open(115).zeros(12).close();
    });
    all.push_back({"a stride of 8 for 12 bytes of position", w,
                   {{"stride-too-small", o, "Mesh Vertex Data"}}});
  }
  {
    std::uint32_t o = 0;
    KxmWriter w = mesh([&](KxmWriter& m) {
      twoVertices(m);
      m.chunkI32(114, 3);
      o = at(m);
      m.open(116).u16(0).u16(1).u16(5).close();
    });
    all.push_back({"index 5 of two vertices", w, {{"index-out-of-range", o, "Mesh Index Data"}}});
  }
  {
    std::uint32_t o = 0;
    KxmWriter w = mesh([&](KxmWriter& m) {
      twoVertices(m);
      m.chunkI32(114, 3).open(116).u16(0).u16(1).u16(1).close();
      m.chunkI32(124, 1).open(139).chunkStr(161, "red");
      o = at(m);
      m.chunkI32(163, 0).chunkI32(164, 6).end().end().close();
    });
    all.push_back({"a multi-material over 6 of 3 indices", w,
                   {{"range-out-of-bounds", o, "MultiMaterial Index Start"}}});
  }
  {
    std::uint32_t o = 0;
    KxmWriter w = mesh([&](KxmWriter& m) {
      twoVertices(m);
      m.chunkI32(121, 1).open(122).chunkStr(301, "arm").chunkI32(302, 1);
      o = at(m);
      m.open(303).i32(5).close().open(304).f32(1).close().end().end().close();
    });
    all.push_back({"a bone over vertex 5 of two", w,
                   {{"bone-vertex-out-of-range", o, "Bones Vertices"}}});
  }
  {
    std::uint32_t o = 0;
    KxmWriter w = mesh([&](KxmWriter& m) {
      twoVertices(m);
      m.chunkI32(121, 1).open(122).chunkI32(302, 2);
      o = at(m);
      m.open(303).i32(0).i32(1).close().chunkI32(302, 1).open(304).f32(1).close();
      m.end().end().close();
    });
    all.push_back({"a bone with 2 vertices and 1 weight", w,
                   {{"bone-weights-mismatch", o, "Bones Vertices"}}});
  }
  {
    KxmWriter w;
    w.open(2).open(203).chunkU32(212, 2);
    const auto o = at(w);
    w.open(213).u32(5).floats({0, 0, 0}).zeros(12).u32(5).floats({1, 1, 1}).zeros(12).close();
    w.end().close().end().close();
    all.push_back({"two keys at time 5", w, {{"key-times-not-increasing", o, "Position Data"}}});
  }
  {
    KxmWriter w;
    w.open(2).open(203).chunkU32(214, 1);
    const auto o = at(w);
    w.open(215).u32(0).floats({0, 0, 0, 2}).close().end().close().end().close();
    all.push_back({"a rotation of length 2", w, {{"rotation-not-unit", o, "Rotation Data"}}});
  }
  return all;
}

TEST(Findings, EachCodeAtItsOffsetAndChunk) {
  for (const Case& c : cases()) {
    const Recorder recorder = check(c.file);
    EXPECT_EQ(recorder.found, c.expected) << c.rule;
    // A load with no observer walks the same way to the same outcome.
    EXPECT_EQ(load(c.file).result, 1) << c.rule;
  }
}

TEST(Findings, MessagesSayWhatIsWrong) {
  const Recorder recorder = check(mesh([](KxmWriter& m) {
    twoVertices(m);
    m.chunkI32(114, 4).open(116).u16(7).u16(1).u16(9).u16(2).close();
  }));
  ASSERT_EQ(recorder.messages.size(), 1u);
  EXPECT_EQ(recorder.messages[0], "3 indices refer to vertices past the mesh's 2 (first: 7)");
}

TEST(Findings, NoneInWellFormedFiles) {
  EXPECT_EQ(check(KxmWriter::bare().raw({reinterpret_cast<const char*>(sampleModel().data()),
                                         sampleModel().size()}))
                .found,
            std::vector<Found>{});
  // Every walker's well-formed shapes, with names, values, lists and a chain.
  KxmWriter w;
  w.open(1).chunkStr(101, "root").chunkFloats(102, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  w.open(104).chunkStr(101, "child").chunkFloats(106, {1, 2, 3}).open(103);
  twoVertices(w);
  w.chunkI32(114, 3).open(116).u16(0).u16(1).u16(1).close().chunkI32(117, 4).chunkU8(131, 1);
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
