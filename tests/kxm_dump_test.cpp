// kxm-dump and kxm as scripts run them: what they print, what they write to stderr, how they
// exit; kxm's JSON read back by a real JSON parser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/paths.h"
#include "tests/support/image_writers.h"
#include "tests/support/kxm_writer.h"
#include "tests/support/program_run.h"
#include "tests/support/textured_quad.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

namespace fs = std::filesystem;

using DumpRun = ProgramRun;

class KxmDump : public ::testing::Test {
 protected:
  fs::path dir =
      fs::temp_directory_path() /
      ("kxm-dump-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(dir, error);
  }

  // Runs the program with its working folder `in` when one is given.
  DumpRun run(const std::string& arguments, const char* program = KXM_DUMP,
              const fs::path& in = {}) {
    return runProgram(program, arguments, dir, in);
  }

  std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }
};

constexpr const char* kFourRoots = "FileHeader\nFrames\nAnimationSets\nCustomData\n";

TEST_F(KxmDump, PrintsTheSampleUnderEachOptionSetting) {
  const struct {
    const char* flags;
    const char* golden;
  } cases[] = {{"", "sample.dump"},
               {"--no-names", "sample.no-names.dump"},
               {"--no-values", "sample.no-values.dump"},
               {"--no-values --no-names", "sample.no-names.no-values.dump"}};
  for (const auto& c : cases) {
    const DumpRun r = run(std::string(c.flags) + " \"" + hostPath(KXM_SAMPLE) + "\"");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, readFile(fs::path(KXM_SOURCE_DIR) / "tests/golden" / c.golden)) << c.golden;
  }
}

TEST_F(KxmDump, MissingFileOrFolderPrintsTheFourRoots) {
  const std::pair<fs::path, const char*> cases[] = {
      {dir / "Untitled.kxm", "file-not-found: No such file or directory"},
      {dir, "not-a-file: Is a directory"}};
  for (const auto& [path, why] : cases) {
    const DumpRun r = run(quoted(path));
    EXPECT_EQ(r.status, 1) << path;
    EXPECT_EQ(r.out, kFourRoots);
    EXPECT_EQ(r.err, "File doesn't exist: \"" + path.string() + "\"\nkxm-dump: " + path.string() +
                         ": " + why + "\n");
  }
}

// Files of every outcome: loaded, names with every kind of byte, failed part-way, missing.
std::vector<fs::path> outcomeFiles(const fs::path& dir) {
  KxmWriter names;
  names.open(FrameRoot).chunkStr(FrameName, std::string("a\\b\t\"c\x80\xff\0z", 10)).end().close();
  KxmWriter cut;
  cut.head(AnimationSetRoot, 100)
      .chunkStr(AnimationSetName, "cut")
      .head(AnimationSetLength, 4)
      .u16(1);
  EXPECT_TRUE(names.save((dir / "names.kxm").string()));
  EXPECT_TRUE(cut.save((dir / "cut.kxm").string()));
  return {fs::path(KXM_SAMPLE), dir / "names.kxm", dir / "cut.kxm", dir / "missing.kxm"};
}

TEST_F(KxmDump, FailedLoadPrintsWhatWasReadBeforeTheFailure) {
  const fs::path file = outcomeFiles(dir)[2];
  const DumpRun r = run(quoted(file));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "FileHeader\n  str_length: 8\n  file_id: \"MAGICKXM\"\n  file_version: 1\n"
            "  reserved1: 0\n  reserved2: 0\nFrames\nAnimationSets\n  AnimationSet ROOT\n"
            "    AnimationSet Name: \"cut\"\n    AnimationSet Length\nCustomData\n");
  EXPECT_EQ(r.err, "Error reading: \"" + file.string() + "\"\nkxm-dump: " + file.string() +
                       ": truncated at 0x00000037 in AnimationSet ROOT \"cut\" > AnimationSet "
                       "Length (chunk at 0x0000002F): AnimationSet Length needs 4 bytes, 2 are "
                       "left\n");
}

TEST_F(KxmDump, NamesWithControlAndHighBytesAreEscaped) {
  const DumpRun r = run(quoted(outcomeFiles(dir)[1]));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\n    Frame Name: \"a\\\\b\\x09\"c\\x80\\xff\"\n"), std::string::npos)
      << r.out;
}

TEST_F(KxmDump, PathIsTakenWhole) {
  // Far beyond the 255 characters of the viewer's path box, and past Windows' MAX_PATH (260),
  // which kxm-dump.exe reaches through the wide API. The folders are made and removed in the
  // long form, as remove_all cannot go below MAX_PATH there.
  std::vector<fs::path> made;
  fs::path deep = dir;
  for (int i = 0; i < 6; ++i) {
    deep /= std::string(60, static_cast<char>('a' + i));
    made.push_back(deep);
    fs::create_directory(files::longPathForm(deep));
  }
  const fs::path file = deep / "model.kxm";
  ASSERT_GT(file.native().size(), 300u);
  const std::vector<std::uint8_t> bytes = KxmWriter().bytes();
  std::ofstream(files::longPathForm(file), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  const DumpRun r = run(quoted(file));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.rfind("FileHeader\n", 0), 0u) << r.out;
  std::error_code error;
  fs::remove(files::longPathForm(file), error);
  for (auto it = made.rbegin(); it != made.rend(); ++it)
    fs::remove(files::longPathForm(*it), error);
}

TEST_F(KxmDump, UsageErrorsExitWithTwo) {
  for (const char* arguments : {"", "--bogus x.kxm", "a.kxm b.kxm", "--no-names"}) {
    const DumpRun r = run(arguments);
    EXPECT_EQ(r.status, 2) << arguments;
    EXPECT_EQ(r.out, "") << arguments;
    EXPECT_NE(r.err.find("usage: kxm-dump [--no-names] [--no-values] FILE"), std::string::npos);
  }
  const DumpRun help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: kxm-dump", 0), 0u);
  const DumpRun version = run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kxm-dump ", 0), 0u);
}

TEST_F(KxmDump, OptionLikeFileNamesAfterDoubleDash) {
  const fs::path file = dir / "--no-names";
  ASSERT_TRUE(KxmWriter().save(file.string()));
  const DumpRun r = run("-- " + quoted(file));
  EXPECT_EQ(r.status, 0);
}

#if !defined(_WIN32)
TEST_F(KxmDump, OutputThatCannotBeWrittenIsAnError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP();
  const std::string command =
      "\"" KXM_DUMP "\" \"" KXM_SAMPLE "\" > /dev/full 2> \"" + (dir / "err").string() + "\"";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  EXPECT_NE(readFile(dir / "err").find("cannot write the tree"), std::string::npos);
}
#endif

using Kxm = KxmDump;

TEST_F(Kxm, DumpIsKxmDumpByteForByteAndFailsAsCheckDoes) {
  for (const fs::path& file : outcomeFiles(dir)) {
    const std::string path = " \"" + hostPath(file.string()) + "\"";
    for (const char* flags : {"", "--no-names", "--no-values", "--no-names --no-values"}) {
      const DumpRun reference = run(flags + path);
      const DumpRun dumped = run(std::string("dump ") + flags + path, KXM);
      EXPECT_EQ(dumped.status, reference.status) << file;
      EXPECT_EQ(dumped.out, reference.out) << file << " " << flags;
      // kxm explains a failed load with the line kxm check gives it.
      std::string errors;
      std::istringstream lines(run("check" + path, KXM).out);
      for (std::string line; std::getline(lines, line);) {
        if (line.find(": error: ") != std::string::npos) errors += line + "\n";
      }
      EXPECT_EQ(dumped.err, errors) << file;
    }
  }
}

TEST_F(Kxm, OffsetsStandBeforeEveryLine) {
  const DumpRun plain = run("dump \"" + hostPath(KXM_SAMPLE) + "\"", KXM);
  const DumpRun offsets = run("dump --offsets \"" + hostPath(KXM_SAMPLE) + "\"", KXM);
  ASSERT_EQ(offsets.status, 0);
  std::istringstream lines(offsets.out);
  std::string line, stripped;
  while (std::getline(lines, line)) stripped += line.substr(18) + "\n";
  EXPECT_EQ(stripped, plain.out);
  EXPECT_EQ(
      offsets.out.rfind("-------- -------- FileHeader\n00000000 --------   str_length: 8\n", 0),
      0u);
  EXPECT_NE(offsets.out.find("\n00000018 00000E1A   Frame ROOT: \"Lamp\"\n"), std::string::npos);
}

#if !defined(_WIN32)  // Python reads the JSON back; under Wine there is none
TEST_F(Kxm, JsonIsTheTextDumpNodeForNode) {
  const char* outcomes[] = {"same loaded -", "same loaded -", "same failed truncated",
                            "same missing file-not-found"};
  const std::vector<fs::path> files = outcomeFiles(dir);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string file = " \"" + files[i].string() + "\"";
    ASSERT_TRUE(
        KxmWriter::bare().raw(run("dump --json" + file, KXM).out).save((dir / "j").string()));
    ASSERT_TRUE(KxmWriter::bare().raw(run("dump" + file, KXM).out).save((dir / "t").string()));
    const DumpRun compared = run(
        "tree \"" + (dir / "j").string() + "\" \"" + (dir / "t").string() + "\"", KXM_CHECK_JSON);
    EXPECT_EQ(compared.out, std::string(outcomes[i]) + "\n") << files[i] << compared.err;
  }
}

TEST_F(Kxm, CheckReportsAsJson) {
  outcomeFiles(dir);
  KxmWriter warned;
  warned.open(FrameRoot)
      .head(200, 0)
      .head(AnimationSetName, 0)
      .head(AnimationSetLength, 0)
      .end()
      .close();
  ASSERT_TRUE(warned.save((dir / "warned.kxm").string()));
  const DumpRun r =
      run("check --json --max-issues 2 \"" + std::string(KXM_SAMPLE) + "\" \"" +
              (dir / "warned.kxm").string() + "\" \"" + (dir / "cut.kxm").string() + "\"",
          KXM);
  EXPECT_EQ(r.status, 1);
  ASSERT_TRUE(KxmWriter::bare().raw(r.out).save((dir / "report.json").string()));
  EXPECT_EQ(run("report \"" + (dir / "report.json").string() + "\"", KXM_CHECK_JSON).out,
            "sample.kxm loaded 0 0 False  animationSets=1,chunks=142,frames=6,indices=96,meshes=4,"
            "vertices=46\n"
            "warned.kxm loaded 0 3 True unknown-chunk@32,misplaced-chunk@40 animationSets=0,"
            "chunks=5,frames=1,indices=0,meshes=0,vertices=0\n"
            "cut.kxm failed 1 1 False chunk-past-parent@24,truncated@55 animationSets=1,chunks=3,"
            "frames=0,indices=0,meshes=0,vertices=0\n");
}
#endif

TEST_F(Kxm, CheckSaysEachFindingAsCompilersDo) {
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "Scene").open(FrameMesh).chunkI32(MeshIndexCount, 2);
  w.open(MeshIndexData).u16(0).u16(3).close().end().close().end().close();
  ASSERT_TRUE(w.save((dir / "scene.kxm").string()));
  const std::string file = (dir / "scene.kxm").string();
  const DumpRun r = run("check \"" + hostPath(file) + "\"", KXM);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, hostPath(file) +
                       ":0x00000045: warning: 2 indices refer to vertices past the mesh's 0 "
                       "(first: 0) [index-out-of-range] in Frame ROOT \"Scene\" > Frame MESH > "
                       "Mesh Index Data\n" +
                       hostPath(file) + ": 0 errors, 1 warning\n");
  EXPECT_EQ(run("check --strict \"" + hostPath(file) + "\"", KXM).status, 1);
  const DumpRun missing = run("check --max-issues 0 \"" + hostPath(file) + "\" nowhere.kxm", KXM);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, hostPath(file) + ": 0 errors, 1 warning (1 not listed)\n" +
                             "nowhere.kxm: error: No such file or directory [file-not-found]\n"
                             "nowhere.kxm: 1 error, 0 warnings\n"
                             "2 files: 1 loaded, 1 failed to load, 1 with warnings; 1 error, 1 "
                             "warning\n");
}

TEST_F(Kxm, InfoSummarisesTheModel) {
  KxmWriter w;
  w.open(FrameRoot)
      .chunkStr(FrameName, "root")
      .open(FrameChild)
      .chunkStr(FrameName, "arm")
      .open(FrameMesh);
  w.positions({0, 0, 0, 2, 0, 0, 0, -1, 5}).indices({0, 1, 2});
  w.chunkI32(MeshPrimitiveType, 4).chunkI32(MeshTextureCount, 2).open(MeshTextures);
  w.chunkStr(TextureName, "skin.png")
      .chunkI32(TexturePrimitiveStart, 0)
      .chunkI32(TexturePrimitiveCount, 1)
      .end()
      .chunkStr(TextureName, "gone.png");
  w.end().end().close().end().close().end().close().end().close();
  w.open(AnimationSetRoot)
      .chunkStr(AnimationSetName, "wave")
      .chunkU32(AnimationSetLength, 30)
      .open(AnimationSetData)
      .chunkStr(AnimBoneName, "arm");
  w.chunkU32(PositionKeyCount, 2)
      .open(PositionData)
      .u32(10)
      .floats({0, 0, 0})
      .zeros(12)
      .u32(30)
      .floats({1, 0, 0});
  w.zeros(12).close().end().close().end().close();
  ASSERT_TRUE(w.save((dir / "arm.kxm").string()));
  ASSERT_TRUE(KxmWriter::bare().raw("png").save((dir / "skin.png").string()));
  const std::string file = hostPath((dir / "arm.kxm").string());
  const DumpRun r = run("info \"" + file + "\"", KXM);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            file +
                "\nframes (2):\n"
                "  \"root\"\n"
                "    \"arm\"\n"
                "      mesh 1: P, 3 vertices, 3 indices, 1 triangle (triangle list)\n"
                "        bounds: (0, -1, 0) to (2, 0, 5)\n"
                "        material: diffuse 1 1 1 1, emissive 0 0 0, power 128\n"
                "        textures (2):\n"
                "          \"skin.png\": file \"skin.png\", primitives 0 to 1\n"
                "          \"gone.png\": no file: no such image beside the model or in a "
                "texture folder, primitives 0 to 0\n"
                "animation sets (1):\n"
                "  \"wave\" length 30, 1 animation\n"
                "    \"arm\": 2 position, 0 rotation, 0 scale, 0 matrix keys, time 10 to 30\n"
                "totals: 2 frames, 1 mesh, 3 vertices, 3 indices, 1 triangle, 2 textures, "
                "0 multi-materials, 0 bones, 1 animation set, 1 animation, 2 keys\n");
  const DumpRun failed = run("info \"" + hostPath((dir / "nowhere.kxm").string()) + "\"", KXM);
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out, "");
  EXPECT_EQ(failed.err, hostPath((dir / "nowhere.kxm").string()) +
                            ": error: No such file or directory [file-not-found]\n");
}

TEST_F(Kxm, ExportWritesTheWholeFileOrNothing) {
  const std::string sample = "\"" + hostPath(KXM_SAMPLE) + "\"";
  const DumpRun glb = run("export --quiet " + sample + " " + quoted(dir / "sample.glb"), KXM);
  EXPECT_EQ(glb.status, 0) << glb.err;
  EXPECT_EQ(glb.err, "");
  EXPECT_EQ(readFile(dir / "sample.glb").substr(0, 4), "glTF");
  const DumpRun gltf = run("export " + sample + " " + quoted(dir / "sample.gltf"), KXM);
  EXPECT_EQ(gltf.status, 0) << gltf.err;
  EXPECT_NE(readFile(dir / "sample.gltf").find("\"uri\": \"sample.bin\""), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "sample.bin"));

  // A file that fails part-way exports nothing, not even what loaded before the failure.
  KxmWriter cutFile;
  cutFile.open(FrameRoot)
      .chunkStr(FrameName, "cut")
      .open(FrameMesh)
      .chunkI32(MeshIndexCount, 3)
      .head(MeshIndexData, 4)
      .u16(1)
      .u16(2);
  ASSERT_TRUE(cutFile.closeAll().save((dir / "cut.kxm").string()));
  const DumpRun cut = run("export " + quoted(dir / "cut.kxm") + " " + quoted(dir / "cut.glb"), KXM);
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.err.find("cut.kxm:0x0000004B: error: "), std::string::npos) << cut.err;
  EXPECT_NE(cut.err.find(" [count-exceeds-file] in Frame ROOT \"cut\""), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "cut.glb"));

  const DumpRun wrong = run("export " + sample + " " + quoted(dir / "sample.obj"), KXM);
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("must end in .glb or .gltf"), std::string::npos);
  // Key times must stay finite numbers of seconds.
  for (const char* ticks : {"0", "nan", "inf", "1e-30"}) {
    const DumpRun bad = run(std::string("export --ticks-per-second ") + ticks + " " + sample + " " +
                                quoted(dir / "x.glb"),
                            KXM);
    EXPECT_EQ(bad.status, 2) << ticks;
    EXPECT_NE(bad.err.find("--ticks-per-second wants a positive number, not '"), std::string::npos)
        << bad.err;
  }
  for (const auto& entry : fs::directory_iterator(dir)) {
    EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
  }
}

// A texture converted without loss is a note: said as one, not counted as a warning, and left
// out under --min-severity warning; a stand-in stays a warning under it.
TEST_F(Kxm, AConvertedTextureIsANoteAndTheMinimumSeverityLeavesItOut) {
  const std::vector<std::uint8_t> bmp = bmpImage({2, 2, 24}, {0, 0, 0, 0});
  std::ofstream(dir / "wall.bmp", std::ios::binary)
      .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  ASSERT_TRUE(texturedQuad("wall.bmp").save((dir / "exact.kxm").string()));
  ASSERT_TRUE(texturedQuad("wall.tga").save((dir / "other.kxm").string()));
  const std::string note =
      "exact.kxm: note: texture \"wall.bmp\": wall.bmp (BMP 24-bit, 2 x 2, "
      "converted to PNG) [texture-converted]\n";
  const std::string standIn =
      "other.kxm: warning: texture \"wall.tga\": not found; wall.bmp stands in "
      "[texture-substituted]\n";
  const struct {
    const char* options;
    std::string file;
    bool saysNote, saysStandIn;
  } cases[] = {
      {"", "exact.kxm", true, false},
      {"--min-severity note ", "exact.kxm", true, false},
      {"--min-severity warning ", "exact.kxm", false, false},
      {"--min-severity warning ", "other.kxm", false, true},
      {"--min-severity error ", "other.kxm", false, false},
  };
  for (const auto& c : cases) {
    const DumpRun done = run(
        "export " + std::string(c.options) + quoted(dir / c.file) + " " + quoted(dir / "out.glb"),
        KXM);
    EXPECT_EQ(done.status, 0) << done.err;
    // The messages name the inputs by the paths given: compare from their file names on.
    std::string err = done.err;
    for (std::size_t at; (at = err.find((dir / "").string())) != std::string::npos;) {
      err.erase(at, (dir / "").string().size());
    }
    EXPECT_EQ(err.find(note) != std::string::npos, c.saysNote) << c.options << err;
    EXPECT_EQ(err.find(standIn) != std::string::npos, c.saysStandIn) << c.options << err;
    EXPECT_EQ(err.find("converted to PNG) converted"), std::string::npos) << err;
  }
}

TEST_F(Kxm, DiffAlignsTheTreesThenComparesTheContent) {
  auto model = [&](const char* name, std::vector<float> positions, bool primitiveType) {
    KxmWriter w;
    w.open(FrameRoot)
        .chunkStr(FrameName, "root")
        .open(FrameMesh)
        .positions(std::move(positions))
        .indices({0, 1, 2});
    if (primitiveType) w.chunkI32(MeshPrimitiveType, 4);
    w.end().close().end().close();
    EXPECT_TRUE(w.save((dir / name).string()));
    return " \"" + hostPath((dir / name).string()) + "\"";
  };
  const std::string a = model("a.kxm", {0, 0, 0, 2, 0, 0, 0, -1, 5}, false);
  const std::string b = model("b.kxm", {0, 0, 0, 2, 0.25f, 0, 0, -1, 5}, true);
  const std::string mesh = "Frames > Frame ROOT: \"root\" > Frame MESH \"root\" > ";
  const struct {
    std::string arguments;
    int status;
    std::string out;
  } cases[] = {
      {a + a, 0, "the files hold the same\n"},
      // The chunk B adds is one difference: the chunks after it still meet theirs.
      {a + b, 1,
       mesh +
           "Mesh Vertex Data: vertex 1 position (2, 0, 0) -> (2, 0.25, 0) at 0x00000070 -> "
           "0x00000070\n" +
           mesh + "Mesh Primitive Type: 4: only in the second file\n2 differences\n"},
      {"--epsilon 0.5" + a + b, 1,
       mesh + "Mesh Primitive Type: 4: only in the second file\n1 difference\n"},
      {"--max-differences 1 --no-values" + b + a, 1,
       mesh + "Mesh Vertex Data: vertex 1 position (2, 0.25, 0) -> (2, 0, 0) at 0x00000070 -> "
              "0x00000070\n2 differences (1 not listed)\n"},
      {a + " nowhere.kxm", 2, ""},
  };
  for (const auto& c : cases) {
    const DumpRun r = run("diff " + c.arguments, KXM);
    EXPECT_EQ(r.status, c.status) << c.arguments << r.err;
    EXPECT_EQ(r.out, c.out) << c.arguments;
  }
  const DumpRun json = run("diff --json" + a + b, KXM);
  EXPECT_NE(json.out.find(",\"count\":2,\"truncated\":false}\n"), std::string::npos) << json.out;
}

TEST_F(Kxm, UsageErrorsSayWhatIsWantedAndWhereHelpIs) {
  const struct {
    const char* arguments;
    const char* err;  // the start of stderr
  } cases[] = {
      {"", "kxm: A subcommand is required\nRun 'kxm --help'"},
      {"bogus",
       "kxm: 'bogus' is not a subcommand; the subcommands are check, diff, dump, export, "
       "help and info\nRun 'kxm --help'"},
      {"diff a", "kxm: A B: At least 2 required but received 1\nRun 'kxm diff --help'"},
      {"diff --epsilon -1 a b", "kxm: --epsilon wants a number of 0 or more, not '-1'"},
      {"dump", "kxm: INPUT is required\nRun 'kxm dump --help'"},
      {"check --max-issues abc a",
       "kxm: --max-issues wants a whole number of 0 or more, not 'abc'\nRun 'kxm check --help'"},
      {"check --max-issues -1 a", "kxm: --max-issues wants a whole number of 0 or more, not '-1'"},
      {"info -j 0 a", "kxm: --jobs wants a whole number of 1 or more, not '0'"},
      {"dump --bogus a", "kxm: The following argument was not expected: --bogus\nRun 'kxm dump"},
      {"export a", "kxm: export wants FILE and OUT, or --out-dir DIR and the inputs\n"},
      {"export --out-dir o --format obj a", "kxm: --format: obj not in {glb,gltf}"},
      {"help nothing", "kxm: 'nothing' is not a subcommand\nRun 'kxm help --help'"},
  };
  for (const auto& c : cases) {
    const DumpRun r = run(c.arguments, KXM);
    EXPECT_EQ(r.status, 2) << c.arguments;
    EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << c.arguments << "\n" << r.err;
  }
  for (const char* arguments : {"--help", "help", "dump --help", "help check", "--version"}) {
    const DumpRun r = run(arguments, KXM);
    EXPECT_EQ(r.status, 0) << arguments;
    EXPECT_FALSE(r.out.empty()) << arguments;
  }
  EXPECT_EQ(run("help check", KXM).out, run("check --help", KXM).out);
}

// The synopses of the README and of the man page are the usage lines of --help, word for word.
TEST_F(Kxm, ReadmeAndManPageShowTheSynopsesOfHelp) {
  std::vector<std::string> usage;
  for (const char* command :
       {"", "dump ", "check ", "info ", "export ", "diff ", "import ", "repair ", "help "}) {
    std::istringstream lines(run(std::string(command) + "--help", KXM).out);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("Usage: ", 0) == 0 || line.rfind("   or: ", 0) == 0) {
        usage.push_back(line.substr(7));
      }
    }
  }
  ASSERT_EQ(usage.size(), 11u);
  const std::string readme = readFile(fs::path(KXM_SOURCE_DIR) / "README.md");
  // The man page's synopsis, its roff taken away: one line per .br, words joined as man sets them.
  std::string man, synopsis = readFile(fs::path(KXM_SOURCE_DIR) / "docs/kxm.1");
  synopsis = synopsis.substr(synopsis.find(".SH SYNOPSIS\n") + 13);
  synopsis = synopsis.substr(0, synopsis.find(".SH "));
  std::istringstream lines(synopsis);
  for (std::string line; std::getline(lines, line);) {
    if (line == ".br") {
      man += "\n";
      continue;
    }
    const std::size_t space = line.find(' ');
    std::string words = line.substr(space + 1);
    for (const char* roff : {"\\fR", "\\fI", "\\fB", "\\"}) {
      for (std::size_t at = words.find(roff); at != std::string::npos; at = words.find(roff)) {
        words.erase(at, std::strlen(roff));
      }
    }
    // .B and .I keep their spaces; .RB, .BR and .IR join their words.
    if (line.rfind(".B ", 0) != 0 && line.rfind(".I ", 0) != 0) {
      words.erase(std::remove(words.begin(), words.end(), ' '), words.end());
    }
    if (!man.empty() && man.back() != '\n') man += ' ';
    man += words;
  }
  for (const std::string& line : usage) {
    EXPECT_NE(readme.find("\n    " + line + "\n"), std::string::npos) << line;
    EXPECT_NE(("\n" + man + "\n").find("\n" + line + "\n"), std::string::npos) << line << "\nin\n"
                                                                               << man;
  }
}

#if !defined(_WIN32)  // names with accents, links and /dev/full are POSIX's
// A folder as a game leaves it: nested folders, spaces and accents, capitals, other files, a
// broken model, a link back to the top.
class KxmFolders : public Kxm {
 protected:
  void SetUp() override {
    Kxm::SetUp();
    const fs::path models = dir / "game" / "Models";
    fs::create_directories(models / "sub");
    fs::create_directories(dir / "game" / "empty");
    fs::copy_file(KXM_SAMPLE, models / "b.kxm");
    fs::copy_file(KXM_SAMPLE, models / "a b \xc3\xa9.KXM");
    fs::copy_file(KXM_SAMPLE, dir / "game" / "notes.txt");
    KxmWriter cut;
    cut.open(FrameRoot)
        .chunkStr(FrameName, "cut")
        .open(FrameMesh)
        .chunkI32(MeshIndexCount, 3)
        .head(MeshIndexData, 4)
        .u16(1)
        .u16(2);
    ASSERT_TRUE(cut.closeAll().save((models / "sub" / "cut.kxm").string()));
    fs::create_directory_symlink("../..", models / "sub" / "loop");
  }
  // kxm run in the folder, so that paths are as a user types them.
  DumpRun in(const std::string& arguments) { return run(arguments, KXM, dir); }
};

constexpr const char* kCutError =
    "game/Models/sub/cut.kxm:0x00000043: warning: its length field says 4 bytes; 3 indices of 2 "
    "bytes take 6 [data-size-mismatch] in Frame ROOT \"cut\" > Frame MESH > Mesh Index Data\n"
    "game/Models/sub/cut.kxm:0x0000004B: error: index data needs 6 bytes, 4 are left "
    "[count-exceeds-file] in Frame ROOT \"cut\" > Frame MESH > Mesh Index Data\n"
    "game/Models/sub/cut.kxm: 1 error, 1 warning\n";

TEST_F(KxmFolders, AFolderIsWalkedForKxmFilesInSortedOrder) {
  const DumpRun r = in("check game");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "game/Models/a b \xc3\xa9.KXM: 0 errors, 0 warnings\n"
            "game/Models/b.kxm: 0 errors, 0 warnings\n" +
                std::string(kCutError) +
                "3 files: 2 loaded, 1 failed to load, 1 with warnings; 1 error, 1 warning\n");
  // Quiet: the problems and the totals. A named file is taken whatever its name; a named folder
  // without models is a warning.
  const DumpRun quiet = in("check --quiet game/notes.txt game/empty game/Models/sub");
  EXPECT_EQ(quiet.status, 1);
  EXPECT_EQ(quiet.err, "game/empty: warning: no .kxm files in this folder\n");
  EXPECT_EQ(quiet.out, std::string(kCutError) +
                           "2 files: 1 loaded, 1 failed to load, 1 with warnings; 1 error, 1 "
                           "warning\n");
  const DumpRun info = in("info --quiet game");
  EXPECT_EQ(info.out, "3 files: 2 loaded, 1 failed to load\n");
  EXPECT_EQ(info.err.rfind("game/Models/sub/cut.kxm:0x0000004B: error: ", 0), 0u) << info.err;
}

// (The mirrored folders of a whole game are tests/folder_walk.sh's.)
TEST_F(KxmFolders, ExportRefusesNamesThatTwoInputsShare) {
  const DumpRun r = in("export --quiet --out-dir out --format gltf game/notes.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "out/notes.gltf") && fs::exists(dir / "out/notes.bin"));

  // b.kxm named twice, and b.KXM beside it: both go to out2/b.glb.
  fs::copy_file(KXM_SAMPLE, dir / "game" / "b.KXM");
  for (const char* inputs : {"game/Models/b.kxm game/Models", "game/Models/b.kxm game/b.KXM"}) {
    const DumpRun shared = in(std::string("export --out-dir out2 ") + inputs);
    EXPECT_EQ(shared.status, 2) << inputs;
    EXPECT_NE(shared.err.find(" would be written here; nothing written"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "out2"));
  }
}

TEST_F(KxmFolders, JsonSaysWhoWroteItAndNamesTheFileByItsCharacters) {
  fs::copy_file(KXM_SAMPLE, dir / "game" / "caf\xe9.kxm");  // Latin-1, not UTF-8
  const DumpRun r = in("info --json \"game/Models/a b \xc3\xa9.KXM\" \"game/caf\xe9.kxm\" nowhere");
  EXPECT_EQ(r.status, 1);
  const std::string version = in("--version").out;  // "kxm 1.0.0\n"
  // One document a line, in input order.
  std::size_t from = 0;
  for (const std::string& expected :
       {"{\"generator\":\"" + version.substr(0, version.size() - 1) +
            "\",\"file\":\"game/Models/a b \xc3\xa9.KXM\",\"outcome\":\"loaded\"",
        std::string("\"material\":{\"diffuse\":[0.9,0.75,0.55,1],"),
        std::string("\"name\":\"Varnish\",\"indexStart\":0,\"indexCount\":6,\"material\":{"
                    "\"diffuse\":[1,0.9,0.7,1],"),
        std::string("}\n{\"generator\":"),
        std::string("\"file\":\"game/caf\\u00e9.kxm\",\"fileIsBytes\":true,"),
        std::string("}\n{\"generator\":"),
        std::string("\"file\":\"nowhere\",\"outcome\":\"missing\",\"failure\":{\"cause\":"
                    "\"file-not-found\"")}) {
    const std::size_t at = r.out.find(expected, from);
    EXPECT_NE(at, std::string::npos) << expected << "\nin\n" << r.out.substr(from);
    from = at == std::string::npos ? from : at + expected.size();
  }
}

// A --texture-dir that names no folder is a slip of the user's, said before any file is read.
TEST_F(KxmFolders, TextureDirMustNameAFolder) {
  const struct {
    const char* arguments;
    int status;
    const char* err;  // the start of stderr
  } cases[] = {
      {"info --texture-dir nowhere game", 2,
       "kxm: --texture-dir wants a folder that exists, not 'nowhere'\nRun 'kxm info --help'"},
      {"info --texture-dir game/notes.txt game", 2,
       "kxm: --texture-dir wants a folder, not the file 'game/notes.txt'\nRun 'kxm info --help'"},
      {"export --texture-dir game/empty --texture-dir nowhere game/Models/b.kxm out.glb", 2,
       "kxm: --texture-dir wants a folder that exists, not 'nowhere'\nRun 'kxm export --help'"},
      {"export --texture-dir game/empty game/Models/b.kxm out.glb", 0, ""},
  };
  for (const auto& c : cases) {
    const DumpRun r = in(c.arguments);
    EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.err;
    EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << c.arguments << "\n" << r.err;
    if (c.status == 2) {
      EXPECT_EQ(r.out, "") << c.arguments;
    }
  }
  EXPECT_TRUE(fs::exists(dir / "out.glb"));
}

// Help, the version and usage text to a full disk fail, as every other output does.
TEST_F(Kxm, HelpThatCannotBeWrittenIsAnError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP();
  for (const char* arguments : {"--help", "--version", "help", "help export", "diff --help"}) {
    const std::string command = std::string("\"" KXM "\" ") + arguments + " > /dev/full 2> \"" +
                                (dir / "err").string() + "\"";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << arguments;
    EXPECT_EQ(readFile(dir / "err"), "kxm: cannot write the output: No space left on device\n")
        << arguments;
  }
}

#endif

}  // namespace
}  // namespace kxm::test
