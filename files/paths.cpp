#include "files/paths.h"

#include <algorithm>
#include <cstdint>
#include <system_error>

namespace kxm::files {

namespace fs = std::filesystem;

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point that starts at `at`, moving `at` past it; U+FFFD for a byte that starts none
// (a stray continuation, an overlong form, past U+10FFFF, cut short). Surrogates are taken.
char32_t nextCodePoint(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  if (lead < 0x80) return lead;
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length - 1 > text.size()) return kReplacement;
  char32_t point = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i - 1]);
    if ((next & 0xC0) != 0x80) return kReplacement;
    point = (point << 6) | (next & 0x3Fu);
  }
  constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < kLeast[length] || point > 0x10FFFF) return kReplacement;
  at += length - 1;
  return point;
}

void appendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
    return;
  }
  const int length = point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
  constexpr unsigned kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[length] | (point >> (6 * (length - 1))));
  for (int shift = 6 * (length - 2); shift >= 0; shift -= 6) {
    out += static_cast<char>(0x80 | ((point >> shift) & 0x3F));
  }
}

}  // namespace

std::u16string utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const char32_t point = nextCodePoint(text, at);
    if (point < 0x10000) {
      out += static_cast<char16_t>(point);
    } else {
      out += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string utf8FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    char32_t point = text[at];
    const bool high = point >= 0xD800 && point < 0xDC00;
    if (high && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] < 0xE000) {
      point = 0x10000 + ((point - 0xD800) << 10) + (text[++at] - 0xDC00u);
    }
    appendUtf8(out, point);
  }
  return out;
}

#if defined(_WIN32)

fs::path pathFromText(std::string_view text) {
  const std::u16string wide = utf16FromUtf8(text);
  return fs::path(std::wstring(wide.begin(), wide.end()));
}

std::string textFromPath(const fs::path& path) {
  const std::wstring& wide = path.native();
  return utf8FromUtf16(std::u16string(wide.begin(), wide.end()));
}

fs::path longPathForm(const fs::path& path) {
  constexpr std::size_t kShortEnough = 248;  // MAX_PATH less room for an 8.3 name: a folder's
  const std::wstring& native = path.native();
  if (native.size() >= 4 && (native.rfind(LR"(\\?\)", 0) == 0 || native.rfind(LR"(\\.\)", 0) == 0))
    return path;
  std::error_code error;
  const fs::path full = fs::absolute(path, error).lexically_normal();
  if (error || full.native().size() < kShortEnough) return path;
  // The system does not normalise a \\?\ path: it must be whole and with backslashes only.
  std::wstring text = full.native();
  std::replace(text.begin(), text.end(), L'/', L'\\');
  if (text.rfind(LR"(\\)", 0) == 0) return fs::path(LR"(\\?\UNC\)" + text.substr(2));
  return fs::path(LR"(\\?\)" + text);
}

#else

fs::path pathFromText(std::string_view text) {
  return fs::path(std::string(text));
}

std::string textFromPath(const fs::path& path) {
  return path.native();
}

fs::path longPathForm(const fs::path& path) {
  return path;
}

#endif

}  // namespace kxm::files
