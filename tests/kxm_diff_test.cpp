// kxm diff as an exporter's author runs it: an inserted frame is one difference, a changed value
// one line with both values and a path that finds it, a file that fails to load compared as far
// as it loaded. Every file is written by our writer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/kxm_writer.h"
#include "tests/support/program_run.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

namespace fs = std::filesystem;

using DiffRun = ProgramRun;

class KxmDiff : public ::testing::Test {
 protected:
  fs::path dir =
      fs::temp_directory_path() /
      ("kxm-diff-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(dir, error);
  }

  // Saves the file and gives its path, quoted for the command line.
  std::string save(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return " \"" + hostPath((dir / name).string()) + "\"";
  }

  DiffRun diff(const std::string& arguments) { return runProgram(KXM, "diff " + arguments, dir); }
};

// A frame as an exporter writes it: its name, then a mesh (a triangle and a render state), and
// whatever `extra` adds to the mesh.
void frame(KxmWriter& w, std::uint32_t code, const std::string& name,
           const std::function<void(KxmWriter&)>& extra = {}) {
  w.open(code).chunkStr(FrameName, name).open(FrameMesh);
  w.positions({0, 0, 0, 1, 0, 0, 0, 1, 0}).indices({0, 1, 2}).chunkI32(MeshGhostMode, -1);
  if (extra) extra(w);
  w.end().close().end().close();
}

// A knight: a root frame with child frames of these names.
std::vector<std::uint8_t> knight(const std::vector<std::string>& children) {
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "knight");
  for (const std::string& child : children) frame(w, FrameChild, child);
  w.end().close();
  return w.bytes();
}

const std::string kKnight = "Frames > Frame ROOT: \"knight\" > ";

TEST_F(KxmDiff, FramesPairByNameThenByPlace) {
  const struct {
    std::vector<std::string> a, b;
    std::string out;
  } cases[] = {
      {{"Helmet", "Arm"}, {"Helmet", "Arm"}, "the files hold the same\n"},
      // One frame inserted before the others: the others still meet theirs.
      {{"Helmet", "Arm", "Leg"},
       {"Sword", "Helmet", "Arm", "Leg"},
       kKnight + "Frame CHILD: \"Sword\": only in the second file\n1 difference\n"},
      {{"Sword", "Helmet", "Arm"},
       {"Helmet", "Arm"},
       kKnight + "Frame CHILD: \"Sword\": only in the first file\n1 difference\n"},
      {{"Helmet", "Arm"},
       {"Helmet", "Shield", "Arm"},
       kKnight + "Frame CHILD: \"Shield\": only in the second file\n1 difference\n"},
      // Frames of one name pair first with first, then the next.
      {{"Arm", "Arm"},
       {"Arm", "Arm", "Arm"},
       kKnight + "Frame CHILD: \"Arm\": only in the second file\n1 difference\n"},
      // A renamed frame is left over on both sides: it pairs by place, and its name differs.
      {{"Helmet", "Arm"},
       {"Helm", "Arm"},
       kKnight + "Frame CHILD: \"Helmet\" > Frame Name: \"Helmet\" -> \"Helm\"\n1 difference\n"},
      {{"", "Arm"},
       {"Helmet", "Arm"},
       kKnight + "Frame CHILD 1 of 2 > Frame Name: \"\" -> \"Helmet\"\n1 difference\n"},
      // The same frames in another order are not the same file.
      {{"Helmet", "Arm"},
       {"Arm", "Helmet"},
       kKnight + "Frame CHILD: \"Arm\": in another place in the second file\n1 difference\n"},
  };
  for (const auto& c : cases) {
    const DiffRun r = diff(save("a.kxm", knight(c.a)) + save("b.kxm", knight(c.b)));
    EXPECT_EQ(r.out, c.out) << c.a.size() << " against " << c.b.size();
    EXPECT_EQ(r.status, c.out == "the files hold the same\n" ? 0 : 1);
    EXPECT_EQ(r.err, "");
  }
}

// Animations are a chain, each nested in the one before, and frames may be a chain of siblings:
// one animation or frame put in front of a chain is still one difference, and whether a link is
// written as the chain's head or as a next link is how the chain is written, not a difference.
std::vector<std::uint8_t> chains(const std::vector<std::string>& names) {
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "knight");
  for (std::size_t i = 0; i < names.size(); ++i) {
    w.open(i == 0 ? FrameChild : FrameSibling).chunkStr(FrameName, names[i]);
  }
  for (std::size_t i = 0; i < names.size(); ++i) w.end().close();
  w.end().close();
  w.open(AnimationSetRoot).chunkStr(AnimationSetName, "walk");
  for (std::size_t i = 0; i < names.size(); ++i) {
    w.open(i == 0 ? AnimationSetData : NextAnimation).chunkStr(AnimBoneName, names[i]);
    w.chunkI32(PositionKeyCount, 1).open(PositionData).u32(0);
    w.f32(0).f32(0).f32(static_cast<float>(names[i].size())).zeros(12).close();
  }
  for (std::size_t i = 0; i < names.size(); ++i) w.close();
  w.end().close();
  return w.bytes();
}

TEST_F(KxmDiff, ChainsPairByNameWhereverTheyAreLinked) {
  const std::string set = "AnimationSets > AnimationSet ROOT: \"walk\" > ";
  const struct {
    std::vector<std::string> a, b;
    std::string out;
  } cases[] = {
      {{"Arm", "Leg", "Head"}, {"Arm", "Leg", "Head"}, "the files hold the same\n"},
      {{"Arm", "Leg", "Head"},
       {"Tail", "Arm", "Leg", "Head"},
       kKnight + "Frame CHILD: \"Tail\": only in the second file\n" + set +
           "AnimationSet DATA: \"Tail\": only in the second file\n2 differences\n"},
      {{"Arm", "Leg", "Head"},
       {"Arm", "Head"},
       kKnight + "Frame CHILD: \"Arm\" > Frame SIBLING: \"Leg\": only in the first file\n" + set +
           "AnimationSet DATA: \"Arm\" > Next ANIMATION: \"Leg\": only in the first file\n"
           "2 differences\n"},
  };
  for (const auto& c : cases) {
    const DiffRun r = diff(save("a.kxm", chains(c.a)) + save("b.kxm", chains(c.b)));
    EXPECT_EQ(r.out, c.out) << c.a.size() << " against " << c.b.size();
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(KxmDiff, AValueIsOneLineWithBothValuesAndAPathThatFindsIt) {
  using Write = std::function<void(KxmWriter&, bool second)>;
  // The knight with a helmet that `write` changes in the second file.
  auto helmet = [](const Write& write, bool second) {
    KxmWriter w;
    w.open(FrameRoot).chunkStr(FrameName, "knight");
    frame(w, FrameChild, "Helmet", [&](KxmWriter& mesh) { write(mesh, second); });
    w.end().close();
    return w.bytes();
  };
  const std::string mesh = kKnight + "Frame CHILD: \"Helmet\" > Frame MESH \"Helmet\" > ";
  const struct {
    Write write;
    std::string out;  // its start
  } cases[] = {
      {[](KxmWriter& w, bool b) { w.chunkI32(MeshGhostMode, b ? 4242 : -1); },
       mesh + "Mesh Ghost Mode: -1 -> 4242\n1 difference\n"},
      {[](KxmWriter& w, bool b) { w.chunkU8(MeshCull, b ? 3 : 2); },
       mesh + "Mesh Cull: 2 -> 3\n1 difference\n"},
      {[](KxmWriter& w, bool b) { w.chunkF32(MeshZBiasSlope, b ? 0.25f : 0.5f); },
       mesh + "Mesh Z Bias Slope: 0.5 -> 0.25\n1 difference\n"},
      {[](KxmWriter& w, bool b) { w.chunkI32(MeshPrimitiveType, b ? 5 : 4); },
       mesh + "Mesh Primitive Type: 4 -> 5\n1 difference\n"},
      {[](KxmWriter& w, bool b) {
         w.chunkI32(MeshTextureCount, 1).open(MeshTextures);
         w.chunkStr(TextureName, b ? "iron.png" : "wood.png").end().end().close();
       },
       mesh + "Mesh TEXTURES > Texture Name: \"wood.png\" -> \"iron.png\"\n1 difference\n"},
      // The second of a frame's three meshes.
      {[](KxmWriter& w, bool b) {
         w.end().close().open(FrameMesh).chunkI32(MeshGhostMode, b ? 7 : 1).end().close();
         w.open(FrameMesh);
       },
       kKnight + "Frame CHILD: \"Helmet\" > Frame MESH \"Helmet\" 2 of 3 > Mesh Ghost Mode: "
                 "1 -> 7\n1 difference\n"},
      // Vertices of another format: their format and size chunks say how, and they are not
      // read at the other file's stride.
      {[](KxmWriter& w, bool b) {
         w.chunkU32(MeshFvfFlags, b ? 0x12 : 0x2).chunkI32(MeshFvfSize, b ? 24 : 12);
         w.chunkI32(MeshVertexCount, 1).open(MeshVertexData).floats({1, 2, 3});
         if (b) w.floats({0, 1, 0});
         w.close();
       },
       mesh + "Mesh FVF Flags: 0x00000002 -> 0x00000012\n" + mesh + "Mesh FVF Size: 12 -> 24\n" +
           mesh + "Mesh Vertex Data: vertices of another format; not compared one by one\n" +
           "3 differences\n"},
      // Custom data and unknown chunks have no values: byte by byte.
      {[](KxmWriter& w, bool b) { w.open(999).u8(1).u8(b ? 3 : 2).close(); },
       mesh + "UNKNOWN: byte 1 0x02 -> 0x03 at "},
  };
  for (const auto& c : cases) {
    const DiffRun r =
        diff(save("a.kxm", helmet(c.write, false)) + save("b.kxm", helmet(c.write, true)));
    EXPECT_EQ(r.out.substr(0, c.out.size()), c.out);
    EXPECT_EQ(r.status, 1);
  }
}

TEST_F(KxmDiff, FrameAndHeaderValuesAreNumbers) {
  auto file = [](std::int32_t reserved, float y, float length) {
    KxmWriter w = KxmWriter::bare().header(layout::kFileId, layout::kFileVersion, reserved);
    w.open(FrameRoot).chunkStr(FrameName, "knight").chunkFloats(FrameOffset, {1, y, 3});
    w.end().close();
    w.open(AnimationSetRoot).chunkStr(AnimationSetName, "walk");
    w.chunkI32(AnimationSetLength, static_cast<std::int32_t>(length)).end().close();
    return w.bytes();
  };
  const std::string a = save("a.kxm", file(0, 2, 100));
  const struct {
    std::vector<std::uint8_t> b;
    std::string options, out;
  } cases[] = {
      {file(7, 2, 100), "", "FileHeader > reserved1: 0 -> 7\n1 difference\n"},
      {file(0, 2.5f, 100), "", kKnight + "Frame Offset: (1, 2, 3) -> (1, 2.5, 3)\n1 difference\n"},
      {file(0, 2.0001f, 100), "--epsilon 0.001", "the files hold the same\n"},
      {file(0, 2, 120), "",
       "AnimationSets > AnimationSet ROOT: \"walk\" > AnimationSet Length: 100 -> 120\n"
       "1 difference\n"},
      // Without values in the tree, values are still compared.
      {file(0, 2, 120), "--no-values --no-names",
       "AnimationSets > AnimationSet ROOT > AnimationSet Length: 100 -> 120\n1 difference\n"},
  };
  for (const auto& c : cases) {
    const DiffRun r = diff(c.options + a + save("b.kxm", c.b));
    EXPECT_EQ(r.out, c.out) << c.options;
  }
}

TEST_F(KxmDiff, AFileThatFailsIsComparedAsFarAsItLoaded) {
  const std::vector<std::uint8_t> whole = knight({"Helmet", "Arm", "Leg"});
  // Cut in the middle of the Arm's vertices.
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "knight");
  frame(w, FrameChild, "Helmet");
  w.open(FrameChild).chunkStr(FrameName, "Arm").open(FrameMesh);
  w.positions({0, 0, 0, 1, 0, 0, 0, 1, 0});
  const std::vector<std::uint8_t> cut(whole.begin(),
                                      whole.begin() + static_cast<std::ptrdiff_t>(w.size() - 6));
  const std::string a = save("whole.kxm", whole), b = save("cut.kxm", cut);

  const DiffRun r = diff(a + b);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err, "");
  // Up to the cut the files are the same; what the cut left out is said once, by the failure.
  const std::string arm = kKnight + "Frame CHILD: \"Arm\" > Frame MESH \"Arm\" > ";
  const std::string failed =
      "the second file fails to load at 0x0000013D: vertex-outside-file in Frame ROOT \"knight\" "
      "> Frame CHILD \"Arm\" > Frame MESH > Mesh Vertex Data: ";
  const std::string expected = arm + "Mesh Vertex Data: 3 vertices -> 2 vertices\n" + failed;
  EXPECT_EQ(r.out.substr(0, expected.size()), expected);
  EXPECT_EQ(r.out.substr(r.out.size() - 15), "\n2 differences\n");

  const DiffRun swapped = diff(b + a);
  const std::string reversed =
      arm + "Mesh Vertex Data: 2 vertices -> 3 vertices\nthe first file fails to load at ";
  EXPECT_EQ(swapped.out.substr(0, reversed.size()), reversed);
  // Two copies of one broken file hold the same.
  const DiffRun both = diff(b + b);
  EXPECT_EQ(both.out, "the files hold the same\n");
  EXPECT_EQ(both.status, 0);
  // A file that cannot be read at all is trouble, not a difference.
  const DiffRun missing = diff(a + " \"" + hostPath((dir / "nowhere.kxm").string()) + "\"");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("nowhere.kxm: error: "), std::string::npos) << missing.err;
}

}  // namespace

}  // namespace kxm::test
