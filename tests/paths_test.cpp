// Paths as UTF-8 text: the conversions to UTF-16 and back, names outside every ANSI code page
// loaded by their UTF-8 path, and paths longer than MAX_PATH. On Windows (under Wine) these
// reach the wide API; elsewhere the same names are bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "files/paths.h"
#include "model/model.h"
#include "reader/load.h"
#include "tests/support/sample_model.h"

namespace kxm {
namespace {

namespace fs = std::filesystem;
using files::pathFromText;
using files::textFromPath;
using files::utf16FromUtf8;
using files::utf8FromUtf16;

TEST(Utf8Paths, WellFormedTextGoesToUtf16AndBack) {
  const struct {
    const char* utf8;
    std::u16string utf16;
  } cases[] = {
      {"", u""},
      {"plain.kxm", u"plain.kxm"},
      {"\xC3\xA9p\xC3\xA9\x65.kxm", u"\u00E9p\u00E9e.kxm"},               // épée
      {"\xE6\xA8\xA1\xE5\x9E\x8B \xE2\x9C\x93", u"\u6A21\u578B \u2713"},  // 模型 ✓
      {"\xF0\x9F\x8E\xAE.kxm", u"\xD83C\xDFAE.kxm"},                      // a pair
      {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},                              // U+10FFFF
      {"\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80", u"\u007F\u0080\u07FF\u0800"},  // the edges
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf16FromUtf8(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(utf8FromUtf16(c.utf16), c.utf8) << c.utf8;
  }
}

TEST(Utf8Paths, UnpairedSurrogatesOfWindowsNamesComeBackAsTheyWere) {
  for (const std::u16string& name :
       {std::u16string(u"a\xD800"), std::u16string(u"\xDC00z"), std::u16string(u"\xDC00\xD800"),
        std::u16string(u"\xD83C\xD83C\xDFAE")}) {
    EXPECT_EQ(utf16FromUtf8(utf8FromUtf16(name)), name);
  }
  EXPECT_EQ(utf8FromUtf16(u"a\xD800"), "a\xED\xA0\x80");
}

TEST(Utf8Paths, BytesThatAreNoUtf8BecomeOneReplacementEach) {
  const struct {
    const char* utf8;
    std::u16string utf16;
  } cases[] = {
      {"\xFF", u"\uFFFD"},
      {"a\x80z", u"a\uFFFDz"},                            // a stray continuation
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong '/': never a separator
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},            // overlong in three bytes
      {"\xE2\x82", u"\uFFFD\uFFFD"},                      // cut short at the end
      {"\xE2\x82z", u"\uFFFD\uFFFDz"},                    // cut short by a letter
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const auto& c : cases) EXPECT_EQ(utf16FromUtf8(c.utf8), c.utf16) << c.utf8;
}

// A folder of its own below the temporary folder. What the test makes there is removed one by
// one, deepest first: remove_all lists folders through directory_iterator, which stops at
// MAX_PATH on Windows and so left the long path's folders behind.
class Utf8PathFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("kxm-utf8-paths-test-" + std::to_string(std::random_device{}()));
    made_.push_back(folder_);
    fs::create_directory(folder_);
  }
  void TearDown() override {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
      std::error_code error;
      fs::remove(files::longPathForm(*it), error);
      EXPECT_FALSE(error) << textFromPath(*it) << ": " << error.message();
    }
  }
  // Writes the sample at `below` (UTF-8, '/' between folders) and gives its UTF-8 path.
  std::string writeSample(const std::string& below) {
    const fs::path relative = pathFromText(below);
    fs::path path = folder_;
    for (const fs::path& part : relative.parent_path()) {
      path /= part;
      if (fs::create_directory(files::longPathForm(path))) made_.push_back(path);
    }
    path /= relative.filename();
    const std::vector<std::uint8_t> bytes = test::sampleModel();
    std::ofstream(files::longPathForm(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    made_.push_back(path);
    return textFromPath(path);
  }
  fs::path folder_;
  std::vector<fs::path> made_;  // the folder and below it, in the order made
};

TEST_F(Utf8PathFiles, NamesOutsideTheAnsiCodePageLoadByTheirUtf8Path) {
  for (const char* name : {"\xC3\xA9p\xC3\xA9\x65.kxm", "\xE6\xA8\xA1\xE5\x9E\x8B \xE2\x9C\x93.kxm",
                           "Mod\xC3\xA8les/\xF0\x9F\x8E\xAE lamp.kxm"}) {
    const std::string path = writeSample(name);
    EXPECT_EQ(textFromPath(pathFromText(path)), path);
    Model model;
    const LoadOutcome outcome = load(path.c_str(), model);
    EXPECT_TRUE(outcome.loaded) << name << ": " << outcome.failure.message;
  }
}

TEST_F(Utf8PathFiles, PathsPastMaxPathLoad) {
  const std::string part(100, 'd');
  const std::string below = part + "/" + part + "/" + part + "/\xC3\xA9p\xC3\xA9\x65.kxm";
  const std::string path = writeSample(below);
  ASSERT_GT(path.size(), 300u);
  Model model;
  const LoadOutcome outcome = load(path.c_str(), model);
  EXPECT_TRUE(outcome.loaded) << outcome.failure.message;
  const LoadOutcome missing = load((path + ".missing").c_str(), model);
  EXPECT_EQ(missing.failure.cause, FailureCause::FileNotFound);
}

TEST(Utf8Paths, OnlyLongPathsTakeTheLongForm) {
  const fs::path shortOne = pathFromText("short/model.kxm");
  EXPECT_EQ(files::longPathForm(shortOne), shortOne);
  const fs::path longOne = pathFromText(std::string(300, 'x') + "/./model.kxm");
#if defined(_WIN32)
  const std::wstring form = files::longPathForm(longOne).native();
  EXPECT_EQ(form.rfind(LR"(\\?\)", 0), 0u);
  EXPECT_EQ(form.find(L'/'), std::wstring::npos);
  EXPECT_EQ(form.find(LR"(\.\)"), std::wstring::npos);  // normalised: the system will not
  EXPECT_EQ(files::longPathForm(fs::path(form)).native(), form);
#else
  EXPECT_EQ(files::longPathForm(longOne), longOne);
  // Bytes that are no UTF-8 are a name like any other here, and come back as they were.
  EXPECT_EQ(textFromPath(pathFromText("caf\xE9.kxm")), "caf\xE9.kxm");
#endif
}

}  // namespace
}  // namespace kxm
