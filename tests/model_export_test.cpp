// The one export every front end makes: what it keeps of the file (its normals), how it fails,
// and that its GLB in memory and on disk are the same bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>

#include "export/model_export.h"
#include "tests/support/export_models.h"
#include "tests/support/walk.h"

namespace kxm::gltf {
namespace {

namespace fs = std::filesystem;
using test::KxmWriter;

std::vector<float> floatsOf(const Document& doc, int accessor) {
  const auto& a = doc.json["accessors"][static_cast<std::size_t>(accessor)];
  const Piece& piece = doc.binary[a["bufferView"].get<std::size_t>()];
  std::vector<float> out(a["count"].get<std::size_t>() * 3);
  std::memcpy(out.data(), piece.data(), out.size() * sizeof(float));
  return out;
}

// The export keeps the normals a plain load leaves out: a mesh without them is drawn faceted.
TEST(ModelExport, KeepsTheNormalsTheFileCarries) {
  const KxmWriter file = test::normalMesh();
  Export done = exportModel(file.bytes(), {});
  ASSERT_TRUE(done.ok()) << done.failure;
  const auto& attributes = done.document->json["meshes"][0]["primitives"][0]["attributes"];
  ASSERT_TRUE(attributes.contains("NORMAL"));
  // Mirrored into glTF's space as the positions are.
  EXPECT_EQ(floatsOf(*done.document, attributes["NORMAL"]),
            (std::vector<float>{0, 0, -1, 0, 0, -1, 0, 0, -1}));

  test::Walk plain(file);
  Warnings warnings;
  const Document faceted = buildDocument(plain.model, {}, warnings);
  EXPECT_FALSE(faceted.json["meshes"][0]["primitives"][0]["attributes"].contains("NORMAL"));
}

TEST(ModelExport, SaysWhyNothingWasMade) {
  const KxmWriter good = test::normalMesh();
  std::vector<std::uint8_t> cut = good.bytes();
  cut.resize(cut.size() - 10);
  struct Case {
    const char* what;
    ModelLoad load;
    bool loaded;
    std::string failureCode;
  };
  const Case cases[] = {
      {"loads whole", [&](Model& m) { return load(good.bytes(), m); }, true, ""},
      {"cut short", [&](Model& m) { return load(cut, m); }, false, ""},
      {"no memory for the model", [](Model&) -> LoadOutcome { throw std::bad_alloc(); }, false,
       "out-of-memory"},
  };
  for (const Case& c : cases) {
    Export done = exportModel(c.load, {});
    EXPECT_EQ(done.load.loaded, c.loaded) << c.what;
    EXPECT_EQ(done.failureCode, c.failureCode) << c.what;
    EXPECT_EQ(done.ok(), c.loaded && c.failureCode.empty()) << c.what;
    EXPECT_EQ(done.document.has_value(), done.ok()) << c.what;
    if (!done.ok()) {
      std::vector<std::uint8_t> glb{1, 2, 3};
      EXPECT_FALSE(writeGlb(done, glb)) << c.what;
      EXPECT_TRUE(glb.empty()) << c.what;
    }
  }
}

class ModelExportFiles : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() /
                 ("kxm-model-export-test-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(dir, error);
  }
  static std::vector<std::uint8_t> read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

// The browser's GLB is made in memory from bytes, kxm's written to disk from a file it loads:
// the same file gives the same bytes either way.
TEST_F(ModelExportFiles, TheGlbInMemoryIsTheFileOnDisk) {
  const KxmWriter file = test::normalMesh();
  ASSERT_TRUE(file.save((dir / "model.kxm").string()));
  Export inMemory = exportModel(file.bytes(), {});
  std::vector<std::uint8_t> glb;
  ASSERT_TRUE(writeGlb(inMemory, glb)) << inMemory.failure;
  EXPECT_FALSE(inMemory.document.has_value());

  const std::string path = (dir / "model.kxm").string();
  Export onDisk = exportModel([&](Model& m) { return load(path.c_str(), m); }, {});
  ASSERT_TRUE(writeFiles(onDisk, dir / "made" / "below" / "model.glb", true)) << onDisk.failure;
  EXPECT_EQ(read(dir / "made" / "below" / "model.glb"), glb);
}

TEST_F(ModelExportFiles, AFolderThatCannotBeMadeIsAWriteError) {
  ASSERT_TRUE(test::normalMesh().save((dir / "taken").string()));
  Export done = exportModel(test::normalMesh().bytes(), {});
  EXPECT_FALSE(writeFiles(done, dir / "taken" / "model.glb", true));
  EXPECT_STREQ(done.failureCode, "write-error");
  EXPECT_NE(done.failure.find("taken"), std::string::npos) << done.failure;
  EXPECT_FALSE(done.document.has_value());
  EXPECT_FALSE(fs::exists(dir / "taken" / "model.glb"));
}

}  // namespace
}  // namespace kxm::gltf
