// The reading rules at the edges of the image: bounded reads, strings, the header, the load.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/walk.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

constexpr const char* kFourRoots = "FileHeader\nFrames\nAnimationSets\nCustomData\n";

struct Cursor {
  explicit Cursor(std::vector<std::uint8_t> image) : bytes(std::move(image)) {}
  std::vector<std::uint8_t> bytes;
  ByteCursor cursor{bytes.data(), static_cast<std::uint32_t>(bytes.size())};
};

TEST(BoundedRead, EndsExactlyAtTheImageEndOrFailsInPlace) {
  Cursor c({1, 2, 3, 4, 5});
  std::uint32_t v = 0;
  const struct {
    std::uint32_t at;
    bool fits;
  } cases[] = {{1, true}, {2, false}, {5, false}, {0xFFFFFFFEu, false}};
  for (const auto& t : cases) {
    c.cursor.seek(t.at);
    EXPECT_EQ(c.cursor.readU32Le(v), t.fits) << t.at;
    EXPECT_EQ(c.cursor.offset(), t.fits ? t.at + 4 : t.at) << t.at;
  }
  EXPECT_EQ(v, 0x05040302u);
  // The failed read says where it began, what it needed and what was left.
  c.cursor.seek(2);
  EXPECT_FALSE(c.cursor.readU32Le(v, "count"));
  EXPECT_EQ(c.cursor.shortfall().offset, 2u);
  EXPECT_EQ(c.cursor.shortfall().needed, 4u);
  EXPECT_EQ(c.cursor.shortfall().left, 3u);
  EXPECT_STREQ(c.cursor.shortfall().what, "count");
}

TEST(BoundedRead, FailsWithoutAnImage) {
  ByteCursor none;
  std::uint8_t byte = 0;
  EXPECT_FALSE(none.readU8(byte));
  char name[128] = {};
  EXPECT_FALSE(none.readString(name));
}

TEST(ReadString, Rules) {
  const struct {
    const char* rule;
    std::vector<std::uint8_t> bytes;
    std::uint32_t start;
    bool ok;
    std::uint32_t offsetAfter;
    const char* name;
  } cases[] = {
      {"short string, no terminator written", KxmWriter::bare().str("abc").u8('x').bytes(), 0, true,
       7, "abc"},
      {"128 bytes are skipped", KxmWriter::bare().str(std::string(128, 'a')).u32(42).bytes(), 0,
       true, 132, ""},
      {"running past the image, length consumed", KxmWriter::bare().u32(10).raw("abc").bytes(), 0,
       false, 4, ""},
      {"a huge skip saturates", KxmWriter::bare().u32(0).u32(0xFFFFFFFCu).bytes(), 4, true,
       0xFFFFFFFFu, ""},
  };
  for (const auto& t : cases) {
    Cursor c(t.bytes);
    c.cursor.seek(t.start);
    char name[128] = {};
    EXPECT_EQ(c.cursor.readString(name), t.ok) << t.rule;
    EXPECT_EQ(c.cursor.offset(), t.offsetAfter) << t.rule;
    EXPECT_STREQ(name, t.name) << t.rule;
  }
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
  // 127 bytes pass the length test; only the first nine are compared.
  const std::pair<std::string, int> ids[] = {{"MAGICKXMX", 0},
                                             {"MAGICKX", 0},
                                             {"magickxm", 0},
                                             {"MAGICKXM\0"s + std::string(118, 'z'), 1},
                                             {"MAGICKXM\0"s + std::string(119, 'z'), 0}};
  for (const auto& [id, result] : ids)
    EXPECT_EQ(Walk(KxmWriter::bare().header(id)).result, result) << id.size();
}

TEST(TopLevel, ChunkLengthsThatWouldWrapNeverMoveTheCursorBack) {
  // A chunk claiming nearly 4 GiB inside a frame: its end is held at the top of the range, the
  // frame ends there, and nothing after it is read again.
  KxmWriter w;
  w.open(FrameRoot).head(500, 0xFFFFFFF0u).zeros(16).close();
  Walk walk(w);
  EXPECT_EQ(walk.result, 1);
  EXPECT_EQ(walk.frames(), "Frame ROOT\n  UNKNOWN\n");

  KxmWriter top;
  top.head(3, 0xFFFFFFFFu).zeros(4);
  const Loaded loaded = load(top);
  EXPECT_EQ(loaded.result, 1);
}

class LoadFromFile : public ::testing::Test {
 protected:
  // One folder per test: CTest runs the tests of this fixture side by side.
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              (std::string("kxm-reader-test-") +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
};

TEST_F(LoadFromFile, ReadsTheFileWhole) {
  KxmWriter w;
  w.open(CustomData).zeros(3).close();
  ASSERT_TRUE(w.save((dir / "a.kxm").string()));
  const Loaded loaded = loadPath((dir / "a.kxm").string());
  EXPECT_EQ(loaded.result, 1);
  EXPECT_NE(loaded.dump.find("CustomData\n  chunk_length: 3\n"), std::string::npos);
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
  const Loaded loaded = loadPath(path.string());
  EXPECT_EQ(loaded.result, 0);
  EXPECT_EQ(loaded.dump, kFourRoots);
}

}  // namespace
}  // namespace kxm::test
