// kxm repair over cut files: what loaded whole comes out as a file that loads with no finding,
// a whole file is left alone, and the input is never the output.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/repair_command.h"
#include "format/chunk_catalogue.h"
#include "format/little_endian.h"
#include "format/record_layouts.h"
#include "reader/load.h"
#include "tests/support/sample_model.h"

namespace kxm {
namespace {

namespace fs = std::filesystem;

class Repair : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / "kxm-repair-test";
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

// The offset of the first index data chunk's payload: the chunk after an index count of n whose
// length is n indices.
std::size_t firstIndexData(const std::vector<std::uint8_t>& file) {
  auto u32 = [&](std::size_t at) { return loadU32Le(file.data() + at); };
  for (std::size_t at = 0; at + 20 <= file.size(); ++at) {
    if (u32(at) == chunk::MeshIndexCount && u32(at + 4) == 4 &&
        u32(at + 12) == chunk::MeshIndexData && u32(at + 16) == u32(at + 8) * layout::kIndex.size) {
      return at + 20;
    }
  }
  return 0;
}

// A mesh cut in its index data keeps the whole triangles read before the cut; one with none
// whole is left out.
TEST_F(Repair, AMeshCutInItsIndicesKeepsItsWholeTriangles) {
  const std::vector<std::uint8_t> sample = test::sampleModel();
  const std::size_t data = firstIndexData(sample);
  ASSERT_NE(data, 0u);
  const struct {
    std::size_t indices;  // read before the cut
    std::int32_t kept;    // indices of the mesh as repaired; -1: left out
  } cases[] = {{10, 9}, {3, 3}, {2, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.indices) + " indices before the cut");
    const std::size_t cut = data + c.indices * layout::kIndex.size + 1;
    const fs::path in = file("cut.kxm", {sample.begin(), sample.begin() + static_cast<long>(cut)});
    Output out, err;
    ASSERT_EQ(repairFile(in, dir / "fixed.kxm", false, out, err), 0) << err.text();
    const bool kept = c.kept >= 0;
    EXPECT_EQ(
        err.text().find("whole triangle(s) read before, as a triangle list") != std::string::npos,
        kept)
        << err.text();
    Model model;
    IssueList issues(16);
    ASSERT_TRUE(load((dir / "fixed.kxm").string().c_str(), model, nullptr, &issues).loaded);
    EXPECT_EQ(issues.errors + issues.warnings, 0u);
    ASSERT_GE(model.frames.count(), 2u);
    const auto& meshes = model.frames[1].meshes;  // the sample's base
    ASSERT_EQ(meshes.count(), kept ? 1u : 0u);
    if (kept) {
      EXPECT_EQ(meshes[0].indices.count(), c.kept);
      EXPECT_EQ(meshes[0].primitiveType, 4);
    }
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
