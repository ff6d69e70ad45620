// A failed load in JSON, as every front end writes it, and bytes as UTF-8: the two ways a name's
// bytes leave the tools, which must give back every byte.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "reader/load_failure.h"
#include "text/escape.h"

namespace kxm {
namespace {

TEST(Latin1ToUtf8, EveryByteBecomesTheCharacterOfItsValue) {
  struct Case {
    std::string bytes, utf8;
  };
  const Case cases[] = {
      {"", ""},
      {"Lamp 01", "Lamp 01"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"\x7F", "\x7F"},
      {"\x80", "\xC2\x80"},
      {"caf\xE9", "caf\xC3\xA9"},
      {"\xFF\xFF", "\xC3\xBF\xC3\xBF"},
  };
  for (const Case& c : cases) {
    const std::string out = latin1ToUtf8(c.bytes);
    EXPECT_EQ(out, c.utf8) << quotedLabel(c.bytes);
    EXPECT_TRUE(isValidUtf8(out)) << quotedLabel(c.bytes);
  }
}

LoadFailure failureIn(std::string objectName) {
  LoadFailure f;
  f.cause = FailureCause::Truncated;
  f.offset = 0x120;
  f.message = "index data needs 6 bytes, 4 are left";
  ChunkRef frame{0x18, chunk::FrameRoot, "Frame ROOT", std::move(objectName), true};
  ChunkRef indices{0x100, chunk::MeshIndexData, "Mesh Index Data", {}, false};
  f.path = {frame, indices};
  return f;
}

TEST(FailureJson, SaysCauseOffsetMessageChunkAndPath) {
  struct Case {
    const char* rule;
    LoadFailure failure;
    std::string json;
  };
  LoadFailure missing;
  missing.cause = FailureCause::FileNotFound;
  missing.hasOffset = false;
  missing.message = "No such file or directory";
  const std::string chunkJson = R"({"offset":256,"code":116,"name":"Mesh Index Data"})";
  const Case cases[] = {
      {"a file that could not be had", missing,
       R"({"cause":"file-not-found","offset":null,"message":"No such file or directory",)"
       R"("chunk":null,"path":[]})"},
      {"a failure inside chunks", failureIn("Scene"),
       R"({"cause":"truncated","offset":288,"message":"index data needs 6 bytes, 4 are left",)"
       R"("chunk":)" +
           chunkJson +
           R"(,"path":[{"offset":24,"code":1,"name":"Frame ROOT","objectName":"Scene"},)" +
           chunkJson + "]}"},
      {"a name of quotes, a backslash, a control and a high byte", failureIn("\"a\\b\"\t\xE9"),
       R"({"cause":"truncated","offset":288,"message":"index data needs 6 bytes, 4 are left",)"
       R"("chunk":)" +
           chunkJson +
           R"(,"path":[{"offset":24,"code":1,"name":"Frame ROOT",)"
           R"("objectName":"\"a\\b\"\u0009\u00e9"},)" +
           chunkJson + "]}"},
  };
  for (const Case& c : cases) {
    std::string out;
    appendJson(out, c.failure);
    EXPECT_EQ(out, c.json) << c.rule;
  }
}

// What a JSON reader makes of it is each byte as its character: the same as latin1ToUtf8, so
// the browser, which parses this text, shows what kxm --json writes.
TEST(FailureJson, ReadsBackAsTheNamesBytes) {
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
  LoadFailure f = failureIn(bytes);
  f.message = bytes;
  std::string out;
  appendJson(out, f);
  const nlohmann::json json = nlohmann::json::parse(out);
  EXPECT_EQ(json["message"].get<std::string>(), latin1ToUtf8(bytes));
  EXPECT_EQ(json["path"][0]["objectName"].get<std::string>(), latin1ToUtf8(bytes));
  EXPECT_FALSE(json["path"][1].contains("objectName"));
  EXPECT_EQ(json["chunk"], json["path"][1]);
}

}  // namespace
}  // namespace kxm
