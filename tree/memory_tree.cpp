#include "tree/memory_tree.h"

#include <algorithm>
#include <bit>
#include <utility>

#include <cstring>
#include <limits>
#include <new>
#include "model/block.h"

namespace kxm {

namespace {
constexpr std::uint32_t kFirstTextBlock = 64 * 1024;
constexpr std::uint32_t kLargestTextBlock = 4 * 1024 * 1024;
}  // namespace

bool MemoryTreeControl::addBlock(std::vector<Block>& blocks, std::size_t bytes) {
  try {
    blocks.emplace_back();
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (blocks.back().allocate(bytes, blocks_)) return true;
  blocks.pop_back();
  return false;
}

MemoryTreeControl::Node& MemoryTreeControl::nodeAt(std::size_t i) {
  constexpr std::size_t kInGrowing = (std::size_t{1} << kLastBlockBits) - (1u << kFirstBlockBits);
  if (i < kInGrowing) {
    // Blocks 0 .. 6 hold 1024 << b nodes and start at 1024 * (2^b - 1).
    const std::size_t scaled = (i >> kFirstBlockBits) + 1;
    const std::size_t block = static_cast<std::size_t>(std::bit_width(scaled)) - 1;
    const std::size_t first = ((std::size_t{1} << block) - 1) << kFirstBlockBits;
    return static_cast<Node*>(nodeBlocks_[block].get())[i - first];
  }
  const std::size_t rest = i - kInGrowing;
  return static_cast<Node*>(nodeBlocks_[kGrowingBlocks + (rest >> kLastBlockBits)]
                                .get())[rest & ((std::size_t{1} << kLastBlockBits) - 1)];
}

bool MemoryTreeControl::isLive(NodeHandle node) const {
  return node != 0 && node <= nodeCount_ && at(node).live;
}

bool MemoryTreeControl::storeText(Node& node, std::string_view text) {
  if (text.size() >= std::numeric_limits<std::uint32_t>::max()) return false;
  const auto length = static_cast<std::uint32_t>(text.size());
  // A node relabelled right after its insertion still owns the end of the last block: write the
  // new text over the old one instead of leaving it behind.
  const bool ownsBlockEnd = !textBlocks_.empty() && node.textBlock == textBlocks_.size() - 1 &&
                            node.textOffset + node.textLength == lastBlockUsed_;
  if (ownsBlockEnd && lastBlockSize_ - node.textOffset >= length) {
    lastBlockUsed_ = node.textOffset;
  } else if (textBlocks_.empty() || lastBlockSize_ - lastBlockUsed_ < length) {
    const std::uint32_t grown =
        textBlocks_.empty() ? kFirstTextBlock : std::min(2 * lastBlockSize_, kLargestTextBlock);
    const std::uint32_t blockSize = std::max(grown, length);
    if (textBlocks_.size() > std::numeric_limits<std::uint16_t>::max()) return false;
    if (!addBlock(textBlocks_, blockSize)) return false;
    lastBlockUsed_ = 0;
    lastBlockSize_ = blockSize;
  }
  const auto last = static_cast<std::uint16_t>(textBlocks_.size() - 1);
  if (length != 0) std::memcpy(textBlock(last) + lastBlockUsed_, text.data(), length);
  node.textBlock = last;
  node.textOffset = lastBlockUsed_;
  node.textLength = length;
  lastBlockUsed_ += length;
  return true;
}

NodeHandle MemoryTreeControl::insertItem(NodeHandle parent, const char* text,
                                         std::int32_t itemData) {
  if (text == nullptr) text = "";
  if (parent != 0 && !isLive(parent)) return 0;
  if (nodeCount_ >= std::numeric_limits<Index>::max() - 1) return 0;
  if (nodeCount_ == nodeCapacity_) {
    const std::size_t capacity = nodeBlockCapacity(nodeBlocks_.size());
    if (!addBlock(nodeBlocks_, capacity * sizeof(Node))) return 0;
    nodeCapacity_ += capacity;
  }
  Node& node = nodeAt(nodeCount_);
  node = Node{};
  if (!storeText(node, text)) return 0;
  const auto handle = static_cast<Index>(++nodeCount_);
  node.parent = static_cast<Index>(parent);
  node.itemData = itemData;
  Index& first = parent != 0 ? at(parent).firstChild : topFirst_;
  Index& last = parent != 0 ? at(parent).lastChild : topLast_;
  if (last != 0) {
    at(last).nextSibling = handle;
  } else {
    first = handle;
  }
  last = handle;
  ++liveCount_;
  return handle;
}

bool MemoryTreeControl::setItemText(NodeHandle node, const char* text) {
  if (!isLive(node) || text == nullptr) return false;
  return storeText(at(node), text);
}

bool MemoryTreeControl::getItemText(NodeHandle node, char* buffer, int capacity) {
  if (!isLive(node) || buffer == nullptr || capacity <= 0) return false;
  const std::string_view whole = text(node);
  const std::size_t length = std::min(whole.size(), static_cast<std::size_t>(capacity) - 1);
  std::memcpy(buffer, whole.data(), length);
  buffer[length] = '\0';
  return true;
}

bool MemoryTreeControl::fullItemText(NodeHandle node, std::string& out) {
  if (!isLive(node)) return false;
  out.assign(text(node));
  return true;
}

void MemoryTreeControl::setItemSource(NodeHandle node, const NodeSource& source) {
  if (!keepSources_ || !isLive(node)) return;
  if (sources_.size() < node) sources_.resize(node);
  sources_[node - 1] = source;
}

NodeSource MemoryTreeControl::itemSource(NodeHandle node) const {
  return isLive(node) && node <= sources_.size() ? sources_[node - 1] : NodeSource{};
}

bool MemoryTreeControl::itemTextView(NodeHandle node, std::string_view& out) {
  if (!isLive(node)) return false;
  out = text(node);
  return true;
}

void MemoryTreeControl::deleteItem(NodeHandle node) {
  if (!isLive(node)) return;
  // Unlink the node from its parent's children, then mark its subtree dead without recursion.
  Node& victim = at(node);
  Index& first = victim.parent != 0 ? at(victim.parent).firstChild : topFirst_;
  Index& last = victim.parent != 0 ? at(victim.parent).lastChild : topLast_;
  Index previous = 0;
  for (Index i = first; i != 0 && i != node; i = at(i).nextSibling) previous = i;
  if (previous == 0) {
    first = victim.nextSibling;
  } else {
    at(previous).nextSibling = victim.nextSibling;
  }
  if (last == node) last = previous;

  std::vector<Index> pending{static_cast<Index>(node)};
  while (!pending.empty()) {
    const Index i = pending.back();
    pending.pop_back();
    Node& dead = at(i);
    dead.live = false;
    --liveCount_;
    for (Index child = dead.firstChild; child != 0; child = at(child).nextSibling) {
      pending.push_back(child);
    }
  }
}

void MemoryTreeControl::deleteAllItems() {
  nodeBlocks_.clear();
  nodeBlocks_.shrink_to_fit();
  nodeCount_ = 0;
  nodeCapacity_ = 0;
  sources_.clear();
  textBlocks_.clear();
  textBlocks_.shrink_to_fit();
  lastBlockUsed_ = lastBlockSize_ = 0;
  topFirst_ = topLast_ = 0;
  liveCount_ = 0;
  cursorItem_ = selected_ = 0;
}

void MemoryTreeControl::expandItem(NodeHandle node) {
  if (isLive(node)) at(node).expanded = true;
}

NodeHandle MemoryTreeControl::firstChild(NodeHandle node) {
  if (node == 0) return topFirst_;
  return isLive(node) ? at(node).firstChild : 0;
}

NodeHandle MemoryTreeControl::nextSibling(NodeHandle node) {
  return isLive(node) ? at(node).nextSibling : 0;
}

std::string_view MemoryTreeControl::text(NodeHandle node) const {
  if (!isLive(node)) return {};
  const Node& n = at(node);
  return {textBlock(n.textBlock) + n.textOffset, n.textLength};
}

NodeHandle MemoryTreeControl::parent(NodeHandle node) const {
  return isLive(node) ? at(node).parent : 0;
}

std::int32_t MemoryTreeControl::itemData(NodeHandle node) const {
  return isLive(node) ? at(node).itemData : 0;
}

bool MemoryTreeControl::isExpanded(NodeHandle node) const {
  return isLive(node) && at(node).expanded;
}

}  // namespace kxm
