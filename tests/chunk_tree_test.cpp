// The chunk tree over the in-memory control: the four roots, insertion order, text cut on read,
// clearing, expand-all order, selection, and the dump format.
#include <gtest/gtest.h>

#include <cstring>

#include "tree/chunk_tree.h"
#include "tree/labels.h"
#include "tree/memory_tree.h"
#include "tree/tree_dump.h"

namespace kxm {
namespace {

struct Attached : ::testing::Test {
  void SetUp() override { tree.Attach(&control); }
  MemoryTreeControl control;
  ChunkTree tree;
};

TEST_F(Attached, AttachMakesTheFourRootsInOrder) {
  EXPECT_EQ(dumpTreeToString(control), "FileHeader\nFrames\nAnimationSets\nCustomData\n");
  for (NodeHandle root :
       {tree.fileHeaderRoot, tree.framesRoot, tree.animationSetsRoot, tree.customDataRoot}) {
    EXPECT_NE(root, 0u);
    EXPECT_EQ(control.itemData(root), -1);
    EXPECT_EQ(control.parent(root), 0u);
  }
}

TEST_F(Attached, ChildrenKeepInsertionOrderAndTextIsCopied) {
  char text[] = "first";
  tree.InsertNode(text, tree.framesRoot, -1);
  text[0] = 'F';
  tree.InsertNode("second", tree.framesRoot, -1);
  const NodeHandle third = tree.InsertNode("third", tree.framesRoot, -1);
  tree.InsertNode("grandchild", third, -1);
  tree.InsertNode("stray", 0, -1);  // parent 0: the top level, after the roots
  EXPECT_EQ(dumpTreeToString(control),
            "FileHeader\nFrames\n  first\n  second\n  third\n    grandchild\nAnimationSets\n"
            "CustomData\nstray\n");
}

TEST_F(Attached, GetNodeTextCutsAndTerminates) {
  const NodeHandle node = tree.InsertNode(std::string(200, 'x').c_str(), tree.framesRoot, -1);
  char buffer[128];
  std::memset(buffer, '?', sizeof buffer);
  ASSERT_TRUE(tree.GetNodeText(node, buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), std::string(127, 'x'));
  // The node itself keeps its whole text.
  EXPECT_EQ(control.text(node).size(), 200u);
  // Node 0 is refused, and the buffer left as it was.
  EXPECT_FALSE(tree.GetNodeText(0, buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), std::string(127, 'x'));
  EXPECT_FALSE(tree.SetNodeText(0, "x"));
}

TEST_F(Attached, RelabellingKeepsEveryOtherText) {
  const NodeHandle a = tree.InsertNode("a", tree.framesRoot, -1);
  const NodeHandle b = tree.InsertNode("b", tree.framesRoot, -1);
  tree.SetNodeText(b, "b: longer than before");
  tree.SetNodeText(a, "a: relabelled later");
  tree.SetNodeText(b, "b");
  const NodeHandle c = tree.InsertNode("c", tree.framesRoot, -1);
  tree.SetNodeText(c, std::string(70000, 'c').c_str());  // larger than a text block
  EXPECT_EQ(control.text(a), "a: relabelled later");
  EXPECT_EQ(control.text(b), "b");
  EXPECT_EQ(control.text(c).size(), 70000u);
  EXPECT_EQ(control.text(tree.framesRoot), "Frames");
}

TEST(ChunkTree, DetachedRefusesAndClearIsIdempotent) {
  ChunkTree tree;
  EXPECT_EQ(tree.InsertNode("x", 0, -1), 0u);
  tree.Clear();
  tree.ExpandAll();
  tree.Redraw();
  EXPECT_FALSE(tree.SelectNodeAtCursor());
  tree.Attach(nullptr);  // a null control yields four zero roots
  EXPECT_EQ(tree.framesRoot, 0u);
  EXPECT_EQ(tree.InsertNode("x", 0, -1), 0u);
}

TEST_F(Attached, ClearDeletesEverythingAndDetaches) {
  const NodeHandle a = tree.InsertNode("a", tree.framesRoot, -1);
  tree.InsertNode("b", a, -1);
  tree.InsertNode("stray", 0, -1);
  tree.Clear();
  EXPECT_EQ(control.liveCount(), 0u);
  EXPECT_EQ(tree.treeControl, nullptr);
  EXPECT_EQ(tree.framesRoot, 0u);
  tree.Clear();
  tree.Attach(&control);
  EXPECT_EQ(dumpTreeToString(control), "FileHeader\nFrames\nAnimationSets\nCustomData\n");
}

TEST(MemoryTreeControl, DeletingANodeDeletesItsSubtree) {
  MemoryTreeControl control;
  control.insertItem(0, "a", -1);
  const NodeHandle b = control.insertItem(0, "b", -1);
  control.insertItem(b, "b1", -1);
  const NodeHandle c = control.insertItem(0, "c", -1);
  control.deleteItem(b);
  EXPECT_EQ(dumpTreeToString(control), "a\nc\n");
  EXPECT_EQ(control.liveCount(), 2u);
  control.deleteItem(c);
  EXPECT_NE(control.insertItem(0, "d", -1), 0u);
  EXPECT_EQ(dumpTreeToString(control), "a\nd\n");
  EXPECT_EQ(control.insertItem(b, "under a deleted node", -1), 0u);
}

// Records the order in which nodes are expanded.
class RecordingControl : public MemoryTreeControl {
 public:
  void expandItem(NodeHandle node) override {
    order += text(node);
    order += ' ';
    MemoryTreeControl::expandItem(node);
  }
  std::string order;
};

TEST(ExpandAll, ExpandsEachNodeOnceInTheControlsOrder) {
  RecordingControl control;
  ChunkTree tree;
  tree.Attach(&control);
  const NodeHandle r = tree.framesRoot;
  const NodeHandle a = tree.InsertNode("A", r, -1);
  tree.InsertNode("A1", a, -1);
  const NodeHandle b = tree.InsertNode("B", r, -1);
  const NodeHandle b1 = tree.InsertNode("B1", b, -1);
  tree.ExpandAll();
  EXPECT_EQ(control.order, "FileHeader Frames A B B1 A1 AnimationSets CustomData ");
  EXPECT_TRUE(control.isExpanded(a));
  EXPECT_TRUE(control.isExpanded(b1));
}

TEST_F(Attached, DeepAndLongTreesExpandWithoutADeepStack) {
  NodeHandle deep = tree.framesRoot;
  for (int i = 0; i < 300000; ++i) deep = tree.InsertNode("d", deep, -1);
  for (int i = 0; i < 300000; ++i) tree.InsertNode("s", tree.animationSetsRoot, -1);
  tree.ExpandAll();
  EXPECT_TRUE(control.isExpanded(deep));
  tree.Clear();
  EXPECT_EQ(control.liveCount(), 0u);
}

TEST(DumpFormat, IndentsTwoSpacesPerDepthAtAnyDepth) {
  MemoryTreeControl control;
  NodeHandle node = 0;
  constexpr std::size_t kDepth = 5000;  // indentation beyond any buffer the dump keeps
  for (std::size_t i = 0; i < kDepth; ++i) node = control.insertItem(node, "d", -1);
  const std::string dump = dumpTreeToString(control);
  EXPECT_EQ(dump.size(), kDepth * (kDepth - 1) + 2 * kDepth);
  EXPECT_EQ(dump.substr(dump.size() - 6), "    d\n");
  EXPECT_EQ(dump.find_first_not_of(" d\n"), std::string::npos);
  const std::size_t lastLine = dump.rfind('\n', dump.size() - 2) + 1;
  EXPECT_EQ(dump.size() - lastLine, 2 * (kDepth - 1) + 2);
}

TEST_F(Attached, SelectNodeAtCursorSelectsTheNodeUnderTheCursorOnly) {
  const NodeHandle node = tree.InsertNode("n", tree.framesRoot, -1);
  control.setCursorItem(0);
  EXPECT_FALSE(tree.SelectNodeAtCursor());
  EXPECT_EQ(control.selectedItem(), 0u);
  control.setCursorItem(node);
  EXPECT_TRUE(tree.SelectNodeAtCursor());
  EXPECT_EQ(control.selectedItem(), node);
}

TEST(DumpFormat, PrintableBytesStayAndTheRestAreEscaped) {
  std::string out;
  appendEscapedLabel(out, std::string_view("a\\b\x01\x1f \x7e\x7f\x80\xff\"", 11));
  EXPECT_EQ(out, "a\\\\b\\x01\\x1f ~\\x7f\\x80\\xff\"");
}

TEST(Labels, PiecesPrintAsTheirFormatsWouldAndAreNeverCut) {
  Label label;
  const std::string long_(300, 'L');
  label.add("Name: ").addQuoted(long_).add(' ').addInt(-2147483647 - 1).add(' ').addHex8(0xAB);
  label.add(' ').addFloat(0.1).add(' ').addFloat(-1e-7).add(' ').addFloat(2.5e9);
  EXPECT_EQ(std::string(label.c_str()), "Name: \"" + long_ +
                                            "\" -2147483648 000000AB 0.100000 -0.000000 "
                                            "2500000000.000000");
  EXPECT_EQ(label.view().size(), std::strlen(label.c_str()));
}

}  // namespace
}  // namespace kxm
