// The reading rules at the edges of the image: bounded reads, strings, the header, the load.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/walk.h"

namespace kxm::test {
namespace {

constexpr const char* kFourRoots = "FileHeader\nFrames\nAnimationSets\nCustomData\n";

struct Cursor {
  explicit Cursor(std::vector<std::uint8_t> bytes) : reader(model, tree, shown) {
    reader.setImage(bytes.data(), bytes.size());
  }
  DisplayOptions shown;
  Model model;
  ChunkTree tree;
  ChunkReader reader;
};

TEST(BoundedRead, EndsExactlyAtTheImageEndOrFailsInPlace) {
  Cursor c({1, 2, 3, 4, 5});
  c.reader.position = 1;
  std::uint32_t v = 0;
  EXPECT_TRUE(c.reader.readU32Le(v));
  EXPECT_EQ(v, 0x05040302u);
  EXPECT_EQ(c.reader.position, 5u);

  c.reader.position = 2;  // one byte short
  EXPECT_FALSE(c.reader.readU32Le(v));
  EXPECT_EQ(c.reader.position, 2u);

  c.reader.position = 0xFFFFFFFEu;  // beyond the image, near the top of the range
  EXPECT_FALSE(c.reader.readU32Le(v));
  EXPECT_EQ(c.reader.position, 0xFFFFFFFEu);
}

TEST(BoundedRead, FailsWithoutAnImage) {
  Cursor c({1, 2, 3, 4});
  c.reader.releaseImage();
  std::uint8_t byte = 0;
  EXPECT_FALSE(c.reader.readU8(byte));
  char name[128] = {};
  EXPECT_EQ(c.reader.readString(name), 0);
  EXPECT_EQ(c.reader.parseImage(), 0);
}

TEST(ReadString, ShortStringIsCopiedWithoutTerminator) {
  Cursor c(KxmWriter::bare().str("abc").u8('x').bytes());
  char name[128] = {};
  name[3] = '\0';
  ASSERT_EQ(c.reader.readString(name), 1);
  EXPECT_STREQ(name, "abc");
  EXPECT_EQ(c.reader.position, 7u);
}

TEST(ReadString, OverlongStringIsSkippedAndLeavesTheBufferEmpty) {
  Cursor c(KxmWriter::bare().str(std::string(128, 'a')).u32(42).bytes());
  char name[128] = {};
  ASSERT_EQ(c.reader.readString(name), 1);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(c.reader.position, 132u);
  std::uint32_t next = 0;
  EXPECT_TRUE(c.reader.readU32Le(next));
  EXPECT_EQ(next, 42u);
}

TEST(ReadString, StringRunningPastTheImageFailsWithTheLengthConsumed) {
  Cursor c(KxmWriter::bare().u32(10).raw("abc").bytes());
  char name[128] = {};
  EXPECT_EQ(c.reader.readString(name), 0);
  EXPECT_EQ(c.reader.position, 4u);
  EXPECT_STREQ(name, "");
}

TEST(ReadString, SkipOfAHugeLengthSaturatesInsteadOfWrapping) {
  Cursor c(KxmWriter::bare().u32(0).u32(0xFFFFFFFCu).bytes());
  c.reader.position = 4;
  char name[128] = {};
  ASSERT_EQ(c.reader.readString(name), 1);
  EXPECT_EQ(c.reader.position, 0xFFFFFFFFu);
  std::uint32_t v = 0;
  EXPECT_FALSE(c.reader.readU32Le(v));
}

TEST(Header, FiveNodesWhatTheOptionsAre) {
  for (int names = 0; names < 2; ++names) {
    for (int values = 0; values < 2; ++values) {
      Walk walk(KxmWriter::bare().header("MAGICKXM", 1, -5, 7), options(names, values));
      EXPECT_EQ(walk.result, 1);
      EXPECT_EQ(walk.dump(),
                "FileHeader\n"
                "  str_length: 8\n"
                "  file_id: \"MAGICKXM\"\n"
                "  file_version: 1\n"
                "  reserved1: -5\n"
                "  reserved2: 7\n"
                "Frames\nAnimationSets\nCustomData\n");
    }
  }
}

TEST(Header, FileIdRules) {
  using std::string_literals::operator""s;
  Walk nine(KxmWriter::bare().header("MAGICKXM\0"s));
  EXPECT_EQ(nine.result, 1);
  EXPECT_EQ(nine.under(nine.tree.fileHeaderRoot).rfind("str_length: 9\n", 0), 0u);
  EXPECT_EQ(Walk(KxmWriter::bare().header("MAGICKXMX")).result, 0);
  EXPECT_EQ(Walk(KxmWriter::bare().header("MAGICKX")).result, 0);
  EXPECT_EQ(Walk(KxmWriter::bare().header("magickxm")).result, 0);
  // 127 bytes pass the length test; only the first nine are compared.
  EXPECT_EQ(Walk(KxmWriter::bare().header("MAGICKXM\0"s + std::string(118, 'z'))).result, 1);
  EXPECT_EQ(Walk(KxmWriter::bare().header("MAGICKXM\0"s + std::string(119, 'z'))).result, 0);
}

TEST(Header, FailuresInsertNoNode) {
  const std::vector<KxmWriter> bad = {
      KxmWriter::bare(),                                       // empty file
      KxmWriter::bare().u32(3),                                // nothing after str_length
      KxmWriter::bare().u32(8).raw("MAGIC"),                   // file_id past the image
      KxmWriter::bare().header("MAGICKXM", 2),                 // version 2
      KxmWriter::bare().str("MAGICKXM").i32(1).i32(0).u16(0),  // cut inside reserved2
  };
  for (const KxmWriter& w : bad) {
    const Loaded loaded = load(w);
    EXPECT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.dump, kFourRoots);
    EXPECT_TRUE(loaded.modelEmpty);
  }
}

TEST(TopLevel, ChunkLengthsThatWouldWrapNeverMoveTheCursorBack) {
  // A chunk claiming nearly 4 GiB inside a frame: its end is held at the top of the range, the
  // frame ends there, and nothing after it is read again.
  KxmWriter w;
  w.open(1).head(500, 0xFFFFFFF0u).zeros(16).close();
  Walk walk(w);
  EXPECT_EQ(walk.result, 1);
  EXPECT_EQ(walk.frames(), "Frame ROOT\n  UNKNOWN\n");
  EXPECT_EQ(walk.reader.position, 0xFFFFFFFFu);

  KxmWriter top;
  top.head(3, 0xFFFFFFFFu).zeros(4);
  const Loaded loaded = load(top);
  EXPECT_EQ(loaded.result, 1);
}

class LoadFromFile : public ::testing::Test {
 protected:
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("kxm-reader-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }

  static int loadFile(const std::filesystem::path& path, std::string* dump = nullptr) {
    const Loaded loaded = loadPath(path.string());
    EXPECT_TRUE(loaded.modelEmpty);
    if (dump) *dump = loaded.dump;
    return loaded.result;
  }
};

TEST_F(LoadFromFile, ReadsTheFileWhole) {
  KxmWriter w;
  w.open(406).zeros(3).close();
  ASSERT_TRUE(w.save((dir / "a.kxm").string()));
  std::string dump;
  EXPECT_EQ(loadFile(dir / "a.kxm", &dump), 1);
  EXPECT_NE(dump.find("CustomData\n  chunk_length: 3\n"), std::string::npos);
}

TEST_F(LoadFromFile, MissingFolderAndNullPathFail) {
  EXPECT_EQ(loadFile(dir / "missing.kxm"), 0);
  EXPECT_EQ(loadFile(dir), 0);
  Model model;
  ChunkTree tree;
  DisplayOptions shown;
  ChunkReader reader(model, tree, shown);
  EXPECT_EQ(reader.load(nullptr), 0);
}

TEST_F(LoadFromFile, FileOfFourGibibytesOrMoreFailsWithoutAllocatingIt) {
  const auto path = dir / "huge.kxm";
  {
    std::ofstream out(path, std::ios::binary);
    out.write("\x08\0\0\0MAGICKXM", 12);
  }
  std::error_code error;
  std::filesystem::resize_file(path, 0x100000000ull + 24, error);
  if (error) GTEST_SKIP() << "no sparse file here: " << error.message();
  std::string dump;
  EXPECT_EQ(loadFile(path, &dump), 0);
  EXPECT_EQ(dump, kFourRoots);
}

}  // namespace
}  // namespace kxm::test
