#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string_view>

#include "export/gltf_export.h"
#include "export/gltf_file.h"
#include "export/space.h"
#include "tests/support/export_models.h"
#include "tests/support/kxm_writer.h"
#include "tests/support/walk.h"

namespace kxm::gltf {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

using test::KxmWriter;
using test::Walk;

// Row-vector matrices as the file stores them, applied to a point: p * M.
std::array<double, 3> applyRows(const float m[16], const std::array<double, 3>& p) {
  std::array<double, 3> r{};
  for (std::size_t c = 0; c < 3; ++c)
    r[c] = p[0] * m[c] + p[1] * m[4 + c] + p[2] * m[8 + c] + m[12 + c];
  return r;
}

// Column-vector matrices as glTF stores them, applied to a point: M p.
std::array<double, 3> applyColumns(const Matrix4& m, const std::array<double, 3>& p) {
  std::array<double, 3> r{};
  for (std::size_t row = 0; row < 3; ++row) {
    r[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
  }
  return r;
}

std::array<double, 3> mirrored(std::array<double, 3> p) {
  return {p[0], p[1], -p[2]};
}

// A quaternion's rotation as a column-vector matrix (glTF's meaning of x, y, z, w).
Matrix4 rotationMatrix(const Quat& q) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  const double m[16] = {1 - 2 * (y * y + z * z),
                        2 * (x * y + z * w),
                        2 * (x * z - y * w),
                        0,
                        2 * (x * y - z * w),
                        1 - 2 * (x * x + z * z),
                        2 * (y * z + x * w),
                        0,
                        2 * (x * z + y * w),
                        2 * (y * z - x * w),
                        1 - 2 * (x * x + y * y),
                        0,
                        0,
                        0,
                        0,
                        1};
  Matrix4 r{};
  for (std::size_t i = 0; i < 16; ++i) r[i] = static_cast<float>(m[i]);
  return r;
}

// The model looks the same, not mirrored: a point moved by a frame's transform in the file's
// space, then mirrored, lands where glTF's transform takes the mirrored point.
TEST(Space, TransformsCommuteWithTheMirror) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(-2, 2);
  for (int trial = 0; trial < 50; ++trial) {
    const float offset[3] = {value(random), value(random), value(random)};
    const float rotation[3] = {value(random), value(random), value(random)};
    const float scale[3] = {value(random), value(random), value(random)};
    const Matrix4 gltf = matrixFromParts(offset, rotation, scale);
    // The same transform built in the file's space, row vectors: scale, turn x, y, z, move.
    const std::array<double, 3> p = {value(random), value(random), value(random)};
    std::array<double, 3> moved = {p[0] * scale[0], p[1] * scale[1], p[2] * scale[2]};
    for (std::size_t axis = 0; axis < 3; ++axis) {
      const double c = std::cos(rotation[axis]), s = std::sin(rotation[axis]);
      const std::size_t a = (axis + 1) % 3, b = (axis + 2) % 3;
      const double pa = moved[a], pb = moved[b];
      moved[a] = pa * c - pb * s;  // row vector times Direct3D's rotation
      moved[b] = pa * s + pb * c;
    }
    for (std::size_t i = 0; i < 3; ++i) moved[i] += offset[i];
    const auto want = mirrored(moved);
    const auto got = applyColumns(gltf, mirrored(p));
    for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 1e-4) << trial;

    // And a stored matrix converts the same way.
    float stored[16];
    for (int i = 0; i < 16; ++i) stored[i] = value(random);
    stored[3] = stored[7] = stored[11] = 0;
    stored[15] = 1;
    const auto viaFile = mirrored(applyRows(stored, p));
    const auto viaGltf = applyColumns(matrixToGltf(stored), mirrored(p));
    for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(viaGltf[i], viaFile[i], 1e-4) << trial;
  }
}

TEST(Space, RotationKeysTurnAsTheirMatrices) {
  // Direct3D's matrix of a quaternion is the transpose of the column-vector one: the same turn.
  std::mt19937 random(11);
  std::uniform_real_distribution<float> value(-1, 1);
  for (int trial = 0; trial < 50; ++trial) {
    const Quat q = normalised({value(random), value(random), value(random), value(random)});
    const Matrix4 columns = rotationMatrix(q);
    const float stored[16] = {
        columns[0], columns[1], columns[2],  0, columns[4], columns[5], columns[6], 0,
        columns[8], columns[9], columns[10], 0, 0,          0,          0,          1};
    const float file[4] = {q[0], q[1], q[2], q[3]};
    const Matrix4 want = matrixToGltf(stored);
    const Matrix4 got = rotationMatrix(rotationToGltf(file));
    for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], 1e-5) << trial << " " << i;
  }
}

TEST(Space, DecomposeGivesTheMatrixBackOrSaysItCannot) {
  struct Case {
    const char* what;
    Matrix4 m;
    bool exact;
    Vec3 scale;
  };
  const Case cases[] = {
      {"identity", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, true, {1, 1, 1}},
      {"turn, scale and move", {0, 2, 0, 0, -2, 0, 0, 0, 0, 0, 3, 0, 5, 6, 7, 1}, true, {2, 2, 3}},
      {"mirror", {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, true, {-1, 1, 1}},
      {"shear", {1, 0, 0, 0, 0.5f, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, false, {1, 1.118034f, 1}},
      {"projection", {1, 0, 0, 0.5f, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, false, {1, 1, 1}},
      {"flattened and turned", {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, true, {1, 1, 0}},
  };
  for (const Case& c : cases) {
    bool exact = !c.exact;
    const Trs trs = decompose(c.m, exact);
    EXPECT_EQ(exact, c.exact) << c.what;
    for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(trs.scale[i], c.scale[i], 1e-5) << c.what;
    EXPECT_NEAR(std::hypot(std::hypot(trs.rotation[0], trs.rotation[1]),
                           std::hypot(trs.rotation[2], trs.rotation[3])),
                1, 1e-6)
        << c.what;
    EXPECT_EQ(trs.translation, (Vec3{c.m[12], c.m[13], c.m[14]})) << c.what;
  }
}

// The values of an accessor of a built document: each buffer view is one piece of the buffer.
template <class T>
std::vector<T> values(const Document& doc, int accessor) {
  const auto& a = doc.json["accessors"][static_cast<std::size_t>(accessor)];
  const auto& piece = doc.binary[a["bufferView"].get<std::size_t>()];
  static const std::map<std::string, std::size_t> components = {
      {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
  std::vector<T> out(a["count"].get<std::size_t>() * components.at(a["type"].get<std::string>()));
  std::memcpy(out.data(), piece.data(), out.size() * sizeof(T));
  return out;
}

std::vector<std::uint32_t> indicesOf(const Document& doc, std::size_t mesh, std::size_t prim = 0) {
  const int accessor = doc.json["meshes"][mesh]["primitives"][prim]["indices"];
  if (doc.json["accessors"][static_cast<std::size_t>(accessor)]["componentType"] == 5125) {
    return values<std::uint32_t>(doc, accessor);
  }
  const auto narrow = values<std::uint16_t>(doc, accessor);
  return {narrow.begin(), narrow.end()};
}

Document build(const KxmWriter& w, Warnings& warnings, ExportOptions options = {}) {
  Walk walk(w);
  EXPECT_TRUE(walk.outcome.loaded);
  return buildDocument(walk.model, options, warnings);
}

TEST(Export, PrimitivesAsGltfDrawsThem) {
  struct Case {
    const char* what;
    std::int32_t type;
    std::uint32_t vertices;
    std::initializer_list<std::uint16_t> indices;
    int mode;
    std::vector<std::uint32_t> want;
    std::uint64_t warnings;
  };
  const Case cases[] = {
      {"list, turned round", 4, 4, {0, 1, 2, 2, 1, 3}, 4, {0, 2, 1, 2, 3, 1}, 0},
      {"strip, every other one stored the other way", 5, 5, {}, 4, {0, 2, 1, 2, 3, 1, 2, 4, 3}, 0},
      {"fan", 6, 4, {3, 0, 1, 2}, 4, {3, 1, 0, 3, 2, 1}, 0},
      {"points", 1, 3, {2, 0}, 0, {2, 0}, 0},
      {"lines, a remainder left out", 2, 3, {0, 1, 2}, 1, {0, 1}, 1},
      {"line strip", 3, 3, {}, 3, {0, 1, 2}, 0},
      {"a repeated vertex and one past the end",
       4,
       3,
       {0, 0, 1, 0, 1, 5, 0, 1, 2},
       4,
       {0, 2, 1},
       2},
      {"an unknown type: no mesh, and so an empty scene", 7, 3, {}, -1, {}, 2},
  };
  for (const Case& c : cases) {
    Warnings warnings;
    const Document doc = build(test::meshOfType(c.type, c.vertices, c.indices), warnings);
    EXPECT_EQ(warnings.count(), c.warnings) << c.what;
    if (c.mode < 0) {
      EXPECT_FALSE(doc.json.contains("meshes")) << c.what;
      continue;
    }
    const auto& prim = doc.json["meshes"][0]["primitives"][0];
    EXPECT_EQ(prim.value("mode", 4), c.mode) << c.what;
    EXPECT_EQ(indicesOf(doc, 0), c.want) << c.what;
  }
}

// Material ranges may overlap; a few bytes of ranges must not ask for gigabytes of indices.
TEST(Export, OverlappingRangesAreHeldToABudget) {
  constexpr int kIndices = 3000, kRanges = 40;
  const KxmWriter w = test::overlappingRanges(kIndices, kRanges);
  Warnings warnings;
  const Document doc = build(w, warnings);
  // 8 x (3,000 + 3) + 65,536 = 89,560 indices: 29 whole ranges of 3,000.
  EXPECT_EQ(doc.json["meshes"][0]["primitives"].size(), 29u);
  ASSERT_EQ(warnings.count(), 1u);
  EXPECT_NE(warnings.kept()[0].message.find("overlap"), std::string::npos);
}

TEST(Export, FramesBecomeNodesAndTheMatrixWinsOverParts) {
  const KxmWriter w = test::matrixAndParts();
  Warnings warnings;
  const Document doc = build(w, warnings);
  const auto& nodes = doc.json["nodes"];
  EXPECT_EQ(nodes[0]["name"], "Caf\xC3\xA9");  // byte 0xE9 is U+00E9
  EXPECT_EQ(nodes[0]["translation"], nlohmann::ordered_json::parse("[1, 2, -3]"));
  EXPECT_EQ(nodes[0]["children"], nlohmann::ordered_json::parse("[1]"));
  EXPECT_EQ(nodes[1]["translation"], nlohmann::ordered_json::parse("[0, 0, -4]"));
  EXPECT_EQ(nodes[1]["scale"], nlohmann::ordered_json::parse("[2, 2, 2]"));
  EXPECT_EQ(doc.json["scenes"][0]["nodes"], nlohmann::ordered_json::parse("[0]"));
  ASSERT_EQ(warnings.count(), 1u);  // no mesh: an empty scene
  EXPECT_EQ(warnings.kept()[0].code, IssueCode::SceneEmpty);
}

// The largest float is a legal value, but a column of two of them is longer than any float:
// such a transform, as a frame's matrix or a matrix key, is left out with a warning, never
// written as a number that is not one.
TEST(Export, AScalePastTheFloatRangeIsLeftOutNotWrittenAsNull) {
  const KxmWriter w = test::scalePastFloatRange();
  Warnings warnings;
  const Document doc = build(w, warnings);
  EXPECT_FALSE(nonFiniteNumber(doc.json).has_value()) << *nonFiniteNumber(doc.json);
  const auto& node = doc.json["nodes"][0];
  EXPECT_FALSE(node.contains("scale") || node.contains("translation")) << node.dump();
  EXPECT_EQ(doc.json["accessors"][0]["count"], 1);  // the key that could be written
  ASSERT_EQ(warnings.count(), 3u);                  // and no mesh: an empty scene
  EXPECT_EQ(warnings.kept()[0].code, IssueCode::TransformDropped);
  EXPECT_NE(warnings.kept()[0].message.find("past the float range"), std::string::npos);
  EXPECT_EQ(warnings.kept()[1].code, IssueCode::KeysDropped);
  EXPECT_NE(warnings.kept()[1].message.find("1 matrix key(s) with a scale past"),
            std::string::npos);
}

TEST(Export, BonesBecomeASkinAtTheRoot) {
  // Vertex 0 has five influences: the smallest goes, the rest sum to 1. Vertex 2 has none.
  const KxmWriter w = test::bonesOfTwoFrames();
  Warnings warnings;
  const Document doc = build(w, warnings);
  const auto& skin = doc.json["skins"][0];
  EXPECT_EQ(skin["joints"], nlohmann::ordered_json::parse("[1, 0]"));  // Hand, Body
  const auto ibm = values<float>(doc, skin["inverseBindMatrices"]);
  EXPECT_EQ(ibm[14], -5);  // the bone's matrix, mirrored
  const auto& skinned = doc.json["nodes"][2];
  EXPECT_EQ(skinned["skin"], 0);
  EXPECT_FALSE(skinned.contains("translation") || skinned.contains("rotation"));
  EXPECT_EQ(doc.json["scenes"][0]["nodes"], nlohmann::ordered_json::parse("[0, 2]"));
  const auto& attributes = doc.json["meshes"][0]["primitives"][0]["attributes"];
  const auto joints = values<std::uint16_t>(doc, attributes["JOINTS_0"]);
  const auto weights = values<float>(doc, attributes["WEIGHTS_0"]);
  // Vertex 0: Hand 1 + 1 + 0.5 merged, Body 1; 0.25 of Body merged too. Sums to 1.
  float sum = 0;
  for (std::size_t i = 0; i < 4; ++i) sum += weights[i];
  EXPECT_FLOAT_EQ(sum, 1);
  EXPECT_FLOAT_EQ(weights[0], 2.5f / 3.75f);
  // Vertex 1: Hand alone. Vertex 2: no bone, so its own frame (Body, joint 1), whole.
  EXPECT_EQ(joints[4], 0);
  EXPECT_FLOAT_EQ(weights[4], 1);
  EXPECT_EQ(joints[8], 1);
  EXPECT_FLOAT_EQ(weights[8], 1);
}

TEST(Export, AnimationTimesInSecondsRepairedWhenTheyGoBack) {
  const KxmWriter w = test::keysGoingBack();
  Warnings warnings;
  ExportOptions options;
  options.ticksPerSecond = 100;
  const Document doc = build(w, warnings, options);
  const auto& animation = doc.json["animations"][0];
  ASSERT_EQ(animation["channels"].size(), 3u);  // translation; rotation and scale from the matrix
  const auto& translation = animation["samplers"][0];
  EXPECT_EQ(values<float>(doc, translation["input"]), (std::vector<float>{1, 2, 3}));
  // Of the two keys at 100 ticks, the later in the file stays.
  EXPECT_EQ(values<float>(doc, translation["output"]),
            (std::vector<float>{100, 0, 0, 200, 0, 0, 300, 0, 0}));
  EXPECT_EQ(animation["channels"][1]["target"]["path"], "rotation");
  const auto turn = values<float>(doc, animation["samplers"][1]["output"]);
  EXPECT_NEAR(std::fabs(turn[2]), std::sqrt(0.5f), 1e-6);  // a quarter turn about z
  ASSERT_EQ(warnings.count(), 2u);                         // and no mesh: an empty scene
  EXPECT_EQ(warnings.kept()[0].code, IssueCode::KeysSorted);
  EXPECT_NE(warnings.kept()[0].message.find("do not strictly increase"), std::string::npos);
}

// A viewer follows a warning to its chunk: each says the record of the model it is about.
TEST(Export, EachWarningSaysTheRecordItIsAbout) {
  using Kind = Warnings::Subject::Kind;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "Body");
  w.open(FrameMesh).positions({0, 0, 0, 1, 0, 0, 0, 1, 0}).indices({0, 1, 2});
  w.chunkI32(MeshPrimitiveType, 4).end().close();
  w.open(FrameMesh).end().close();  // draws nothing
  w.open(FrameChild).chunkStr(FrameName, "Arm");
  w.chunkFloats(FrameMatrix, {nan, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).end().close();
  w.end().close();
  w.open(AnimationSetRoot).chunkStr(AnimationSetName, "Wave");
  w.open(AnimationSetData).chunkStr(AnimBoneName, "Body");
  w.open(NextAnimation).chunkStr(AnimBoneName, "Tail").end().close();
  w.end().close().end().close();
  Warnings warnings;
  build(w, warnings);
  const struct {
    IssueCode code;
    Kind kind;
    std::uint64_t first, second;
  } expected[] = {
      {IssueCode::TransformDropped, Kind::Frame, 1, 0},
      {IssueCode::MeshDropped, Kind::Mesh, 0, 1},
      {IssueCode::AnimationDropped, Kind::Animation, 0, 1},     // names no frame
      {IssueCode::AnimationDropped, Kind::AnimationSet, 0, 0},  // nothing to animate
  };
  ASSERT_EQ(warnings.kept().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const Warnings::Warning& got = warnings.kept()[i];
    EXPECT_EQ(got.code, expected[i].code) << got.message;
    EXPECT_EQ(got.subject.kind, expected[i].kind) << got.message;
    EXPECT_EQ(got.subject.first, expected[i].first) << got.message;
    EXPECT_EQ(got.subject.second, expected[i].second) << got.message;
  }
}

class ExportFiles : public ::testing::Test {
 protected:
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("kxm-export-test-" +
       std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override {
    std::error_code error;
    std::filesystem::remove_all(dir, error);
  }
  static std::string read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

// Images by name, as a resolver over dropped files or a folder would give them.
class NamedImages final : public ImageResolver {
 public:
  std::map<std::string, ResolvedImage> byName;
  std::optional<ResolvedImage> resolve(std::string_view name, const std::string& what,
                                       Warnings& warnings) override {
    const auto found = byName.find(std::string(name));
    if (found != byName.end()) return found->second;
    warnings.add(IssueCode::TextureMissing, what + ": none");
    return std::nullopt;
  }
};

TEST_F(ExportFiles, AGlbHoldsItsImagesAndNothingElseIsWritten) {
  NamedImages images;
  images.byName["skin.png"] = {"skin.png", "image/png", {0x89, 'P', 'N', 'G', 1, 2, 3}};
  ExportOptions options;
  options.images = &images;
  Warnings warnings;
  Document doc = build(test::texturedMesh({"skin.png"}), warnings, options);
  EXPECT_EQ(warnings.count(), 0u);
  std::string error;
  std::filesystem::create_directories(dir / "out");
  ASSERT_TRUE(writeDocument(doc, dir / "out" / "model.glb", true, error)) << error;
  const std::string glb = read(dir / "out" / "model.glb");
  auto u32 = [&](std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, glb.data() + at, 4);
    return v;
  };
  ASSERT_GE(glb.size(), 28u);
  EXPECT_EQ(glb.substr(0, 4), "glTF");
  EXPECT_EQ(u32(4), 2u);
  EXPECT_EQ(u32(8), glb.size());
  const std::uint32_t jsonLength = u32(12);
  EXPECT_EQ(jsonLength % 4, 0u);
  EXPECT_EQ(glb.substr(16, 4), "JSON");
  const auto json = nlohmann::json::parse(glb.substr(20, jsonLength));
  EXPECT_EQ(u32(20 + jsonLength), json["buffers"][0]["byteLength"].get<std::uint32_t>());
  EXPECT_EQ(glb.substr(24 + jsonLength, 4), std::string("BIN\0", 4));
  // The image in a view of its own, by its type, named nowhere outside.
  const auto& image = json["images"][0];
  EXPECT_FALSE(image.contains("uri"));
  EXPECT_EQ(image["mimeType"], "image/png");
  const auto& view = json["bufferViews"][image["bufferView"].get<std::size_t>()];
  EXPECT_FALSE(view.contains("target") || view.contains("byteStride"));
  EXPECT_EQ(glb.substr(28 + jsonLength + view["byteOffset"].get<std::size_t>(),
                       view["byteLength"].get<std::size_t>()),
            "\x89PNG\x01\x02\x03");
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
    written.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(written, std::vector<std::string>{"model.glb"});
}

// A .gltf's images go into a folder of its own; two images of one name, or a file of that name
// with other bytes, take a suffix; nothing that exists is overwritten, and the same export
// again writes the same names.
TEST_F(ExportFiles, GltfImagesTakeNamesThatCollideWithNothing) {
  const auto folder = dir / "my model_textures";
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(KxmWriter::bare().raw("older").save((folder / "skin.png").string()));
  NamedImages images;
  images.byName["a/skin.png"] = {"skin.png", "image/png", {1, 1}};
  images.byName["b/skin.png"] = {"skin.png", "image/png", {2, 2}};
  images.byName["c/skin.png"] = {"skin.png", "image/png", {1, 1}};  // the same as a's
  ExportOptions options;
  options.images = &images;
  for (int round = 0; round < 2; ++round) {
    Warnings warnings;
    Document doc =
        build(test::texturedMesh({"a/skin.png", "b/skin.png", "c/skin.png"}), warnings, options);
    std::string error;
    ASSERT_TRUE(writeDocument(doc, dir / "my model.gltf", false, error)) << error;
    const auto json = nlohmann::json::parse(read(dir / "my model.gltf"));
    EXPECT_EQ(json["buffers"][0]["uri"], "my%20model.bin");
    EXPECT_EQ(std::filesystem::file_size(dir / "my model.bin"),
              json["buffers"][0]["byteLength"].get<std::uintmax_t>());
    ASSERT_EQ(json["images"].size(), 2u) << "a and c are one image";
    EXPECT_EQ(json["images"][0]["uri"], "my%20model_textures/skin-2.png");
    EXPECT_EQ(json["images"][1]["uri"], "my%20model_textures/skin-3.png");
    EXPECT_EQ(read(folder / "skin.png"), "older");
    EXPECT_EQ(read(folder / "skin-2.png"), "\x01\x01");
    EXPECT_EQ(read(folder / "skin-3.png"), "\x02\x02");
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 3);
}

TEST_F(ExportFiles, AFailedExportLeavesNoNewFileAndTheOldOnesAsTheyWere) {
  Warnings warnings;
  NamedImages images;
  images.byName["skin.png"] = {"skin.png", "image/png", {1}};
  ExportOptions options;
  options.images = &images;
  Document doc = build(test::texturedMesh({"skin.png"}), warnings, options);
  std::string error;
  // A folder where the .gltf should go: its .bin and image were written first, and go again.
  std::filesystem::create_directories(dir / "taken.gltf");
  ASSERT_TRUE(KxmWriter::bare().raw("earlier").save((dir / "taken.bin").string()));
  EXPECT_FALSE(writeDocument(doc, dir / "taken.gltf", false, error));
  EXPECT_NE(error.find("taken.gltf"), std::string::npos) << error;
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.gltf"));
  EXPECT_EQ(read(dir / "taken.bin"), "earlier");
  EXPECT_FALSE(std::filesystem::exists(dir / "taken_textures"));
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
  }

  // A number that is not finite is refused before anything is written.
  Document broken = build(test::meshOfType(4, 3, {}), warnings);
  broken.json["nodes"][0]["scale"] = {1.0, std::nan(""), 1.0};
  EXPECT_FALSE(writeDocument(broken, dir / "broken.glb", true, error));
  EXPECT_EQ(error,
            "the document would hold a number that is not finite at /nodes/0/scale/1; "
            "nothing written");
  EXPECT_FALSE(std::filesystem::exists(dir / "broken.glb"));

  EXPECT_FALSE(writeDocument(doc, dir / "no such folder" / "x.glb", true, error));
  EXPECT_NE(error.find("cannot write"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "no such folder"));
}

}  // namespace
}  // namespace kxm::gltf
