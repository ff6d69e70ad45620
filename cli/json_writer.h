// A small streaming JSON writer: a tree of a million nodes goes out as it is walked, never built
// whole in memory. Strings are bytes: 0x20 to 0x7E go as they are (with JSON's escapes for '"'
// and '\'), every other byte as \u00XX, so that a reader gets the exact bytes back by mapping
// each code point to a byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/output.h"
#include "reader/load.h"
#include "reader/load_failure.h"
#include "text/escape.h"

namespace kxm {

class JsonWriter {
 public:
  explicit JsonWriter(Output& out) : out_(out) {}
  ~JsonWriter() { flush(); }
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  JsonWriter& beginObject() { return open('{'); }
  JsonWriter& endObject() { return close('}'); }
  JsonWriter& beginArray() { return open('['); }
  JsonWriter& endArray() { return close(']'); }
  // The key of the next value in an object.
  JsonWriter& key(std::string_view name);
  JsonWriter& string(std::string_view bytes);
  // Text that is valid UTF-8 as its characters; only '"', '\\' and control bytes escaped.
  JsonWriter& utf8(std::string_view text);
  JsonWriter& number(std::uint64_t value);
  JsonWriter& number(std::int64_t value);
  // A float as the shortest text that reads back as the same float; NaN and infinities as null.
  JsonWriter& real(float value);
  JsonWriter& boolean(bool value);
  JsonWriter& null();
  // A value already written as JSON, as it stands.
  JsonWriter& prepared(std::string_view value);
  // Ends the document with a line feed and writes what is buffered; false when writing failed.
  bool finish();
  bool flush();

 private:
  void separate();
  void raw(std::string_view text);
  JsonWriter& open(char bracket);
  JsonWriter& close(char bracket);
  template <class Integer>
  JsonWriter& integer(Integer value);

  Output& out_;
  std::string buffer_;
  std::vector<bool> hasItems_;  // one per open object or array
  bool afterKey_ = false;
  bool failed_ = false;
};

// What begins every document kxm writes: "generator" (kxm and its version) and "file", the
// input's path as its characters when it is valid UTF-8; any other path keeps its bytes as
// `string` writes them, and "fileIsBytes": true says so.
void writeDocumentHead(JsonWriter& json, std::string_view path);
// The document head, then "outcome" and "failure" (null when the file loaded), as dump --json
// and info --json begin.
void writeLoadHead(JsonWriter& json, std::string_view path, const LoadOutcome& outcome);

// A chunk of a path: {"offset", "code", "name", "objectName" where one was read}.
void writeJson(JsonWriter& json, const ChunkRef& chunk);
// A failed load: {"cause", "offset" (null for a file that could not be had), "message",
// "chunk" (the innermost, or null), "path"}.
void writeJson(JsonWriter& json, const LoadFailure& failure);

}  // namespace kxm
