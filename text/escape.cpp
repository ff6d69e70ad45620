#include "text/escape.h"

#include <cstdint>

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

std::string latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

void appendJsonString(std::string& out, std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += c;
    } else if (byte >= 0x20 && byte <= 0x7E) {
      out += c;
    } else {
      const char escaped[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
      out.append(escaped, sizeof escaped);
    }
  }
}

bool isValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t more = 0;
    std::uint32_t code = 0, least = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      more = 1, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      more = 2, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      more = 3, code = lead & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (bytes.size() - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += more + 1;
  }
  return true;
}

}  // namespace kxm
