#include "tree/tree_dump.h"

#include <vector>

namespace kxm {

void appendEscapedLabel(std::string& out, std::string_view label) {
  static const char kHex[] = "0123456789abcdef";
  auto plain = [](unsigned char b) { return b >= 0x20 && b <= 0x7E && b != '\\'; };
  std::size_t i = 0;
  while (i < label.size()) {
    std::size_t run = i;
    while (run < label.size() && plain(static_cast<unsigned char>(label[run]))) ++run;
    out.append(label.data() + i, run - i);  // labels are nearly always plain text: one copy
    if (run == label.size()) break;
    const auto byte = static_cast<unsigned char>(label[run]);
    if (byte == '\\') {
      out += "\\\\";
    } else {
      const char escaped[] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
      out.append(escaped, sizeof escaped);
    }
    i = run + 1;
  }
}

std::string quotedLabel(std::string_view label) {
  std::string out = "\"";
  appendEscapedLabel(out, label);
  return out + "\"";
}

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
