// Bytes of a file as text a person can read: names in a KXM file are bytes, and may hold control
// or high bytes. The dump, the explanations, the findings and the export's warnings all show
// them the same way.
#pragma once

#include <string>
#include <string_view>

namespace kxm {

// Appends a label with 0x20 to 0x7E as they are, a backslash doubled and every other byte as
// \xHH in lower-case hex.
void appendEscapedLabel(std::string& out, std::string_view label);
// A name as messages quote it: escaped as above, in double quotes.
std::string quotedLabel(std::string_view label);
// Bytes as UTF-8, each byte the character of its value (Latin-1), so that every byte comes back:
// names in JSON and glTF.
std::string latin1ToUtf8(std::string_view bytes);
// Appends bytes as the body of a JSON string: 0x20 to 0x7E as they are (with JSON's escapes for
// '"' and '\'), every other byte as \u00XX, the character of its value, as above.
void appendJsonString(std::string& out, std::string_view bytes);
// Whether bytes are well-formed UTF-8: no overlong forms, surrogates or code points past
// U+10FFFF, as a path a system gives may not be.
bool isValidUtf8(std::string_view bytes);

}  // namespace kxm
