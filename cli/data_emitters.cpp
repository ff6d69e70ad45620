#include "cli/data_emitters.h"

#include <charconv>
#include <cstdio>

namespace kxm {

namespace {

constexpr std::size_t kFlushAt = 64 * 1024;
constexpr std::size_t kBytesPerLine = 16;
constexpr char kHex[] = "0123456789abcdef";

void appendHex(std::string& out, std::span<const std::uint8_t> bytes, bool spaced) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (spaced && i != 0) out += ' ';
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 15];
  }
}

std::string argbText(std::uint32_t value, const char* form) {
  char text[16];
  std::snprintf(text, sizeof text, form, static_cast<unsigned>(value));
  return text;
}

}  // namespace

void appendShortest(std::string& out, float value) {
  char digits[32];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}

void TextDataEmitter::begin(std::string_view, std::string_view element, std::uint64_t) {
  element_ = element;
}

void TextDataEmitter::beginElement(std::uint64_t index) {
  buffer_.append(indent_, ' ');
  buffer_ += element_;
  buffer_ += ' ';
  buffer_ += std::to_string(index);
  buffer_ += ':';
  firstField_ = true;
}

void TextDataEmitter::fieldName(std::string_view name) {
  buffer_ += firstField_ ? " " : ", ";
  firstField_ = false;
  if (name.empty()) return;
  buffer_ += name;
  buffer_ += ' ';
}

void TextDataEmitter::floats(std::string_view name, std::span<const float> values, bool list) {
  fieldName(name);
  if (!list && !values.empty()) {
    appendShortest(buffer_, values[0]);
    return;
  }
  buffer_ += '(';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) buffer_ += ", ";
    appendShortest(buffer_, values[i]);
  }
  buffer_ += ')';
}

void TextDataEmitter::integer(std::string_view name, std::int64_t value) {
  fieldName(name);
  buffer_ += std::to_string(value);
}

void TextDataEmitter::argb(std::string_view name, std::uint32_t value) {
  fieldName(name);
  buffer_ += argbText(value, "0x%08X");
}

void TextDataEmitter::endElement() {
  buffer_ += '\n';
  lineDone();
}

void TextDataEmitter::bytes(std::span<const std::uint8_t> bytes) {
  for (std::size_t at = 0; at < bytes.size(); at += kBytesPerLine) {
    buffer_.append(indent_, ' ');
    buffer_ += argbText(static_cast<std::uint32_t>(at), "%08X:");
    buffer_ += ' ';
    appendHex(buffer_, bytes.subspan(at, std::min(kBytesPerLine, bytes.size() - at)), true);
    buffer_ += '\n';
    lineDone();
  }
}

void TextDataEmitter::lineDone() {
  if (buffer_.size() < kFlushAt || !written_) return;
  written_ = out_.write(buffer_);
  buffer_.clear();
}

void JsonDataEmitter::begin(std::string_view kind, std::string_view, std::uint64_t count) {
  json_.key("data").beginObject();
  json_.key("kind").string(kind);
  json_.key("count").number(count);
  json_.key("elements").beginArray();
}

void JsonDataEmitter::field(std::string_view name) {
  if (name.empty()) return;  // the element's one value
  if (!opened_) json_.beginObject();
  opened_ = true;
  json_.key(name);
}

void JsonDataEmitter::floats(std::string_view name, std::span<const float> values, bool list) {
  field(name);
  if (!list && !values.empty()) {
    json_.real(values[0]);
    return;
  }
  json_.beginArray();
  for (const float value : values) json_.real(value);
  json_.endArray();
}

void JsonDataEmitter::integer(std::string_view name, std::int64_t value) {
  field(name);
  json_.number(value);
}

void JsonDataEmitter::argb(std::string_view name, std::uint32_t value) {
  field(name);
  json_.string(argbText(value, "#%08X"));
}

void JsonDataEmitter::endElement() {
  if (opened_) json_.endObject();
  opened_ = false;
}

void JsonDataEmitter::bytes(std::span<const std::uint8_t> bytes) {
  std::string line;
  for (std::size_t at = 0; at < bytes.size(); at += kBytesPerLine) {
    line.clear();
    appendHex(line, bytes.subspan(at, std::min(kBytesPerLine, bytes.size() - at)), false);
    json_.string(line);
  }
}

void JsonDataEmitter::end() {
  json_.endArray();
  json_.endObject();
}

}  // namespace kxm
