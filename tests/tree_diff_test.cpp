// The pairing of two files as a viewer needs it beside kxm diff's lines: where each difference
// lies in both files (its node on each side, the bytes of an element's field, a failure's
// offset), the two values apart, and every pair of nodes both files hold. Files by our writer;
// the second is shifted by a frame inserted before the change, so that each side's offsets are
// its own.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/kxm_writer.h"
#include "tree/tree_diff.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

class Collected final : public DiffReport {
 public:
  Collected() : DiffReport(1000) {}
  std::vector<Difference> listed;
  std::vector<std::pair<NodeHandle, NodeHandle>> pairs;
  void paired(NodeHandle a, NodeHandle b) override { pairs.emplace_back(a, b); }

 protected:
  void list(const Difference& difference) override { listed.push_back(difference); }
};

// Two files compared; the bytes are kept as long as the sides look at them.
struct Compared {
  std::vector<std::uint8_t> first, second;
  DiffSide a, b;
  Collected report;

  Compared(std::vector<std::uint8_t> x, std::vector<std::uint8_t> y)
      : first(std::move(x)), second(std::move(y)) {
    DiffOptions options;
    (void)a.load(first, options);
    (void)b.load(second, options);
    diffFiles(options, a, b, report);
  }
};

// A root frame "knight" with a child frame; `before` adds frames in front of it, `ghost` is its
// mesh's render state, `y` its second vertex's y.
struct Knight {
  std::vector<std::string> before;
  std::int32_t ghost = -1;
  float y = 0;
  bool cut = false;
};

std::vector<std::uint8_t> knight(const Knight& k) {
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "knight");
  for (const std::string& name : k.before) {
    w.open(FrameChild).chunkStr(FrameName, name).end().close();
  }
  w.open(FrameChild).chunkStr(FrameName, "Arm").open(FrameMesh);
  w.positions({0, 0, 0, 1, k.y, 0, 0, 1, 0});
  if (k.cut) {
    // Index data says 6 bytes and the file ends after 4 of them.
    w.chunkI32(MeshIndexCount, 3).head(MeshIndexData, 6).u16(0).u16(1).closeAll();
    return w.bytes();
  }
  w.indices({0, 1, 2}).chunkI32(MeshGhostMode, k.ghost);
  w.end().close().end().close();
  w.end().close();
  return w.bytes();
}

// The first node, in pre-order, whose label is `label`; 0 for none.
NodeHandle find(DiffSide& side, std::string_view label) {
  std::vector<NodeHandle> stack;
  for (NodeHandle n = side.tree.firstChild(0); n != 0; n = side.tree.nextSibling(n)) {
    stack.insert(stack.begin(), n);
  }
  while (!stack.empty()) {
    const NodeHandle n = stack.back();
    stack.pop_back();
    if (side.label(n) == label) return n;
    std::vector<NodeHandle> children;
    for (NodeHandle c = side.tree.firstChild(n); c != 0; c = side.tree.nextSibling(c)) {
      children.push_back(c);
    }
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
  return 0;
}

TEST(TreeDiff, AnInsertedFrameIsOneDifferenceOnTheSecondSideAndTheRestStayPaired) {
  Compared c(knight({}), knight({{"Sword"}}));
  ASSERT_EQ(c.report.listed.size(), 1u);
  const Difference& d = c.report.listed[0];
  EXPECT_STREQ(d.kind, "added");
  EXPECT_EQ(d.a.node, 0u);
  EXPECT_EQ(d.b.node, find(c.b, "Frame CHILD: \"Sword\""));
  EXPECT_NE(d.b.node, 0u);
  EXPECT_FALSE(d.a.byte || d.b.byte);
  // Every node of the first file meets its counterpart, label for label, roots included.
  EXPECT_EQ(c.report.pairs.size(), c.a.tree.liveCount());
  for (const auto& [x, y] : c.report.pairs) EXPECT_EQ(c.a.label(x), c.b.label(y));
}

TEST(TreeDiff, EachDifferenceSaysWhereItLiesInBothFilesAndBothValues) {
  const struct {
    const char* what;
    Knight second;
    const char* kind;
    const char* from;
    const char* to;
    const char* nodeA;  // the labels of the nodes it is about
    const char* nodeB;
    bool bytes;  // the field's bytes on both sides
  } cases[] = {
      {"a value",
       {{"Sword"}, 2, 0, false},
       "value",
       "-1",
       "2",
       "Mesh Ghost Mode: -1",
       "Mesh Ghost Mode: 2",
       false},
      {"a vertex",
       {{"Sword"}, -1, 0.5f, false},
       "content",
       "(1, 0, 0)",
       "(1, 0.5, 0)",
       "Mesh Vertex Data",
       "Mesh Vertex Data",
       true},
  };
  for (const auto& c : cases) {
    Compared compared(knight({}), knight(c.second));
    ASSERT_EQ(compared.report.listed.size(), 2u) << c.what;  // the frame added, then this
    const Difference& d = compared.report.listed[1];
    EXPECT_STREQ(d.kind, c.kind) << c.what;
    EXPECT_EQ(d.from, c.from) << c.what;
    EXPECT_EQ(d.to, c.to) << c.what;
    EXPECT_NE(d.text.find(d.from + " -> " + d.to), std::string::npos) << d.text;
    EXPECT_EQ(d.a.node, find(compared.a, c.nodeA)) << c.what;
    EXPECT_EQ(d.b.node, find(compared.b, c.nodeB)) << c.what;
    ASSERT_EQ(bool(d.a.byte), c.bytes) << c.what;
    ASSERT_EQ(bool(d.b.byte), c.bytes) << c.what;
    if (!c.bytes) continue;
    // Vertex 1's position: 12 bytes into each file's payload, wherever that file has it.
    const std::uint32_t a = compared.a.source(d.a.node).offset + 8 + 12;
    const std::uint32_t b = compared.b.source(d.b.node).offset + 8 + 12;
    EXPECT_NE(a, b);
    EXPECT_EQ(*d.a.byte, a);
    EXPECT_EQ(*d.b.byte, b);
  }
}

TEST(TreeDiff, AFailureIsAtItsOffsetInTheFileThatFails) {
  Compared c(knight({}), knight({{}, -1, 0, true}));
  ASSERT_TRUE(c.b.failure);
  ASSERT_FALSE(c.report.listed.empty());
  const Difference& d = c.report.listed.back();
  EXPECT_STREQ(d.kind, "failed");
  EXPECT_EQ(d.path, "");
  EXPECT_FALSE(d.a.byte);
  ASSERT_TRUE(d.b.byte);
  EXPECT_EQ(*d.b.byte, c.b.failure.offset);
  EXPECT_EQ(d.text.rfind("the second file fails to load at ", 0), 0u) << d.text;
}

}  // namespace

}  // namespace kxm::test
