// An in-memory tree control for runs without a window: kxm-dump and the tests. It behaves as the
// Win32 tree view does where the chunk tree relies on it: parent 0 is the top level, children keep
// their insertion order, text is copied, reading text back cuts and terminates it, and deleting a
// node deletes its subtree.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "tree/tree_control.h"

namespace kxm {

class MemoryTreeControl : public TreeControl {
 public:
  MemoryTreeControl() = default;
  MemoryTreeControl(const MemoryTreeControl&) = delete;
  MemoryTreeControl& operator=(const MemoryTreeControl&) = delete;

  NodeHandle insertItem(NodeHandle parent, const char* text, std::int32_t itemData) override;
  int setItemText(NodeHandle node, const char* text) override;
  int getItemText(NodeHandle node, char* buffer, int capacity) override;
  bool fullItemText(NodeHandle node, std::string& text) override;
  void deleteItem(NodeHandle node) override;
  void deleteAllItems() override;
  void expandItem(NodeHandle node) override;
  NodeHandle firstChild(NodeHandle node) override;
  NodeHandle nextSibling(NodeHandle node) override;
  void redraw() override { ++redrawCount_; }
  NodeHandle itemAtCursor() override { return isLive(cursorItem_) ? cursorItem_ : 0; }
  void selectItem(NodeHandle node) override { selected_ = node; }

  // What the tests look at.
  std::string_view text(NodeHandle node) const;
  NodeHandle parent(NodeHandle node) const;
  std::int32_t itemData(NodeHandle node) const;
  bool isExpanded(NodeHandle node) const;
  std::size_t liveCount() const { return liveCount_; }
  int redrawCount() const { return redrawCount_; }
  NodeHandle selectedItem() const { return selected_; }
  void setCursorItem(NodeHandle node) { cursorItem_ = node; }

 private:
  using Index = std::uint32_t;  // node index + 1; 0 is none
  struct Node {
    Index parent = 0;
    Index firstChild = 0;
    Index lastChild = 0;
    Index nextSibling = 0;
    std::uint32_t textBlock = 0;
    std::uint32_t textOffset = 0;
    std::uint32_t textLength = 0;
    std::int32_t itemData = 0;
    bool expanded = false;
    bool live = true;
  };

  static constexpr unsigned kNodeBlockBits = 12;  // 4096 nodes a block
  static constexpr std::size_t kNodeBlock = std::size_t{1} << kNodeBlockBits;

  bool isLive(NodeHandle node) const;
  Node& at(NodeHandle node) { return nodeAt(node - 1); }
  const Node& at(NodeHandle node) const { return const_cast<MemoryTreeControl*>(this)->at(node); }
  Node& nodeAt(std::size_t i) { return nodeBlocks_[i >> kNodeBlockBits][i & (kNodeBlock - 1)]; }
  bool storeText(Node& node, std::string_view text);

  // Nodes and texts grow in blocks and never move, so a tree of millions of nodes costs about
  // its nodes and its texts, with no copy of itself while it grows.
  std::vector<std::unique_ptr<Node[]>> nodeBlocks_;
  std::size_t nodeCount_ = 0;
  std::vector<std::unique_ptr<char[]>> textBlocks_;
  std::uint32_t lastBlockUsed_ = 0;
  std::uint32_t lastBlockSize_ = 0;
  Index topFirst_ = 0;
  Index topLast_ = 0;
  std::size_t liveCount_ = 0;
  int redrawCount_ = 0;
  NodeHandle cursorItem_ = 0;
  NodeHandle selected_ = 0;
};

}  // namespace kxm
