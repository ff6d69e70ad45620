// kxm repair over cut files: what loaded whole comes out as a file that loads with no finding,
// a whole file is left alone, and the input is never the output.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "cli/repair_command.h"
#include "format/chunk_catalogue.h"
#include "format/little_endian.h"
#include "format/record_layouts.h"
#include "reader/load.h"
#include "tests/support/image_writers.h"
#include "tests/support/kxm_writer.h"
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

// A strip typed before its indices, as other writers order a mesh: a root frame "Strip" whose
// mesh draws four vertices as a strip of two triangles and back.
std::vector<std::uint8_t> typedStrip() {
  test::KxmWriter w;
  w.open(chunk::FrameRoot).chunkStr(chunk::FrameName, "Strip").open(chunk::FrameMesh);
  w.positions({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}).chunkI32(chunk::MeshPrimitiveType, 5);
  w.indices({0, 1, 2, 3, 2, 1}).end().close().end().close();
  return w.bytes();
}

// A mesh the break cut in its index data keeps the whole triangles read before it, and one cut
// after its indices keeps them all; an index count past its data keeps what the data holds. One
// with no whole triangle is left out.
TEST_F(Repair, AMeshCutInOrAfterItsIndicesKeepsItsWholeTriangles) {
  const std::vector<std::uint8_t> sample = test::sampleModel();
  const std::size_t data = firstIndexData(sample);  // of the base's 36 indices
  ASSERT_NE(data, 0u);
  std::vector<std::uint8_t> overcounted = sample;  // 0x7FFFFFFF indices counted, not cut
  test::putU32Le(overcounted, data - 12, 0x7FFFFFFF);
  const std::vector<std::uint8_t> strip = typedStrip();
  const std::size_t stripData = firstIndexData(strip);
  const struct {
    const char* what;
    const std::vector<std::uint8_t>& file;
    std::size_t size;
    std::size_t frame;  // the mesh's
    const char* said;   // what the warning says of it; nullptr: left out
    std::int32_t kept, type;
  } cases[] = {
      {"10 indices read", sample, data + 21, 1,
       "in its index data; kept with its 3 whole "
       "triangle(s), as a triangle list: its primitive type lay past the break",
       9, 4},
      {"3 indices read", sample, data + 7, 1, "kept with its 1 whole triangle(s), as a", 3, 4},
      {"2 indices read", sample, data + 5, 1, nullptr, 0, 0},
      {"in the primitive type", sample, data + 72 + 10, 1, "after its indices; kept with its 12",
       36, 4},
      {"counted past its data", overcounted, overcounted.size(), 1,
       "its index count runs past its index data at", 36, 4},
      {"a strip typed before", strip, stripData + 9, 0,
       "kept with its 2 whole triangle(s) [part-cut-short]", 4, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path in =
        file("cut.kxm", {c.file.begin(), c.file.begin() + static_cast<long>(c.size)});
    Output out, err;
    ASSERT_EQ(repairFile(in, dir / "fixed.kxm", false, out, err), 0) << err.text();
    if (c.said) {
      EXPECT_NE(err.text().find(c.said), std::string::npos) << err.text();
    }
    Model model;
    IssueList issues(16);
    ASSERT_TRUE(load((dir / "fixed.kxm").string().c_str(), model, nullptr, &issues).loaded);
    EXPECT_EQ(issues.errors + issues.warnings, 0u);
    ASSERT_GT(model.frames.count(), c.frame);
    const auto& meshes = model.frames[c.frame].meshes;
    ASSERT_EQ(meshes.count(), c.said ? 1u : 0u);
    if (c.said) {
      EXPECT_EQ(meshes[0].indices.count(), c.kept);
      EXPECT_EQ(meshes[0].primitiveType, c.type);
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
