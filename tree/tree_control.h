// The seam between the chunk tree and whatever shows it: the Win32 tree view control in the
// viewer, an in-memory tree in kxm-dump and the tests. Each operation is one tree view message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace kxm {

// One node of the control; 0 is no node. Wide enough for a real HTREEITEM.
using NodeHandle = std::uintptr_t;

// What in the file a node shows: a chunk (the offset of its 8-byte head, its code and its length
// field), a header field (its offset), or nothing (the four roots).
struct NodeSource {
  enum class Kind : std::uint8_t { None, HeaderField, Chunk };
  Kind kind = Kind::None;
  std::uint32_t offset = 0;
  std::uint32_t code = 0;
  std::uint32_t length = 0;
};

class TreeControl {
 public:
  virtual ~TreeControl() = default;

  // Appends a node as the last child of parent (0: the top level); 0 when the control refuses.
  virtual NodeHandle insertItem(NodeHandle parent, const char* text, std::int32_t itemData) = 0;
  virtual bool setItemText(NodeHandle node, const char* text) = 0;
  // Copies at most capacity - 1 characters and a terminating zero.
  virtual bool getItemText(NodeHandle node, char* buffer, int capacity) = 0;
  // The node's whole text, however long (what the dump prints).
  virtual bool fullItemText(NodeHandle node, std::string& text) = 0;
  // The same without a copy, where the control keeps its texts in memory of its own; false
  // where it cannot (the dump then asks fullItemText).
  virtual bool itemTextView(NodeHandle /*node*/, std::string_view& /*text*/) { return false; }
  // Deletes the node with its whole subtree.
  virtual void deleteItem(NodeHandle node) = 0;
  virtual void deleteAllItems() = 0;
  virtual void expandItem(NodeHandle node) = 0;
  // firstChild(0) is the first top-level node.
  virtual NodeHandle firstChild(NodeHandle node) = 0;
  virtual NodeHandle nextSibling(NodeHandle node) = 0;
  virtual void redraw() = 0;
  // The node under the mouse cursor, 0 for none.
  virtual NodeHandle itemAtCursor() = 0;
  virtual void selectItem(NodeHandle node) = 0;

  // Whether the control keeps what each node shows (setItemSource); only then does the chunk
  // tree hand it over.
  virtual bool keepsSources() const { return false; }
  virtual void setItemSource(NodeHandle /*node*/, const NodeSource& /*source*/) {}
  virtual NodeSource itemSource(NodeHandle /*node*/) const { return {}; }

  // The deepest level (the top level is 0) at which the control can still hold a node, show it
  // and delete it again. Nesting beyond it fails the load instead.
  virtual std::size_t maxDepth() const { return std::numeric_limits<std::size_t>::max(); }
};

}  // namespace kxm
