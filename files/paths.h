// Paths as text. Every path the programs take, find, open, print or write is UTF-8 text to the
// rest of the code, whatever the system's own form: on Windows a path is UTF-16, and a path made
// from a std::string reads it in the C library's code page, not as UTF-8, so that a name outside
// ASCII becomes another name; elsewhere a path is bytes, and is taken and given back as it is.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kxm::files {

// UTF-8 as UTF-16 and back. An unpaired surrogate, which a Windows name may hold, is kept in the
// generalised form of UTF-8 (three bytes, as any other code point of 16 bits), so that every
// name comes back as it was; bytes that are no UTF-8 become U+FFFD each.
std::u16string utf16FromUtf8(std::string_view text);
std::string utf8FromUtf16(std::u16string_view text);

// The path that UTF-8 `text` names, and the UTF-8 text of a path: never the ANSI code page.
std::filesystem::path pathFromText(std::string_view text);
std::string textFromPath(const std::filesystem::path& path);

// On Windows, a path of 248 characters or more as the system takes it past MAX_PATH: absolute,
// normalised, with \\?\ before it. Any other path, and every path elsewhere, as it is.
std::filesystem::path longPathForm(const std::filesystem::path& path);

}  // namespace kxm::files
