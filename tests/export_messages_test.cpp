// Every finding the export can make, made by a small file of its own and read word for word, and
// none that says one thing twice.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "export/gltf_export.h"
#include "format/vertex_format.h"
#include "reader/load.h"
#include "tests/support/image_writers.h"
#include "tests/support/kxm_writer.h"
#include "textures/folder_images.h"

namespace kxm::test {

using namespace kxm::chunk;  // the codes our files are written with, by name

namespace {

using Build = std::function<void(KxmWriter&)>;

// A root frame "Body" holding one mesh that `body` writes (without its END).
KxmWriter bodyWith(const Build& body) {
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "Body").open(FrameMesh);
  body(w);
  w.end().close().end().close();
  return w;
}

void triangle(KxmWriter& w) {
  w.positions({0, 0, 0, 1, 0, 0, 0, 1, 0}).chunkI32(MeshPrimitiveType, 4);
}

void textured(KxmWriter& w, const char* name) {
  w.chunkU32(MeshFvfFlags, kFvfPosition | 0x100).chunkI32(MeshFvfSize, 20);
  w.chunkI32(MeshVertexCount, 3).open(MeshVertexData);
  w.floats({0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}).close().chunkI32(MeshPrimitiveType, 4);
  w.chunkI32(MeshTextureCount, 1)
      .open(MeshTextures)
      .chunkStr(TextureName, name)
      .end()
      .end()
      .close();
}

// An animation set "Move" with one animation of the bone `bone`, its track written by `track`.
void animation(KxmWriter& w, const char* bone, const Build& track) {
  w.open(AnimationSetRoot).chunkStr(AnimationSetName, "Move").open(AnimationSetData);
  w.chunkStr(AnimBoneName, bone);
  track(w);
  w.close().end().close();
}

void positionKeys(KxmWriter& w, std::initializer_list<std::uint32_t> times) {
  w.chunkU32(PositionKeyCount, static_cast<std::uint32_t>(times.size())).open(PositionData);
  for (std::uint32_t t : times) w.u32(t).floats({1, 2, 3}).zeros(12);
  w.close();
}

struct Case {
  IssueCode code;
  Build file;
  std::string words;  // the first message of that code
};

std::vector<Case> cases() {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float big = std::numeric_limits<float>::max();
  return {
      {IssueCode::TextureMissing,
       [](KxmWriter& w) { w = bodyWith([](KxmWriter& m) { textured(m, "gone.png"); }); },
       "texture \"gone.png\": no such image beside the model or in a texture folder; not "
       "referenced"},
      {IssueCode::TextureUnreadable,
       [](KxmWriter& w) { w = bodyWith([](KxmWriter& m) { textured(m, "bad.png"); }); },
       "texture \"bad.png\": bad.png cannot be read: not a PNG, JPEG, BMP, TGA or DDS image; not "
       "referenced"},
      {IssueCode::TextureConverted,
       [](KxmWriter& w) { w = bodyWith([](KxmWriter& m) { textured(m, "wall.bmp"); }); },
       "texture \"wall.bmp\": wall.bmp (BMP 24-bit, 4 x 2, converted to PNG)"},
      {IssueCode::TextureSubstituted,
       [](KxmWriter& w) { w = bodyWith([](KxmWriter& m) { textured(m, "roof.tga"); }); },
       "texture \"roof.tga\": not found; roof.bmp stands in"},
      {IssueCode::TextureUnused,
       [](KxmWriter& w) {
         w = bodyWith([](KxmWriter& m) {
           triangle(m);
           m.chunkI32(MeshTextureCount, 1).open(MeshTextures).chunkStr(TextureName, "wall.bmp");
           m.end().end().close();
         });
       },
       "frame \"Body\" mesh 1: has a texture but no texture coordinates; the texture is not "
       "applied"},
      {IssueCode::NormalInvalid,
       [](KxmWriter& w) {
         w = bodyWith([](KxmWriter& m) {
           m.chunkU32(MeshFvfFlags, kFvfPosition | kFvfNormal).chunkI32(MeshFvfSize, 24);
           m.chunkI32(MeshVertexCount, 3).open(MeshVertexData);
           m.floats({0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1}).close();
           m.chunkI32(MeshPrimitiveType, 4);
         });
       },
       "frame \"Body\" mesh 1: 1 normal(s) of length 0 or not finite; written as (0, 1, 0)"},
      {IssueCode::IndicesDropped,
       [](KxmWriter& w) {
         w = bodyWith([](KxmWriter& m) {
           m.positions({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}).indices({0, 1, 2, 0, 2, 9});
           m.chunkI32(MeshPrimitiveType, 4);
         });
       },
       "frame \"Body\" mesh 1: 1 element(s) use an index past the 4 vertices; left out"},
      {IssueCode::MeshDropped,
       [](KxmWriter& w) {
         w = bodyWith([](KxmWriter& m) {
           m.positions({0, 0, 0, 1, 0, 0, 0, 1, 0}).chunkI32(MeshPrimitiveType, 9);
         });
       },
       "frame \"Body\" mesh 1: primitive type 9 is not one of 1 to 6; the mesh is left out"},
      {IssueCode::NumberRepaired,
       [nan](KxmWriter& w) {
         w = bodyWith([nan](KxmWriter& m) {
           m.positions({nan, 0, 0, 1, 0, 0, 0, 1, 0}).chunkI32(MeshPrimitiveType, 4);
         });
       },
       "frame \"Body\" mesh 1: 1 coordinate(s) not finite; written as 0"},
      {IssueCode::TransformApproximated,
       [](KxmWriter& w) {
         w.open(FrameRoot).chunkStr(FrameName, "Sheared");
         w.chunkFloats(FrameMatrix, {1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
         w.open(FrameMesh);
         triangle(w);
         w.end().close().end().close();
       },
       "frame \"Sheared\": its matrix is not a translation, rotation and scale; written as the "
       "nearest"},
      {IssueCode::TransformDropped,
       [big](KxmWriter& w) {
         w.open(FrameRoot).chunkStr(FrameName, "Huge");
         w.chunkFloats(FrameMatrix, {big, big, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
         w.open(FrameMesh);
         triangle(w);
         w.end().close().end().close();
       },
       "frame \"Huge\": its scale lies past the float range; the transform is left out"},
      {IssueCode::BoneDropped,
       [](KxmWriter& w) {
         w = bodyWith([](KxmWriter& m) {
           triangle(m);
           m.chunkI32(MeshBoneCount, 1).open(MeshBonesData).chunkStr(BonesName, "Tail");
           m.chunkI32(BonesNumInfluences, 1).open(BonesVertices).i32(0).close();
           m.open(BonesWeights).floats({1}).close().end().end().close();
         });
       },
       "frame \"Body\" mesh 1: bone \"Tail\" names no frame; its influences are left out"},
      {IssueCode::KeysSorted,
       [](KxmWriter& w) {
         w = bodyWith(triangle);
         animation(w, "Body", [](KxmWriter& a) { positionKeys(a, {20, 10}); });
       },
       "animation set \"Move\" bone \"Body\" translation: key times do not strictly increase; "
       "sorted, and of keys at one time the last kept"},
      {IssueCode::KeysDropped,
       [nan](KxmWriter& w) {
         w = bodyWith(triangle);
         animation(w, "Body", [nan](KxmWriter& a) {
           a.chunkU32(PositionKeyCount, 2).open(PositionData);
           a.u32(0).floats({1, 2, 3}).zeros(12).u32(10).floats({nan, 2, 3}).zeros(12).close();
         });
       },
       "animation set \"Move\" bone \"Body\": 1 key(s) with numbers that are not finite; left out"},
      {IssueCode::AnimationDropped,
       [](KxmWriter& w) {
         w = bodyWith(triangle);
         animation(w, "Tail", [](KxmWriter& a) { positionKeys(a, {0, 10}); });
       },
       "animation set \"Move\" bone \"Tail\": names no frame; left out"},
      {IssueCode::SceneEmpty,
       [](KxmWriter& w) { w.open(FrameRoot).chunkStr(FrameName, "Empty").end().close(); },
       "the model has nothing to draw; the scene is empty"},
  };
}

// Whether some run of three words comes twice in one message: what a message built from parts
// says when two parts say the same.
std::optional<std::string> saidTwice(const std::string& message) {
  std::vector<std::string> words;
  std::istringstream in(message);
  for (std::string word; in >> word;) words.push_back(word);
  std::set<std::string> seen;
  for (std::size_t i = 0; i + 3 <= words.size(); ++i) {
    const std::string run = words[i] + " " + words[i + 1] + " " + words[i + 2];
    if (!seen.insert(run).second) return run;
  }
  return std::nullopt;
}

class ExportMessages : public ::testing::Test {
 protected:
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "kxm-export-messages-test";
  void SetUp() override {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::vector<std::uint8_t> bmp = bmpImage({4, 2, 24}, std::vector<std::uint32_t>(8, 0));
    write("wall.bmp", bmp);
    write("roof.bmp", bmp);
    write("bad.png", {0x89, 'P', 'N', 'G', 0, 0});
  }
  void TearDown() override {
    std::error_code error;
    std::filesystem::remove_all(dir, error);
  }
  void write(const char* name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  gltf::Warnings exportOf(const KxmWriter& w) {
    Model model;
    model.keepNormals = true;  // as the export loads
    EXPECT_TRUE(load(w.bytes(), model).loaded);
    FolderImages images(TextureFolders{dir, {}, nullptr});
    gltf::ExportOptions options;
    options.images = &images;
    gltf::Warnings warnings;
    (void)gltf::buildDocument(model, options, warnings);
    return warnings;
  }
};

TEST_F(ExportMessages, EveryCodeOfTheExportHasACaseAndItsExactWords) {
  std::map<IssueCode, std::string> said;
  for (const Case& c : cases()) {
    KxmWriter w;
    c.file(w);
    const gltf::Warnings warnings = exportOf(w);
    bool found = false;
    for (const auto& warning : warnings.kept()) {
      if (warning.code != c.code || found) continue;
      found = true;
      EXPECT_EQ(warning.message, c.words) << issueName(c.code);
      said.emplace(c.code, warning.message);
    }
    EXPECT_TRUE(found) << issueName(c.code) << " not said";
  }
  for (const IssueKind& kind : issueKinds()) {
    if (kind.code < IssueCode::TextureMissing || kind.code > IssueCode::SceneEmpty) continue;
    EXPECT_TRUE(said.count(kind.code)) << kind.name << " has no case";
  }
  for (const auto& [code, message] : said) {
    EXPECT_EQ(saidTwice(message), std::nullopt) << message;
  }
}

}  // namespace

}  // namespace kxm::test
