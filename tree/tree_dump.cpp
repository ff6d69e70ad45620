#include "tree/tree_dump.h"

#include "text/escape.h"

#include <vector>

namespace kxm {

bool visitPreOrder(TreeControl& control, NodeHandle parent,
                   const std::function<bool(NodeHandle node, std::size_t depth)>& visit) {
  // One entry per open depth: the next node to visit at that depth.
  std::vector<NodeHandle> next{control.firstChild(parent)};
  while (!next.empty()) {
    const NodeHandle node = next.back();
    if (node == 0) {
      next.pop_back();
      continue;
    }
    next.back() = control.nextSibling(node);
    if (!visit(node, next.size() - 1)) return false;
    next.push_back(control.firstChild(node));
  }
  return true;
}

bool dumpTree(TreeControl& control, const std::function<bool(std::string_view)>& sink) {
  constexpr std::size_t kFlushAt = 64 * 1024;
  // A chain nested a hundred thousand deep indents by hundreds of kilobytes a line: such
  // indentation goes to the sink straight from one block of spaces instead of being copied line by
  // line.
  static const std::string kSpaces(kFlushAt, ' ');
  auto indent = [&](std::string& out, std::size_t width) {
    if (width <= 4096) {
      out.append(width, ' ');
      return true;
    }
    if (!out.empty() && !sink(out)) return false;
    out.clear();
    for (; width > kSpaces.size(); width -= kSpaces.size()) {
      if (!sink(kSpaces)) return false;
    }
    return sink(std::string_view(kSpaces).substr(0, width));
  };
  std::string out;
  std::string text;
  const bool whole = visitPreOrder(control, 0, [&](NodeHandle node, std::size_t depth) {
    if (!indent(out, 2 * depth)) return false;
    std::string_view label;
    if (!control.itemTextView(node, label)) {
      text.clear();
      control.fullItemText(node, text);
      label = text;
    }
    appendEscapedLabel(out, label);
    out += '\n';
    if (out.size() < kFlushAt) return true;
    const bool written = sink(out);
    out.clear();
    return written;
  });
  return whole && (out.empty() || sink(out));
}

std::string dumpTreeToString(TreeControl& control) {
  std::string all;
  dumpTree(control, [&all](std::string_view piece) {
    all += piece;
    return true;
  });
  return all;
}

}  // namespace kxm
