// An in-memory tree control for runs without a window: kxm-dump and the tests. It behaves as the
// Win32 tree view does where the chunk tree relies on it: parent 0 is the top level, children keep
// their insertion order, text is copied, reading text back cuts and terminates it, and deleting a
// node deletes its subtree.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "model/block.h"
#include "tree/tree_control.h"

namespace kxm {

class MemoryTreeControl : public TreeControl {
 public:
  // With keepSources, each node also keeps what in the file it shows (kxm dump --json and
  // --offsets); kxm-dump's plain tree does without. Nodes and texts are kept in blocks from
  // `blocks`, which must outlive the control.
  explicit MemoryTreeControl(bool keepSources = false, const BlockSource& blocks = systemBlocks())
      : keepSources_(keepSources), blocks_(blocks) {}
  MemoryTreeControl(const MemoryTreeControl&) = delete;
  MemoryTreeControl& operator=(const MemoryTreeControl&) = delete;

  NodeHandle insertItem(NodeHandle parent, const char* text, std::int32_t itemData) override;
  bool setItemText(NodeHandle node, const char* text) override;
  bool getItemText(NodeHandle node, char* buffer, int capacity) override;
  bool fullItemText(NodeHandle node, std::string& text) override;
  bool itemTextView(NodeHandle node, std::string_view& text) override;
  void deleteItem(NodeHandle node) override;
  void deleteAllItems() override;
  void expandItem(NodeHandle node) override;
  NodeHandle firstChild(NodeHandle node) override;
  NodeHandle nextSibling(NodeHandle node) override;
  void redraw() override { ++redrawCount_; }
  bool keepsSources() const override { return keepSources_; }
  void setItemSource(NodeHandle node, const NodeSource& source) override;
  NodeSource itemSource(NodeHandle node) const override;
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
  struct Node {                 // 32 bytes: 131,072 of them fill a 4 MiB block
    Index parent = 0;
    Index firstChild = 0;
    Index lastChild = 0;
    Index nextSibling = 0;
    std::uint32_t textOffset = 0;
    std::uint32_t textLength = 0;
    std::int32_t itemData = 0;
    std::uint16_t textBlock = 0;
    bool expanded = false;
    bool live = true;
  };
  static_assert(sizeof(Node) == 32);

  // Node blocks double from 1,024 nodes to 131,072 and stay at that size.
  static constexpr unsigned kFirstBlockBits = 10;
  static constexpr unsigned kGrowingBlocks = 7;
  static constexpr unsigned kLastBlockBits = kFirstBlockBits + kGrowingBlocks;

  // One block of memory from the block source, released with it.
  bool isLive(NodeHandle node) const;
  Node& at(NodeHandle node) { return nodeAt(node - 1); }
  const Node& at(NodeHandle node) const { return const_cast<MemoryTreeControl*>(this)->at(node); }
  Node& nodeAt(std::size_t i);
  static std::size_t nodeBlockCapacity(std::size_t block) {
    return std::size_t{1} << (kFirstBlockBits + std::min<std::size_t>(block, kGrowingBlocks));
  }
  // A new block at the end of `blocks`; false when memory runs out.
  bool addBlock(std::vector<Block>& blocks, std::size_t bytes);
  char* textBlock(std::size_t i) { return static_cast<char*>(textBlocks_[i].get()); }
  const char* textBlock(std::size_t i) const { return static_cast<char*>(textBlocks_[i].get()); }
  bool storeText(Node& node, std::string_view text);

  // Nodes and texts grow in blocks and never move, so a tree of millions of nodes costs about
  // its nodes and its texts, with no copy of itself while it grows. The blocks come from the
  // block source: large ones, for large trees, are mapped with huge pages where kxm-dump asks
  // for them, since first touching fresh memory is most of what building a big tree costs.
  bool keepSources_ = false;
  std::deque<NodeSource> sources_;  // by node index, while keepSources_
  const BlockSource& blocks_;
  std::vector<Block> nodeBlocks_;
  std::size_t nodeCount_ = 0;
  std::size_t nodeCapacity_ = 0;
  std::vector<Block> textBlocks_;
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
