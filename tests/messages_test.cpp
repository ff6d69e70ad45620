// What kxm says, word for word: a file that is not KXM, a wrong magic, a texture converted or
// standing in; and the severities, which decide what is counted as a warning and what is shown.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/diagnostics.h"
#include "reader/load.h"
#include "tests/support/image_writers.h"
#include "tests/support/kxm_writer.h"
#include "textures/folder_images.h"

namespace kxm::test {

namespace {

using namespace std::string_literals;

std::vector<std::uint8_t> bytesOf(std::string_view text) {
  return {text.begin(), text.end()};
}

TEST(Messages, AHeaderThatIsNotKxmSaysWhatTheFileStartsWith) {
  const struct {
    const char* what;
    std::vector<std::uint8_t> file;
    std::string kxmLine;  // kxm's diagnostic
    std::string viewers;  // kxm-dump's and the viewers' words, unchanged
  } cases[] = {
      {"a PNG", bytesOf("\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s),
       "x:0x00000000: error: not a KXM file: it starts with \"\\x89PNG\" [bad-header]\n",
       "bad-header at 0x00000000: str_length is 1196314761, 128 or more"},
      {"a ZIP", bytesOf("PK\x03\x04\x14\0\0\0"s),
       "x:0x00000000: error: not a KXM file: it starts with \"PK\\x03\\x04\" [bad-header]\n",
       "bad-header at 0x00000000: str_length is 67324752, 128 or more"},
      {"a length too short for the id", KxmWriter::bare().u32(3).raw("abc"s).zeros(12).bytes(),
       "x:0x00000004: error: not a KXM file: it starts with \"\\x03\\x00\\x00\\x00\" "
       "[bad-header]\n",
       "bad-header at 0x00000004: file_id is not \"MAGICKXM\""},
      {"a wrong magic", KxmWriter::bare().header("MAGICKXZ").bytes(),
       "x:0x00000004: error: file_id is \"MAGICKXZ\", not \"MAGICKXM\" [bad-header]\n",
       "bad-header at 0x00000004: file_id is not \"MAGICKXM\""},
      {"a wrong version", KxmWriter::bare().header("MAGICKXM", 2).bytes(),
       "x:0x0000000C: error: file_version is 2, not 1 [bad-header]\n",
       "bad-header at 0x0000000C: file_version is 2, not 1"},
  };
  for (const auto& c : cases) {
    Model model;
    const LoadOutcome outcome = load(c.file, model);
    EXPECT_EQ(diagnosticLine("x", issueOf(outcome.failure)), c.kxmLine) << c.what;
    EXPECT_EQ(describeFailure(outcome.failure), c.viewers) << c.what;
  }
}

// The texture codes said by the export of images from a folder, with their severities.
TEST(Messages, ATextureConvertedIsANoteSaidOnceAndAStandInAWarning) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kxm-messages-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::vector<std::uint8_t> bmp = bmpImage({4, 2, 24}, std::vector<std::uint32_t>(8, 0));
  for (const char* name : {"wall.bmp", "roof.bmp", "Door.bmp"}) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  }
  const struct {
    const char* texture;
    std::vector<std::pair<IssueCode, std::string>> said;
  } cases[] = {
      {"wall.bmp",
       {{IssueCode::TextureConverted, "texture: wall.bmp (BMP 24-bit, 4 x 2, converted to PNG)"}}},
      {"roof.tga",
       {{IssueCode::TextureSubstituted, "texture: not found; roof.bmp stands in"},
        {IssueCode::TextureConverted, "texture: roof.bmp (BMP 24-bit, 4 x 2, converted to PNG)"}}},
      {"DOOR.BMP",
       {{IssueCode::TextureSubstituted, "texture: not found; Door.bmp stands in"},
        {IssueCode::TextureConverted, "texture: Door.bmp (BMP 24-bit, 4 x 2, converted to PNG)"}}},
  };
  for (const auto& c : cases) {
    FolderImages images(TextureFolders{dir, {}, nullptr});
    gltf::Warnings warnings;
    ASSERT_TRUE(images.resolve(c.texture, "texture", warnings)) << c.texture;
    ASSERT_EQ(warnings.kept().size(), c.said.size()) << c.texture;
    for (std::size_t i = 0; i < c.said.size(); ++i) {
      EXPECT_EQ(warnings.kept()[i].code, c.said[i].first) << c.texture;
      EXPECT_EQ(warnings.kept()[i].message, c.said[i].second) << c.texture;
    }
    EXPECT_EQ(warnings.count(Severity::Note), 1u) << c.texture;
    EXPECT_EQ(warnings.count(Severity::Warning), c.said.size() - 1) << c.texture;
  }
  std::filesystem::remove_all(dir);
}

TEST(Messages, EachSeverityIsCountedApartAndTheMinimumLeavesTheLesserOut) {
  const struct {
    Severity least;
    std::uint64_t warnings, notes;
    std::vector<std::string> lines;
  } cases[] = {
      {Severity::Note,
       1,
       1,
       {"x:0x00000010: warning: w [unknown-chunk]\n",
        "x:0x00000020: note: n [texture-converted]\n"}},
      {Severity::Warning, 1, 0, {"x:0x00000010: warning: w [unknown-chunk]\n"}},
      {Severity::Error, 0, 0, {}},
  };
  for (const auto& c : cases) {
    IssueList list(100, c.least);
    list.onFinding({IssueCode::UnknownChunk, 0x10, {}, "w"});
    list.onFinding({IssueCode::TextureConverted, 0x20, {}, "n"});
    list.finish({});
    EXPECT_EQ(list.warnings, c.warnings);
    EXPECT_EQ(list.notes, c.notes);
    EXPECT_EQ(list.errors, 0u);
    EXPECT_FALSE(list.truncated());
    std::vector<std::string> lines;
    for (const ListedIssue& issue : list.listed) lines.push_back(diagnosticLine("x", issue));
    EXPECT_EQ(lines, c.lines) << severityName(c.least);
  }
}

TEST(Messages, OnlyALosslessConversionIsANote) {
  for (const IssueKind& kind : issueKinds()) {
    Severity named = Severity::Error;
    ASSERT_TRUE(severityNamed(severityName(kind.severity), named));
    EXPECT_EQ(named, kind.severity);
    EXPECT_EQ(kind.severity == Severity::Note, kind.code == IssueCode::TextureConverted)
        << kind.name;
  }
  Severity none = Severity::Note;
  EXPECT_FALSE(severityNamed("fatal", none));
}

}  // namespace

}  // namespace kxm::test
