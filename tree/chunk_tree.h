// The chunk tree: the viewer's one output. A thin wrapper over a tree control with the four
// roots that every load fills.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tree/tree_control.h"

namespace kxm {

class ChunkTree {
 public:
  // Stores the control and creates the roots "FileHeader", "Frames", "AnimationSets" and
  // "CustomData". Always true.
  bool Attach(TreeControl* control);
  // Appends a node as the last child of parent; 0 while detached or without roots.
  NodeHandle InsertNode(const char* text, NodeHandle parent, std::int32_t itemData);
  bool SetNodeText(NodeHandle node, const char* text);
  // The node's text cut to capacity - 1 characters and terminated; node 0 leaves buffer alone.
  bool GetNodeText(NodeHandle node, char* buffer, int capacity);
  // Deletes every node and detaches.
  void Clear();
  // Expands every node under the four roots, each once.
  void ExpandAll();
  void Redraw();
  // Selects the node under the mouse cursor; false when there is none.
  bool SelectNodeAtCursor();
  // How deep a node may go in the attached control (no limit while detached).
  std::size_t DepthLimit() const;

  // What the nodes inserted from now on show; the reader sets it as it reads each chunk head
  // and header field, and the control keeps it where it keeps sources.
  void SetSource(const NodeSource& next) {
    if (keepsSources_) source_ = next;
  }

  TreeControl* treeControl = nullptr;
  NodeHandle fileHeaderRoot = 0;
  NodeHandle framesRoot = 0;
  NodeHandle animationSetsRoot = 0;
  NodeHandle customDataRoot = 0;

 private:
  NodeSource source_;
  bool keepsSources_ = false;
};

}  // namespace kxm
