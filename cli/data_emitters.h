// kxm dump --data's two forms of a chunk's values: lines under the chunk's line, and a "data"
// member of the chunk's JSON node. Both stream: the text goes out every 64 KiB, the JSON through
// its writer.
#pragma once

#include <string>

#include "cli/chunk_data.h"
#include "cli/json_writer.h"
#include "cli/output.h"

namespace kxm {

// "vertex 0: position (1, 0.5, -2), normal (0, 1, 0), colour 0xFF808080, texCoord0 (0, 1)",
// one element a line, `indent` before each; bytes as lines of 16 in hex.
class TextDataEmitter final : public DataEmitter {
 public:
  TextDataEmitter(std::string& buffer, Output& out) : buffer_(buffer), out_(out) {}
  void setIndent(std::size_t indent) { indent_ = indent; }
  bool written() const { return written_; }

  void begin(std::string_view kind, std::string_view element, std::uint64_t count) override;
  void beginElement(std::uint64_t index) override;
  void floats(std::string_view name, std::span<const float> values, bool list) override;
  void integer(std::string_view name, std::int64_t value) override;
  void argb(std::string_view name, std::uint32_t value) override;
  void endElement() override;
  void bytes(std::span<const std::uint8_t> bytes) override;
  void end() override {}

 private:
  void fieldName(std::string_view name);
  void lineDone();

  std::string& buffer_;
  Output& out_;
  std::size_t indent_ = 0;
  std::string_view element_;
  bool firstField_ = true;
  bool written_ = true;
};

// "data": {"kind", "count", "elements"}: an element with one unnamed field is that value; any
// other an object of its fields; colours as "#AARRGGBB"; bytes as strings of 32 hex digits.
class JsonDataEmitter final : public DataEmitter {
 public:
  explicit JsonDataEmitter(JsonWriter& json) : json_(json) {}

  void begin(std::string_view kind, std::string_view element, std::uint64_t count) override;
  void beginElement(std::uint64_t) override { opened_ = false; }
  void floats(std::string_view name, std::span<const float> values, bool list) override;
  void integer(std::string_view name, std::int64_t value) override;
  void argb(std::string_view name, std::uint32_t value) override;
  void endElement() override;
  void bytes(std::span<const std::uint8_t> bytes) override;
  void end() override;

 private:
  void field(std::string_view name);

  JsonWriter& json_;
  bool opened_ = false;
};

// The shortest text that reads back as the same float: "0.1", "1e+20", "nan", "-inf".
void appendShortest(std::string& out, float value);

}  // namespace kxm
