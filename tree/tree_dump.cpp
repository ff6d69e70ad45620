#include "tree/tree_dump.h"

#include <vector>

namespace kxm {

void appendEscapedLabel(std::string& out, std::string_view label) {
  static const char kHex[] = "0123456789abcdef";
  for (const char c : label) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\\') {
      out += "\\\\";
    } else if (byte >= 0x20 && byte <= 0x7E) {
      out += c;
    } else {
      const char escaped[] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
      out.append(escaped, sizeof escaped);
    }
  }
}

bool dumpTree(TreeControl& control, const std::function<bool(std::string_view)>& sink) {
  constexpr std::size_t kFlushAt = 64 * 1024;
  std::string out;
  std::string text;
  // One entry per open depth: the next node to print at that depth.
  std::vector<NodeHandle> next{control.firstChild(0)};
  while (!next.empty()) {
    const NodeHandle node = next.back();
    if (node == 0) {
      next.pop_back();
      continue;
    }
    next.back() = control.nextSibling(node);
    out.append(2 * (next.size() - 1), ' ');
    text.clear();
    control.fullItemText(node, text);
    appendEscapedLabel(out, text);
    out += '\n';
    if (out.size() >= kFlushAt) {
      if (!sink(out)) return false;
      out.clear();
    }
    next.push_back(control.firstChild(node));
  }
  return out.empty() || sink(out);
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
