// Writes the files the browser tests open, with our own KXM writer, into the folder given:
//   hostile-name.kxm  a frame named as markup, which the page must show as those characters
//   cut.kxm           a mesh whose index data is cut short: fails part-way, with a path
//   findings.kxm      a file that loads with something for kxm check to say at every level
//   chain.kxm         chunks that run past their parents, nested, until the chunk limit
//   deep.kxm          an animation chain 3,000 levels deep, walked on the core's explicit stacks
//   late-name.kxm     a frame named after more rows than a block of the core's rows holds, with
//                     more label bytes than a block of its label stream
//   small-chunks.kxm  1,000,000 small chunks in one mesh (the benchmark's file)
//   textured.kxm      a curved quad with its own normals and a texture named as Windows saw it,
//                     "Textures\\BRICK.tga", whose image is textures/Brick.png or, to be
//                     converted, textures/Brick.bmp (other capitals, another extension)
//   wide-values.kxm   vertices whose numbers take every width: the largest float, one just
//                     below 1e21 and negative, and small ones
//   bones.kxm         a mesh whose two bones influence vertices of every width of index, with
//                     weights as wide as floats go
//   knight*.kxm       versions of one model to compare (knightVersion below)
//   game/             a folder of models as a game ships them, for the folder list: names in
//                     other capitals, nested folders, files that load, warn and fail, and
//                     files that are no model (gameFolder below)
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>

#include "bench/bench_files.h"
#include "tests/support/image_writers.h"
#include "tests/support/kxm_writer.h"
#include "tests/support/png_writer.h"

using kxm::test::KxmWriter;

namespace {
using namespace kxm::chunk;  // the codes our files are written with, by name

KxmWriter hostileName() {
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "<img src=x onerror=alert(1)>");
  w.open(FrameChild).chunkStr(FrameName, "\"quoted\" & \\back\\ \x01\xe9").end().close();
  w.end().close();
  return w;
}

KxmWriter cut() {
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "Scene").open(FrameMesh);
  w.chunkU32(MeshFvfFlags, 0x002).chunkI32(MeshFvfSize, 12).chunkI32(MeshVertexCount, 2);
  w.open(MeshVertexData).floats({0, 0, 0, 1, 1, 1}).close();
  w.chunkI32(MeshIndexCount, 3);
  // Index data says 6 bytes and the file ends after 4 of them.
  w.head(MeshIndexData, 6).u16(0).u16(1);
  w.closeAll();
  return w;
}

KxmWriter findings() {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "Root");
  w.head(200, 0);                                    // unknown-chunk
  w.chunkI32(TextureStage, 1);                       // misplaced-chunk
  w.open(FrameOffset).floats({1, 2, 3, 4}).close();  // value-size-mismatch
  w.chunkFloats(FrameScale, {nan, 1, 1});            // non-finite-float
  w.open(FrameMesh);
  w.chunkU32(MeshFvfFlags, 0x002).chunkI32(MeshFvfSize, 12).chunkI32(MeshVertexCount, 2);
  w.open(MeshVertexData).floats({0, 0, 0, 1, 1, 1}).close();
  w.chunkI32(MeshIndexCount, 3)
      .open(MeshIndexData)
      .u16(0)
      .u16(1)
      .u16(5)
      .close();  // index-out-of-range
  w.end().close();
  w.end().close();
  w.open(CustomData).raw("custom").close();
  return w;
}

// The frame's name and its mesh's vertices come after 120,000 render states: the rows they
// belong to were made blocks before, and the labels run past a block of the label stream
// under every option setting.
KxmWriter lateName() {
  KxmWriter w;
  w.open(FrameRoot).open(FrameMesh);
  w.chunkU32(MeshFvfFlags, 0x002).chunkI32(MeshFvfSize, 12).chunkI32(MeshVertexCount, 2);
  for (int i = 0; i < 120000; ++i) w.chunkU8(MeshCull, static_cast<std::uint8_t>(i % 3));
  w.open(MeshVertexData).floats({0, 0, 0, 1, 2, 3}).close();
  w.end().close();
  w.chunkStr(FrameName, "Named late");
  w.open(FrameChild).chunkStr(FrameName, "Child").end().close();
  w.end().close();
  return w;
}

// Four vertices of position, normal and texture set (flags 0x112), the normals leaning out as a
// curved surface's do: drawn faceted, the quad would be flat.
KxmWriter textured() {
  KxmWriter w;
  w.open(1).chunkStr(101, "Curved").open(103);
  w.chunkU32(111, 0x112).chunkI32(112, 32).chunkI32(113, 4).open(115);
  w.floats({-1, -1, 0, -0.6f, -0.6f, 0.53f, 0, 1});
  w.floats({1, -1, 0, 0.6f, -0.6f, 0.53f, 1, 1});
  w.floats({1, 1, 0, 0.6f, 0.6f, 0.53f, 1, 0});
  w.floats({-1, 1, 0, -0.6f, 0.6f, 0.53f, 0, 0}).close();
  w.chunkI32(114, 6).open(116).u16(0).u16(1).u16(2).u16(0).u16(2).u16(3).close();
  w.chunkI32(117, 4);
  w.chunkI32(127, 1).open(128).chunkStr(141, "Textures\\BRICK.tga").end().end().close();
  w.end().close();
  w.end().close();
  return w;
}

// The same two by two bricks as a BMP and as a PNG.
std::vector<std::uint8_t> brickBmp() {
  kxm::test::BmpLayout layout;
  layout.width = 2;
  layout.height = 2;
  return kxm::test::bmpImage(layout, {0xFFB04020, 0xFF803010, 0xFF803010, 0xFFB04020});
}

std::vector<std::uint8_t> brickPng() {
  return kxm::test::pngImage(
      2, 2, {0xB0, 0x40, 0x20, 0x80, 0x30, 0x10, 0x80, 0x30, 0x10, 0xB0, 0x40, 0x20});
}

bool madeFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) std::fprintf(stderr, "%s: %s\n", path.c_str(), error.message().c_str());
  return !error;
}

bool save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::perror(path.c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

KxmWriter wideValues() {
  const float largest = std::numeric_limits<float>::max();
  KxmWriter w;
  w.open(1).chunkStr(101, "Wide").open(103);
  w.chunkU32(111, 0x002).chunkI32(112, 12).chunkI32(113, 3);
  w.open(115).floats({largest, -9.0e20f, 0.5f, -0.25f, 1.0f, 2.0f, 0, 0, -largest}).close();
  w.end().close();
  w.end().close();
  return w;
}

// A triangle with two bones; the second's vertex indices and weights take every width.
KxmWriter bones() {
  const float largest = std::numeric_limits<float>::max();
  KxmWriter w;
  w.open(1).chunkStr(101, "Skinned").open(103);
  w.positions({0, 0, 0, 1, 0, 0, 0, 1, 0}).indices({0, 1, 2});
  w.chunkI32(MeshBoneCount, 2).open(MeshBonesData);
  w.chunkStr(BonesName, "Hand").chunkI32(BonesNumInfluences, 2);
  w.open(BonesVertices).i32(0).i32(1).close().open(BonesWeights).floats({1, 0.25f}).close();
  w.end();
  w.chunkStr(BonesName, "Wide").chunkI32(BonesNumInfluences, 4);
  w.open(BonesVertices).i32(2147483647).i32(-2147483647 - 1).i32(7).i32(0).close();
  w.open(BonesWeights).floats({0.5f, -largest, largest, -0.000001f}).close();
  w.end().end().close();
  w.end().close();
  w.end().close();
  return w;
}

// One model in the versions an exporter's author compares: the first as written; with a frame
// inserted before the others (one difference); with a render state changed and a vertex moved
// besides; and the first cut short in its mesh's index data.
enum class Version { First, Inserted, Changed, Cut };

KxmWriter knightVersion(Version v) {
  KxmWriter w;
  w.open(FrameRoot).chunkStr(FrameName, "knight");
  if (v == Version::Inserted || v == Version::Changed) {
    w.open(FrameChild).chunkStr(FrameName, "Sword").end().close();
  }
  w.open(FrameChild).chunkStr(FrameName, "Arm").open(FrameMesh);
  w.positions({0, 0, 0, 1, v == Version::Changed ? 0.5f : 0.0f, 0, 0, 1, 0});
  if (v == Version::Cut) {
    // Index data says 6 bytes and the file ends after 4 of them.
    w.chunkI32(MeshIndexCount, 3).head(MeshIndexData, 6).u16(0).u16(1).closeAll();
    return w;
  }
  w.indices({0, 1, 2}).chunkI32(MeshGhostMode, v == Version::Changed ? 2 : -1);
  w.end().close().end().close();
  w.open(FrameChild).chunkStr(FrameName, "Leg").end().close();
  w.end().close();
  w.open(AnimationSetRoot).chunkStr(AnimationSetName, "Walk");
  w.open(AnimationSetData).chunkStr(AnimBoneName, "Leg").end().close();
  w.end().close();
  return w;
}

// A quad whose texture, "brick.png", is not beside it: only a texture folder has it.
KxmWriter crate() {
  KxmWriter w;
  w.open(1).chunkStr(101, "Crate").open(103);
  w.chunkU32(111, 0x102).chunkI32(112, 20).chunkI32(113, 4).open(115);
  w.floats({-1, -1, 0, 0, 1, 1, -1, 0, 1, 1, 1, 1, 0, 1, 0, -1, 1, 0, 0, 0}).close();
  w.chunkI32(114, 6).open(116).u16(0).u16(1).u16(2).u16(0).u16(2).u16(3).close();
  w.chunkI32(117, 4);
  w.chunkI32(127, 1).open(128).chunkStr(141, "brick.png").end().end().close();
  w.end().close();
  w.end().close();
  return w;
}

// A folder whose paths sort otherwise by folder than by path (" " < "-" < "/" byte by byte),
// with a name in UTF-8 that sorts after every ASCII name, a model whose texture is only in the
// texture folder, and names that are not models: a ".kxm" with nothing before the dot,
// ".kxm.bak", a text file, an image.
bool gameFolder(const std::string& game) {
  const std::vector<std::uint8_t> empty;
  KxmWriter badVersion = KxmWriter::bare();
  badVersion.header("MAGICKXM", 2);
  return madeFolder(game + "a") && madeFolder(game + "Z/deep") && madeFolder(game + "textures") &&
         madeFolder(game + "models") && save(game + "models/crate.kxm", crate().bytes()) &&
         save(game + "Lamp.KXM", textured().bytes()) &&
         save(game + "a b.kxm", findings().bytes()) && save(game + "a-b.kxm", cut().bytes()) &&
         save(game + "a/b.kxm", hostileName().bytes()) && save(game + "Z/deep/x.Kxm", empty) &&
         save(game + "bad-version.kxm", badVersion.bytes()) &&
         save(game + "\xc3\xa9t\xc3\xa9.kxm", hostileName().bytes()) &&
         save(game + ".kxm", hostileName().bytes()) &&
         save(game + "a.kxm.bak", hostileName().bytes()) &&
         save(game + "readme.txt", std::vector<std::uint8_t>{'h', 'i', '\n'}) &&
         save(game + "textures/Brick.png", brickPng());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-web-cases FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  const bool ok =
      save(folder + "hostile-name.kxm", hostileName().bytes()) &&
      save(folder + "cut.kxm", cut().bytes()) &&
      save(folder + "findings.kxm", findings().bytes()) &&
      save(folder + "chain.kxm", kxm::test::overflowingChain(NextAnimation, 40).bytes()) &&
      save(folder + "late-name.kxm", lateName().bytes()) &&
      save(folder + "deep.kxm", kxm::bench::animationChainFile(3000)) &&
      save(folder + "small-chunks.kxm", kxm::bench::smallChunksFile(1000000)) &&
      save(folder + "textured.kxm", textured().bytes()) && madeFolder(folder + "textures") &&
      save(folder + "textures/Brick.bmp", brickBmp()) &&
      save(folder + "wide-values.kxm", wideValues().bytes()) &&
      save(folder + "bones.kxm", bones().bytes()) &&
      save(folder + "knight.kxm", knightVersion(Version::First).bytes()) &&
      save(folder + "knight-inserted.kxm", knightVersion(Version::Inserted).bytes()) &&
      save(folder + "knight-changed.kxm", knightVersion(Version::Changed).bytes()) &&
      save(folder + "knight-cut.kxm", knightVersion(Version::Cut).bytes()) &&
      save(folder + "textures/Brick.png", brickPng()) && madeFolder(folder + "game") &&
      gameFolder(folder + "game/");
  return ok ? 0 : 1;
}
