#include "cli/json_writer.h"

#include <charconv>
#include <cmath>

#include "cli/process.h"
#include "text/escape.h"

namespace kxm {

void JsonWriter::raw(std::string_view text) {
  buffer_ += text;
  if (buffer_.size() >= 64 * 1024) flush();
}

bool JsonWriter::flush() {
  if (!buffer_.empty() && !failed_) {
    failed_ = !out_.write(buffer_);
  }
  buffer_.clear();
  return !failed_;
}

void JsonWriter::separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!hasItems_.empty()) {
    if (hasItems_.back()) raw(",");
    hasItems_.back() = true;
  }
}

JsonWriter& JsonWriter::open(char bracket) {
  separate();
  buffer_ += bracket;
  hasItems_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::close(char bracket) {
  hasItems_.pop_back();
  raw({&bracket, 1});
  return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
  separate();
  raw("\"");
  appendJsonString(buffer_, name);
  raw("\":");
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::string(std::string_view bytes) {
  separate();
  buffer_ += '"';
  appendJsonString(buffer_, bytes);
  raw("\"");
  return *this;
}

JsonWriter& JsonWriter::utf8(std::string_view text) {
  separate();
  buffer_ += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || byte == '"' || byte == '\\') {
      appendJsonString(buffer_, {&c, 1});
    } else {
      buffer_ += c;
    }
  }
  raw("\"");
  return *this;
}

template <class Integer>
JsonWriter& JsonWriter::integer(Integer value) {
  separate();
  char digits[24];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  raw({digits, static_cast<std::size_t>(end - digits)});
  return *this;
}

JsonWriter& JsonWriter::number(std::uint64_t value) {
  return integer(value);
}

JsonWriter& JsonWriter::number(std::int64_t value) {
  return integer(value);
}

JsonWriter& JsonWriter::real(float value) {
  if (!std::isfinite(value)) return null();
  separate();
  char digits[32];
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  raw({digits, static_cast<std::size_t>(end - digits)});
  return *this;
}

JsonWriter& JsonWriter::prepared(std::string_view value) {
  separate();
  raw(value);
  return *this;
}

JsonWriter& JsonWriter::boolean(bool value) {
  separate();
  raw(value ? "true" : "false");
  return *this;
}

JsonWriter& JsonWriter::null() {
  separate();
  raw("null");
  return *this;
}

bool JsonWriter::finish() {
  raw("\n");
  return flush();
}

void writeDocumentHead(JsonWriter& json, std::string_view path) {
  json.key("generator").string(std::string("kxm ") + toolVersion());
  if (isValidUtf8(path)) {
    json.key("file").utf8(path);
  } else {
    json.key("file").string(path);
    json.key("fileIsBytes").boolean(true);
  }
}

void writeLoadHead(JsonWriter& json, std::string_view path, const LoadOutcome& outcome) {
  writeDocumentHead(json, path);
  json.key("outcome").string(outcomeName(outcome));
  json.key("failure");
  if (outcome.loaded) {
    json.null();
  } else {
    writeJson(json, outcome.failure);
  }
}

void writeJson(JsonWriter& json, const ChunkRef& chunk) {
  std::string text;
  appendJson(text, chunk);
  json.prepared(text);
}

void writeJson(JsonWriter& json, const LoadFailure& failure) {
  std::string text;
  if (failure.plainMessage.empty()) {
    appendJson(text, failure);
  } else {
    // kxm's words, as its diagnostics say them.
    LoadFailure plain = failure;
    plain.message = failure.plainMessage;
    appendJson(text, plain);
  }
  json.prepared(text);
}

}  // namespace kxm
