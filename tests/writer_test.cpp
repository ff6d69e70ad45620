// The writer against the reader: a model written and read again is the model it was, and a file
// our test writer lays out as the writer does comes back byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "reader/load.h"
#include "tests/support/kxm_writer.h"
#include "tests/support/model_equality.h"
#include "tests/support/random_model.h"
#include "tests/support/sample_model.h"
#include "writer/kxm_file.h"

namespace kxm {
namespace {

LoadOutcome readForWriting(const std::vector<std::uint8_t>& bytes, Model& model,
                           LoadObserver* observer = nullptr) {
  model.keepNormals = model.keepForWriting = true;
  return load(bytes, model, nullptr, observer);
}

std::vector<std::uint8_t> written(const Model& model) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(writeKxm(model, bytes, error)) << error;
  return bytes;
}

TEST(Writer, GeneratedModelsComeBackAsTheyWere) {
  constexpr std::uint32_t kModels = 400;
  for (std::uint32_t seed = 0; seed < kModels; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Model model;
    test::randomModel(seed, model);
    const std::vector<std::uint8_t> bytes = written(model);
    Model back;
    IssueList issues(64);
    ASSERT_TRUE(readForWriting(bytes, back, &issues).loaded);
    ASSERT_EQ(test::modelDifference(model, back), "");
    for (const ListedIssue& issue : issues.listed) {
      for (const IssueKind& kind : issueKinds()) {
        if (kind.name == issue.code) {
          EXPECT_FALSE(settledByWriting(kind.code)) << issue.message;
        }
      }
    }
    EXPECT_EQ(written(back), bytes);  // and the same bytes once more
  }
}

TEST(Writer, SampleComesBackByteForByte) {
  const std::vector<std::uint8_t> sample = test::sampleModel();
  Model model;
  ASSERT_TRUE(readForWriting(sample, model).loaded);
  EXPECT_EQ(written(model), sample);
}

// Files of our test writer, each with one thing the layout orders: top-level frames, a sibling
// beside a child, a list's closing END, custom data at the end; and layouts of other writers.
TEST(Writer, CanonicalFilesComeBackByteForByte) {
  auto frame = [](test::KxmWriter& w, const char* name) { w.chunkStr(chunk::FrameName, name); };
  test::KxmWriter twoRoots;
  twoRoots.open(chunk::FrameRoot), frame(twoRoots, "A"), twoRoots.end().close();
  twoRoots.open(chunk::FrameRoot), frame(twoRoots, "B"), twoRoots.end().close();
  test::KxmWriter family;
  family.open(chunk::FrameRoot), frame(family, "Root"), family.open(chunk::FrameChild);
  frame(family, "Child"), family.open(chunk::FrameChild), frame(family, "Grandchild");
  family.end().close().open(chunk::FrameSibling), frame(family, "Second child");
  family.end().close().end().close().end().close();
  test::KxmWriter positions;
  positions.open(chunk::FrameRoot), frame(positions, "Mesh"), positions.open(chunk::FrameMesh);
  positions.positions({0, 0, 0, 1, 0, 0, 0, 1, 0}).indices({0, 1, 2});
  positions.chunkI32(chunk::MeshPrimitiveType, 4).chunkI32(chunk::MeshDrawVertexCount, 3);
  positions.chunkI32(chunk::MeshDrawPrimitiveCount, 1);
  positions.open(chunk::MeshMaterial).floats({1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1});
  positions.f32(128).close().end().close().end().close();
  positions.open(chunk::CustomData).raw("tail").close();
  // Layouts other writers choose: two CHILD chunks where ours writes a SIBLING, a mesh after a
  // child frame, the offset before the matrix, a frame without a name, a mesh without draw
  // counts or material, a texture without a range, a set without a length.
  test::KxmWriter theirs;
  theirs.open(chunk::FrameRoot).chunkFloats(chunk::FrameOffset, {1, 2, 3});
  theirs.chunkFloats(chunk::FrameMatrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  theirs.open(chunk::FrameChild), frame(theirs, "First"), theirs.end().close();
  theirs.open(chunk::FrameChild), frame(theirs, "Second"), theirs.end().close();
  theirs.open(chunk::FrameMesh).positions({0, 0, 0, 1, 0, 0, 0, 1, 0});
  theirs.chunkI32(chunk::MeshPrimitiveType, 4).chunkI32(chunk::MeshTextureCount, 1);
  theirs.open(chunk::MeshTextures).chunkStr(chunk::TextureName, "t.png").end().end().close();
  theirs.end().close().end().close();
  theirs.open(chunk::AnimationSetRoot).chunkStr(chunk::AnimationSetName, "Still").end().close();
  for (const test::KxmWriter* file : {&twoRoots, &family, &positions, &theirs}) {
    Model model;
    ASSERT_TRUE(readForWriting(file->bytes(), model).loaded);
    EXPECT_EQ(written(model), file->bytes());
  }
}

// The writer's choices where the reader gives one model for many files, each read back.
TEST(Writer, KeepsWhatTheModelHoldsAndNothingElse) {
  Model model;
  model.keepNormals = model.keepForWriting = true;
  Frame& frame = *model.addFrame(-1);
  std::strcpy(frame.name, "F");
  Mesh& mesh = *frame.meshes.append();
  mesh.fvfFlags = 0x152;  // position, normal, colour, one two-float set
  ASSERT_TRUE(mesh.vertices.allocate(1));
  mesh.vertices[0].diffuse[0] = 0.5f;  // no byte gives 0.5: the nearest, 128, comes back
  const std::vector<std::uint8_t> bytes = written(model);
  Model back;
  ASSERT_TRUE(readForWriting(bytes, back).loaded);
  EXPECT_FLOAT_EQ(back.frames[0].meshes[0].vertices[0].diffuse[0], 128.0f / 255.0f);
  EXPECT_EQ(back.frames[0].meshes[0].normals.count(), 1);  // written as zeros where none were kept
}

TEST(Writer, RefusesWhatNoFileCanHold) {
  Model model;
  Mesh& mesh = *model.addFrame(-1)->meshes.append();
  ASSERT_TRUE(mesh.indices.allocate(1));
  mesh.indices[0] = 65536;
  std::vector<std::uint8_t> bytes{1, 2, 3};
  std::string error;
  EXPECT_FALSE(writeKxm(model, bytes, error));
  EXPECT_NE(error.find("65536"), std::string::npos);
  EXPECT_TRUE(bytes.empty());

  // A list whose count claimed two billion elements: refused before a byte of them is written,
  // where it took gigabytes.
  Model claimed;
  Mesh& listed = *claimed.addFrame(-1)->meshes.append();
  listed.multiMaterials.append();
  ASSERT_TRUE(listed.multiMaterials.appendDefaults(2000000000));
  EXPECT_FALSE(writeKxm(claimed, bytes, error));
  EXPECT_NE(error.find("2000000001 elements, more than a file holds"), std::string::npos) << error;
}

TEST(Writer, SavesAllOrNothing) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kxm_writer_test";
  std::filesystem::create_directories(folder);
  Model model;
  std::strcpy(model.addFrame(-1)->name, "Saved");
  std::string error;
  ASSERT_TRUE(saveKxm(model, folder / "saved.kxm", error)) << error;
  {
    // Closed before the folder goes: Windows removes no file that is open.
    std::ifstream in(folder / "saved.kxm", std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(bytes, written(model));
  }
  // A folder in the way: nothing is written, and the folder stays.
  std::filesystem::create_directories(folder / "taken.kxm");
  EXPECT_FALSE(saveKxm(model, folder / "taken.kxm", error));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "taken.kxm"));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kxm
