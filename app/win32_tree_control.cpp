#include "app/win32_tree_control.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

namespace kxm {

namespace {
HTREEITEM item(NodeHandle node) {
  return reinterpret_cast<HTREEITEM>(node);
}
NodeHandle handle(LRESULT result) {
  return static_cast<NodeHandle>(result);
}
}  // namespace

void Win32TreeControl::setWindow(HWND window) {
  window_ = window;
  lastChild_.clear();
}

LRESULT Win32TreeControl::send(UINT message, WPARAM wParam, LPARAM lParam) const {
  return window_ != nullptr ? SendMessageA(window_, message, wParam, lParam) : 0;
}

NodeHandle Win32TreeControl::insertItem(NodeHandle parent, const char* text,
                                        std::int32_t itemData) {
  TVINSERTSTRUCTA insert{};
  insert.hParent = item(parent);
  const auto last = lastChild_.find(item(parent));
  insert.hInsertAfter = last != lastChild_.end() ? last->second : TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text);
  insert.item.lParam = itemData;
  const NodeHandle node = handle(send(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  if (node != 0) {
    try {
      lastChild_[item(parent)] = item(node);
    } catch (const std::bad_alloc&) {
      lastChild_.erase(item(parent));  // the control still appends with TVI_LAST, only slower
    }
  }
  return node;
}

bool Win32TreeControl::setItemText(NodeHandle node, const char* text) {
  TVITEMA tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item(node);
  tv.pszText = const_cast<char*>(text);
  return send(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv)) != 0;
}

bool Win32TreeControl::getItemText(NodeHandle node, char* buffer, int capacity) {
  TVITEMA tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item(node);
  tv.pszText = buffer;
  tv.cchTextMax = capacity;
  return send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv)) != 0;
}

bool Win32TreeControl::fullItemText(NodeHandle node, std::string& text) {
  // Read with a buffer that grows until the text no longer fills it.
  std::vector<char> buffer(512);
  for (;;) {
    buffer[0] = '\0';
    if (!getItemText(node, buffer.data(), static_cast<int>(buffer.size()))) return false;
    const std::size_t length = std::strlen(buffer.data());
    if (length + 1 < buffer.size() || buffer.size() >= (1u << 24)) {
      text.assign(buffer.data(), length);
      return true;
    }
    buffer.resize(buffer.size() * 4);
  }
}

void Win32TreeControl::deleteItem(NodeHandle node) {
  send(TVM_DELETEITEM, 0, static_cast<LPARAM>(node));
  // Handles of deleted items may come back for new ones: forget every known last child.
  lastChild_.clear();
}

void Win32TreeControl::deleteAllItems() {
  send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  lastChild_.clear();
}

void Win32TreeControl::expandItem(NodeHandle node) {
  send(TVM_EXPAND, TVE_EXPAND, static_cast<LPARAM>(node));
}

NodeHandle Win32TreeControl::firstChild(NodeHandle node) {
  return handle(
      send(TVM_GETNEXTITEM, node == 0 ? TVGN_ROOT : TVGN_CHILD, static_cast<LPARAM>(node)));
}

NodeHandle Win32TreeControl::nextSibling(NodeHandle node) {
  return handle(send(TVM_GETNEXTITEM, TVGN_NEXT, static_cast<LPARAM>(node)));
}

void Win32TreeControl::redraw() {
  if (window_ == nullptr) return;
  InvalidateRect(window_, nullptr, FALSE);
  UpdateWindow(window_);
}

NodeHandle Win32TreeControl::itemAtCursor() {
  if (window_ == nullptr) return 0;
  TVHITTESTINFO hit{};
  GetCursorPos(&hit.pt);
  ScreenToClient(window_, &hit.pt);
  return handle(send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

void Win32TreeControl::selectItem(NodeHandle node) {
  send(TVM_SELECTITEM, TVGN_CARET, static_cast<LPARAM>(node));
}

}  // namespace kxm
