#include "tree/chunk_tree.h"

#include <limits>
#include <vector>

#include "reader/chunk_sink.h"

namespace kxm {

bool ChunkTree::Attach(TreeControl* control) {
  treeControl = control;
  keepsSources_ = control != nullptr && control->keepsSources();
  source_ = {};
  NodeHandle* roots[] = {&fileHeaderRoot, &framesRoot, &animationSetsRoot, &customDataRoot};
  for (const SinkRoot root : kSinkRoots) {
    *roots[static_cast<int>(root)] =
        treeControl != nullptr ? treeControl->insertItem(0, rootName(root), -1) : 0;
  }
  return true;
}

NodeHandle ChunkTree::InsertNode(const char* text, NodeHandle parent, std::int32_t itemData) {
  if (treeControl == nullptr || framesRoot == 0) return 0;
  const NodeHandle node = treeControl->insertItem(parent, text, itemData);
  if (keepsSources_ && node != 0) treeControl->setItemSource(node, source_);
  return node;
}

bool ChunkTree::SetNodeText(NodeHandle node, const char* text) {
  if (node == 0 || treeControl == nullptr) return false;
  return treeControl->setItemText(node, text);
}

bool ChunkTree::GetNodeText(NodeHandle node, char* buffer, int capacity) {
  if (node == 0 || treeControl == nullptr) return false;
  return treeControl->getItemText(node, buffer, capacity);
}

void ChunkTree::Clear() {
  if (treeControl == nullptr) return;
  for (NodeHandle root : {fileHeaderRoot, framesRoot, animationSetsRoot, customDataRoot}) {
    if (root != 0) treeControl->deleteItem(root);
  }
  treeControl->deleteAllItems();
  *this = ChunkTree{};
}

void ChunkTree::ExpandAll() {
  if (treeControl == nullptr) return;
  // Each node is expanded, then its later siblings with their subtrees (the last sibling's
  // first), then its own descendants. The pending first children stand on an explicit stack, so
  // a chain of a million siblings needs no deep call stack.
  std::vector<NodeHandle> pendingChildren;
  for (NodeHandle root : {fileHeaderRoot, framesRoot, animationSetsRoot, customDataRoot}) {
    if (root == 0) continue;
    treeControl->expandItem(root);
    pendingChildren.push_back(treeControl->firstChild(root));
    while (!pendingChildren.empty()) {
      NodeHandle node = pendingChildren.back();
      pendingChildren.pop_back();
      for (; node != 0; node = treeControl->nextSibling(node)) {
        treeControl->expandItem(node);
        NodeHandle child = treeControl->firstChild(node);
        if (child != 0) pendingChildren.push_back(child);
      }
    }
  }
}

void ChunkTree::Redraw() {
  if (treeControl != nullptr) treeControl->redraw();
}

std::size_t ChunkTree::DepthLimit() const {
  return treeControl != nullptr ? treeControl->maxDepth() : std::numeric_limits<std::size_t>::max();
}

bool ChunkTree::SelectNodeAtCursor() {
  if (treeControl == nullptr) return false;
  NodeHandle node = treeControl->itemAtCursor();
  if (node == 0) return false;
  treeControl->selectItem(node);
  return true;
}

}  // namespace kxm
