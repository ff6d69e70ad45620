#include "text/escape.h"

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

}  // namespace kxm
