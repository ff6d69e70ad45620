// kxm repair over cut files: what loaded whole comes out as a file that loads with no finding,
// a whole file is left alone, and the input is never the output.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "cli/repair_command.h"
#include "reader/load.h"
#include "tests/support/sample_model.h"

namespace kxm {
namespace {

namespace fs = std::filesystem;

class Repair : public ::testing::Test {
 protected:
  // A folder of each run's own: tests run at once, here and in other checkouts, and one's
  // TearDown must not take another's files.
  fs::path dir = fs::temp_directory_path() /
                 ("kxm-repair-test-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                  "-" + std::to_string(std::random_device{}()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }

  fs::path file(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return dir / name;
  }
};

TEST_F(Repair, CutFilesComeOutWhole) {
  const std::vector<std::uint8_t> sample = test::sampleModel();
  // In the header, in a frame's name, in vertex data, in index data, in a bone list, in the
  // animation set, in the custom data.
  for (std::size_t cut :
       {std::size_t{10}, std::size_t{40}, std::size_t{700}, std::size_t{1500}, std::size_t{2400},
        std::size_t{3000}, std::size_t{3900}, sample.size() - 3}) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    const fs::path in = file("cut.kxm", {sample.begin(), sample.begin() + static_cast<long>(cut)});
    Output out, err;
    const int status = repairFile(in, dir / "fixed.kxm", false, out, err);
    if (cut < 24) {  // nothing of it loaded
      EXPECT_EQ(status, 1);
      EXPECT_FALSE(fs::exists(dir / "fixed.kxm"));
      continue;
    }
    ASSERT_EQ(status, 0) << err.text();
    // What was left out, or (a cut in the custom data that closes the file) the length made true.
    EXPECT_NE(err.text().find(cut == sample.size() - 3 ? "[written-anew]" : "[part-left-out]"),
              std::string::npos)
        << err.text();
    Model model;
    IssueList issues(16);
    ASSERT_TRUE(load((dir / "fixed.kxm").string().c_str(), model, nullptr, &issues).loaded);
    EXPECT_EQ(issues.errors + issues.warnings, 0u);
    EXPECT_FALSE(model.empty());
    fs::remove(dir / "fixed.kxm");
  }
}

TEST_F(Repair, LeavesWholeFilesAndInputsAlone) {
  const std::vector<std::uint8_t> sample = test::sampleModel();
  const fs::path in = file("whole.kxm", sample);
  Output out, err;
  EXPECT_EQ(repairFile(in, dir / "fixed.kxm", false, out, err), 0);
  EXPECT_NE(out.text().find("nothing to repair"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "fixed.kxm"));
  const fs::path cut = file("cut.kxm", {sample.begin(), sample.begin() + 700});
  EXPECT_EQ(repairFile(cut, cut, false, out, err), 2);
  EXPECT_EQ(fs::file_size(cut), 700u);
}

}  // namespace
}  // namespace kxm
