#include "cli/json_writer.h"

#include <charconv>
#include <cmath>

#include "cli/process.h"
#include "text/escape.h"

namespace kxm {

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
  json.beginObject();
  json.key("offset").number(std::uint64_t{chunk.offset});
  json.key("code").number(std::uint64_t{chunk.code});
  json.key("name").string(chunk.name);
  if (chunk.hasObjectName) json.key("objectName").string(chunk.objectName);
  json.endObject();
}

void writeJson(JsonWriter& json, const LoadFailure& failure) {
  json.beginObject();
  json.key("cause").string(causeName(failure.cause));
  json.key("offset");
  if (failure.hasOffset) {
    json.number(std::uint64_t{failure.offset});
  } else {
    json.null();
  }
  json.key("message").string(failure.message);
  json.key("chunk");
  if (const ChunkRef* chunk = failure.chunk()) {
    writeJson(json, *chunk);
  } else {
    json.null();
  }
  json.key("path").beginArray();
  for (const ChunkRef& ref : failure.path) writeJson(json, ref);
  json.endArray();
  json.endObject();
}

}  // namespace kxm
