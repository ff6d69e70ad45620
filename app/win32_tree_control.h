// The chunk tree's control on Windows: the SysTreeView32 of the main dialog, one message per
// operation.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <unordered_map>

#include "tree/tree_control.h"

namespace kxm {

class Win32TreeControl final : public TreeControl {
 public:
  explicit Win32TreeControl(HWND window = nullptr) : window_(window) {}
  void setWindow(HWND window);
  HWND window() const { return window_; }

  NodeHandle insertItem(NodeHandle parent, const char* text, std::int32_t itemData) override;
  bool setItemText(NodeHandle node, const char* text) override;
  bool getItemText(NodeHandle node, char* buffer, int capacity) override;
  bool fullItemText(NodeHandle node, std::string& text) override;
  void deleteItem(NodeHandle node) override;
  void deleteAllItems() override;
  void expandItem(NodeHandle node) override;
  NodeHandle firstChild(NodeHandle node) override;
  NodeHandle nextSibling(NodeHandle node) override;
  void redraw() override;
  NodeHandle itemAtCursor() override;
  void selectItem(NodeHandle node) override;
  // Nesting is held to 1,024 levels. Under Wine the control deletes a subtree by recursion and
  // overflows the stack at about 15,000 levels; and there expanding a chain with painting on
  // costs more with every level (500 levels: 5 s, 1,000: 26 s, 2,000: 52 s, 10,000: 200 s).
  std::size_t maxDepth() const override { return 1024; }

 private:
  LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) const;

  HWND window_;
  // The last child of every parent this control has appended to (nullptr: the top level). The
  // control finds TVI_LAST by walking the parent's children, which makes a parent with n
  // children cost n squared; inserting after the known last child costs the same for each.
  std::unordered_map<HTREEITEM, HTREEITEM> lastChild_;
};

}  // namespace kxm
