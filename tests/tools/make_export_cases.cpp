// Writes the models that kxm export's glTF is checked with: random well-formed models, each
// with what its export must hold (NAME.expect.json); textured ones, one per texture format as old
// games ship them, with the pixels and normals their GLB must hold; and hostile ones that load but
// hold what glTF cannot (NAME.kxm alone). Every file is made by our own KXM writer, every texture
// by our own image writers; a seed makes the same files again.
//
//   make-export-cases FOLDER [COUNT] [SEED]
//
// The expectations are worked out here from the model as written, independently of the export:
// positions with z mirrored, triangles turned the other way. The random meshes are lists and
// line strips, whose glTF mode draws the same indices; strips and fans turned into triangle
// lists are pinned by export_test's primitive table, and by a hostile case here.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/image_writers.h"
#include "tests/support/kxm_writer.h"
#include "tests/support/png_writer.h"
#include "tests/support/textured_quad.h"

using kxm::test::KxmWriter;
using kxm::test::texturedQuad;
using Json = nlohmann::ordered_json;

namespace {
using namespace kxm::chunk;  // the codes our files are written with, by name

struct Bone {
  std::string name;
  std::vector<std::int32_t> vertices;
  std::vector<float> weights;
};

struct Mesh {
  std::int32_t type = 4;  // point list 1, line list 2, line strip 3, triangle list 4
  std::uint32_t fvf = 0x002;
  std::vector<std::array<float, 3>> positions;
  std::vector<std::uint16_t> indices;                         // empty: not indexed
  std::vector<std::pair<std::int32_t, std::int32_t>> ranges;  // multi-material start, count
  std::string texture;
  std::vector<Bone> bones;
};

struct Frame {
  std::string name;
  std::vector<Mesh> meshes;
  std::vector<std::size_t> children;
};

class Cases {
 public:
  Cases(std::string folder, std::uint32_t seed) : folder_(std::move(folder)), random_(seed) {}

  bool randomCase(int n);
  bool textureCases();
  bool hostileCases();

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
  bool chance(double p) { return std::bernoulli_distribution(p)(random_); }
  float coordinate() { return static_cast<float>(pick(-64, 64)) / 8.0f; }

  Mesh randomMesh(const std::string& texture, const std::vector<std::string>& boneNames);
  void writeFrame(KxmWriter& w, const std::vector<Frame>& frames, std::size_t f);
  void writeMesh(KxmWriter& w, const Mesh& mesh);
  // Writes a track's keys, of each kind as many as asked (position, rotation, scale, matrix).
  void writeTrack(KxmWriter& w, const std::string& bone, const std::array<std::size_t, 4>& keys);
  bool save(const std::string& name, const KxmWriter& w) {
    return w.save(folder_ + "/" + name + ".kxm");
  }
  bool savePng(const std::string& name);

  std::string folder_;
  std::mt19937 random_;
};

std::size_t vertexSize(std::uint32_t fvf) {
  return 12u + (fvf & 0x010 ? 12u : 0u) + (fvf & 0x040 ? 4u : 0u) + 8u * ((fvf >> 8) & 0xF);
}

// What glTF's primitive of a range holds: the mode, and the position each index points at.
Json expectedPrimitive(const Mesh& mesh, std::size_t start, std::size_t count) {
  static constexpr int kModes[] = {0, 0, 1, 3, 4};
  Json positions = Json::array();
  for (std::size_t i = 0; i < count; ++i) {
    // The mirror turns every triangle round: its second and third corners swap.
    const std::size_t k = mesh.type != 4 || i % 3 == 0 ? i : i % 3 == 1 ? i + 1 : i - 1;
    const auto& p = mesh.positions[mesh.indices.empty() ? start + k : mesh.indices[start + k]];
    for (float c : {p[0], p[1], -p[2] + 0.0f}) positions.push_back(c);
  }
  return {{"mode", kModes[mesh.type]}, {"indices", count}, {"positions", std::move(positions)}};
}

Mesh Cases::randomMesh(const std::string& texture, const std::vector<std::string>& boneNames) {
  static constexpr std::uint32_t kFormats[] = {0x002, 0x042, 0x102, 0x152, 0x242, 0x212, 0x112};
  Mesh mesh;
  mesh.type = pick(1, 4);
  mesh.fvf = kFormats[pick(0, 6)];
  for (int v = pick(3, 40); v > 0; --v)
    mesh.positions.push_back({coordinate(), coordinate(), coordinate()});
  const std::size_t per = mesh.type == 4 ? 3 : mesh.type == 2 ? 2 : 1;  // indices an element
  const auto elements = static_cast<std::size_t>(pick(1, 12));
  // Each element, and a strip as a whole, names distinct vertices.
  std::vector<std::uint16_t> order(mesh.positions.size());
  std::iota(order.begin(), order.end(), std::uint16_t{0});
  if (mesh.type == 3) {
    std::shuffle(order.begin(), order.end(), random_);
    if (chance(0.7))
      mesh.indices.assign(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(
                                                             std::min(elements + 1, order.size())));
  } else if (chance(0.8)) {
    for (std::size_t e = 0; e < elements; ++e) {
      std::shuffle(order.begin(), order.end(), random_);
      mesh.indices.insert(mesh.indices.end(), order.begin(),
                          order.begin() + static_cast<std::ptrdiff_t>(per));
    }
  } else {  // not indexed: the vertices in order, as many as whole elements take
    mesh.positions.resize(mesh.positions.size() / per * per);
  }
  const std::size_t drawn = mesh.indices.empty() ? mesh.positions.size() : mesh.indices.size();
  if (mesh.type != 3 && drawn >= 2 * per && chance(0.4)) {
    const auto split = static_cast<std::int32_t>(per) * pick(1, static_cast<int>(drawn / per) - 1);
    mesh.ranges = {{0, split}, {split, static_cast<std::int32_t>(drawn) - split}};
  }
  if ((mesh.fvf >> 8) != 0 && !texture.empty() && chance(0.5)) mesh.texture = texture;
  if (mesh.type == 4 && !boneNames.empty() && chance(0.5)) {
    for (const std::string& name : boneNames) {
      Bone bone{name, {}, {}};
      for (std::size_t v = 0; v < mesh.positions.size(); ++v) {
        if (!chance(0.6)) continue;
        bone.vertices.push_back(static_cast<std::int32_t>(v));
        bone.weights.push_back(static_cast<float>(pick(1, 8)) / 8.0f);
      }
      mesh.bones.push_back(std::move(bone));
    }
  }
  return mesh;
}

void Cases::writeMesh(KxmWriter& w, const Mesh& mesh) {
  w.open(FrameMesh)
      .chunkU32(MeshFvfFlags, mesh.fvf)
      .chunkI32(MeshFvfSize, static_cast<std::int32_t>(vertexSize(mesh.fvf)));
  w.chunkI32(MeshVertexCount, static_cast<std::int32_t>(mesh.positions.size()))
      .open(MeshVertexData);
  for (const auto& p : mesh.positions) {
    w.floats({p[0], p[1], p[2]});
    if (mesh.fvf & 0x010) w.floats({0, 0, 1});
    if (mesh.fvf & 0x040) w.u32(0xFF000000u | static_cast<std::uint32_t>(pick(0, 0xFFFFFF)));
    for (std::uint32_t set = 0; set < ((mesh.fvf >> 8) & 0xF); ++set)
      w.floats({static_cast<float>(pick(0, 8)) / 8, static_cast<float>(pick(0, 8)) / 8});
  }
  w.close();
  if (!mesh.indices.empty()) w.indices(mesh.indices);
  w.chunkI32(MeshPrimitiveType, mesh.type);
  w.open(MeshMaterial)
      .floats({0.8f, 0.7f, 0.6f, chance(0.2) ? 0.5f : 1.0f})
      .floats({0.1f, 0.1f, 0.1f, 1});
  w.floats({0.5f, 0.5f, 0.5f, 1}).floats({0, 0, 0, 1}).f32(16).close();
  if (!mesh.texture.empty()) {
    w.chunkI32(MeshTextureCount, 1)
        .open(MeshTextures)
        .chunkStr(TextureName, mesh.texture)
        .chunkI32(TextureStage, 0);
    w.chunkI32(TexturePrimitiveStart, 0).chunkI32(TexturePrimitiveCount, 1).end().end().close();
  }
  if (!mesh.ranges.empty()) {
    w.chunkI32(MultipleMaterialCount, static_cast<std::int32_t>(mesh.ranges.size()))
        .open(MultipleMaterials);
    int k = 0;
    for (const auto& [start, count] : mesh.ranges) {
      w.chunkStr(MultiMaterialName, "Part " + std::to_string(++k));
      w.open(MultiMaterialMaterial)
          .floats({0.2f * static_cast<float>(k), 0.5f, 0.5f, 1})
          .floats({0, 0, 0, 1});
      w.floats({1, 1, 1, 1}).floats({0, 0, 0, 1}).f32(8).close();
      w.chunkI32(MultiMaterialIndexStart, start)
          .chunkI32(MultiMaterialIndexCount, count)
          .chunkI32(MultiMaterialPolygonCount, count / 3)
          .end();
    }
    w.end().close();
  }
  if (!mesh.bones.empty()) {
    w.chunkI32(MeshBoneCount, static_cast<std::int32_t>(mesh.bones.size())).open(MeshBonesData);
    for (const Bone& bone : mesh.bones) {
      w.chunkStr(BonesName, bone.name)
          .chunkI32(BonesNumInfluences, static_cast<std::int32_t>(bone.vertices.size()));
      if (!bone.vertices.empty()) {
        w.open(BonesVertices);
        for (std::int32_t v : bone.vertices) w.i32(v);
        w.close().open(BonesWeights);
        for (float weight : bone.weights) w.f32(weight);
        w.close();
      }
      w.open(BonesTranslationMatrix).floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0});
      w.floats({coordinate(), coordinate(), coordinate(), 1}).close().end();
    }
    w.end().close();
  }
  w.end().close();
}

// A frame's payload and its subtree, children as CHILD chunks; the caller opened its chunk.
void Cases::writeFrame(KxmWriter& w, const std::vector<Frame>& frames, std::size_t f) {
  w.chunkStr(FrameName, frames[f].name);
  if (chance(0.5)) {
    const float a = static_cast<float>(pick(0, 12)) * 0.5f;  // a turn about y, and a move
    const float c = std::cos(a), s = std::sin(a);
    w.chunkFloats(FrameMatrix, {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, coordinate(), coordinate(),
                                coordinate(), 1});
  } else {
    w.chunkFloats(FrameOffset, {coordinate(), coordinate(), coordinate()});
    w.chunkFloats(FrameRotation, {static_cast<float>(pick(-3, 3)) * 0.25f,
                                  static_cast<float>(pick(-3, 3)) * 0.25f, 0});
    w.chunkFloats(FrameScale, {1, 1, static_cast<float>(pick(1, 3))});
  }
  for (const Mesh& mesh : frames[f].meshes) writeMesh(w, mesh);
  for (std::size_t child : frames[f].children) writeFrame(w.open(FrameChild), frames, child);
  w.end().close();
}

bool Cases::savePng(const std::string& name) {
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      rgb.insert(rgb.end(), {static_cast<std::uint8_t>(((x + y) % 2) * 200 + 55), 120, 60});
  return KxmWriter::bare().raw(kxm::test::pngImage(4, 4, rgb)).save(folder_ + "/" + name);
}

bool Cases::randomCase(int n) {
  const std::string name = "random-" + std::to_string(n);
  const std::string texture = name + ".png";
  if (!savePng(texture)) return false;

  // Frames in the order the file holds them, depth first: each hangs from the frame before it
  // or from one of that frame's ancestors.
  std::vector<Frame> frames;
  std::vector<std::size_t> path;
  for (int f = 0, count = pick(1, 7); f < count; ++f) {
    frames.push_back({f == 0 ? "Root " + std::to_string(n) : "Part " + std::to_string(f), {}, {}});
    if (f == 2 && chance(0.5)) frames.back().name += "\xE9";  // a byte above 127 in a name
    if (f > 0) {
      path.resize(static_cast<std::size_t>(pick(1, static_cast<int>(path.size()))));
      frames[path.back()].children.push_back(static_cast<std::size_t>(f));
    }
    path.push_back(static_cast<std::size_t>(f));
  }
  std::vector<std::string> boneNames;
  for (std::size_t f = 1; f < frames.size() && boneNames.size() < 3; ++f)
    boneNames.push_back(frames[f].name);
  for (Frame& frame : frames) {
    if (!chance(0.6)) continue;
    std::vector<std::string> bones;
    for (const std::string& b : boneNames)
      if (b != frame.name) bones.push_back(b);
    for (int m = pick(1, 2); m > 0; --m) frame.meshes.push_back(randomMesh(texture, bones));
  }

  KxmWriter w;
  writeFrame(w.open(FrameRoot), frames, 0);
  Json expect = {{"file", name + ".kxm"},
                 {"meshes", Json::array()},
                 {"skins", Json::array()},
                 {"animations", Json::array()}};
  for (const Frame& frame : frames) {
    for (const Mesh& mesh : frame.meshes) {
      Json attributes = {"POSITION"};
      if (mesh.fvf & 0x010) attributes.push_back("NORMAL");
      if (mesh.fvf & 0x040) attributes.push_back("COLOR_0");
      if ((mesh.fvf >> 8) & 0xF) attributes.push_back("TEXCOORD_0");
      if (((mesh.fvf >> 8) & 0xF) >= 2) attributes.push_back("TEXCOORD_1");
      if (!mesh.bones.empty()) {
        attributes.push_back("JOINTS_0");
        attributes.push_back("WEIGHTS_0");
        // A vertex no bone moves hangs from one more joint: the mesh's own frame.
        std::vector<bool> moved(mesh.positions.size(), false);
        for (const Bone& b : mesh.bones)
          for (std::int32_t v : b.vertices) moved[static_cast<std::size_t>(v)] = true;
        const bool unmoved = std::find(moved.begin(), moved.end(), false) != moved.end();
        expect["skins"].push_back({{"joints", mesh.bones.size() + (unmoved ? 1 : 0)}});
      }
      const std::size_t drawn = mesh.indices.empty() ? mesh.positions.size() : mesh.indices.size();
      auto ranges = mesh.ranges;
      if (ranges.empty()) ranges = {{0, static_cast<std::int32_t>(drawn)}};
      Json primitives = Json::array();
      for (const auto& [start, c] : ranges) {
        primitives.push_back(
            expectedPrimitive(mesh, static_cast<std::size_t>(start), static_cast<std::size_t>(c)));
        primitives.back()["attributes"] = attributes;
        primitives.back()["textured"] = !mesh.texture.empty();
      }
      expect["meshes"].push_back(
          {{"vertices", mesh.positions.size()}, {"primitives", std::move(primitives)}});
    }
  }

  // Animation sets: tracks for some frames, each part from its own keys or from matrix keys.
  // Each animation after the first is a Next ANIMATION chunk inside the one before.
  for (int s = 0, sets = pick(0, 2); s < sets; ++s) {
    w.open(AnimationSetRoot)
        .chunkStr(AnimationSetName, "Take " + std::to_string(s + 1))
        .chunkU32(AnimationSetLength, 2000)
        .open(AnimationSetData);
    Json keyCounts = Json::array();
    int nested = 0;
    for (std::size_t f = 0; f < frames.size(); ++f) {
      if (!chance(0.6) && !(f + 1 == frames.size() && keyCounts.empty())) continue;
      if (!keyCounts.empty() && ++nested) w.open(NextAnimation);
      std::array<std::size_t, 4> keys;  // position, rotation, scale, matrix
      for (std::size_t k = 0; k < 4; ++k)
        keys[k] = static_cast<std::size_t>(pick(0, k < 2 ? 4 : 3));
      if (keys[0] + keys[1] + keys[2] + keys[3] == 0) keys[0] = 2;
      writeTrack(w, frames[f].name, keys);
      for (std::size_t k = 0; k < 3; ++k)
        if (keys[k] > 0 || keys[3] > 0) keyCounts.push_back(keys[k] > 0 ? keys[k] : keys[3]);
    }
    for (; nested > 0; --nested) w.end().close();
    w.end().close().end().close();
    expect["animations"].push_back(
        {{"channels", keyCounts.size()}, {"keys", std::move(keyCounts)}});
  }
  std::ofstream(folder_ + "/" + name + ".expect.json") << expect.dump(1) << '\n';
  return save(name, w);
}

bool Cases::textureCases() {
  using namespace kxm::test;
  std::vector<std::uint32_t> argb;
  std::vector<Rgba> pixels;
  for (std::uint32_t i = 0; i < 16; ++i) {
    argb.push_back((i % 5 == 0 ? 0x40u + i * 8 : 0xFFu) << 24 | (i * 16) << 16 |
                   (255 - i * 9) << 8 | ((i * 37) & 0xFF));
    pixels.push_back({static_cast<std::uint8_t>(argb[i] >> 16),
                      static_cast<std::uint8_t>(argb[i] >> 8), static_cast<std::uint8_t>(argb[i]),
                      static_cast<std::uint8_t>(argb[i] >> 24)});
  }
  std::vector<Rgba> opaque = pixels;
  for (Rgba& p : opaque) p.a = 255;
  // DXT: olive and teal end points with every index, the thirds between them rounded down; DXT5
  // with solid colour and alpha from 240 down to 16 in eight steps.
  const std::uint16_t olive = rgb565(120, 200, 40), teal = rgb565(16, 96, 160);
  const Rgba o = widen565(olive), t = widen565(teal);
  auto third = [](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>((2 * a + b) / 3);
  };
  const Rgba codes[4] = {o,
                         t,
                         {third(o.r, t.r), third(o.g, t.g), third(o.b, t.b), 255},
                         {third(t.r, o.r), third(t.g, o.g), third(t.b, o.b), 255}};
  // With its end points the other way round, DXT1 has three colours and transparent black.
  const Rgba threeCodes[4] = {
      t,
      o,
      {static_cast<std::uint8_t>((t.r + o.r) / 2), static_cast<std::uint8_t>((t.g + o.g) / 2),
       static_cast<std::uint8_t>((t.b + o.b) / 2), 255},
      {0, 0, 0, 0}};
  std::array<std::uint8_t, 16> ramp{}, steps{}, alpha4{};
  std::vector<Rgba> dxt1, dxt1Alpha, dxt3, dxt5;
  for (std::size_t i = 0; i < 16; ++i) {
    ramp[i] = static_cast<std::uint8_t>((i + i / 4) % 4);
    steps[i] = static_cast<std::uint8_t>(i % 8);
    dxt1.push_back(codes[ramp[i]]);
    dxt1Alpha.push_back(threeCodes[ramp[i]]);
    alpha4[i] = static_cast<std::uint8_t>(15 - i);
    dxt3.push_back(codes[ramp[i]]);
    dxt3.back().a = static_cast<std::uint8_t>(alpha4[i] * 17);
    const int k = steps[i];  // 0 and 1 are the end points, 2 to 7 six steps between
    const int alpha = k == 0 ? 240 : k == 1 ? 16 : ((8 - k) * 240 + (k - 1) * 16) / 7;
    dxt5.push_back({o.r, o.g, o.b, static_cast<std::uint8_t>(alpha)});
  }
  std::vector<std::uint8_t> dxt1Data, dxt1AlphaData, dxt3Data, dxt5Data, rgb;
  appendBlock(dxt1Data, dxtColourBlock(olive, teal, ramp));
  appendBlock(dxt1AlphaData, dxtColourBlock(teal, olive, ramp));
  appendBlock(dxt3Data, dxt3AlphaBlock(alpha4));
  appendBlock(dxt3Data, dxtColourBlock(olive, teal, ramp));
  appendBlock(dxt5Data, dxt5AlphaBlock(240, 16, steps));
  appendBlock(dxt5Data, dxtColourBlock(olive, olive, {}));
  for (const Rgba& p : opaque) rgb.insert(rgb.end(), {p.r, p.g, p.b});
  const DdsLayout rgba{.width = 4, .height = 4, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};

  struct Textured {
    const char* name;
    std::string reference, folder, file;  // the model's name for it; where the file is
    std::vector<std::uint8_t> bytes;
    std::vector<Rgba> expected;
    int tolerance;  // DXT decoders round their thirds each their own way
  };
  const Textured cases[] = {
      {"bmp", "BRICK Wall.BMP", "", "brick wall.bmp", bmpImage({4, 4, 24}, argb), opaque, 0},
      {"tga", "Skin.Tga", "", "SKIN.TGA",
       tgaImage({.width = 4, .height = 4, .bits = 32, .rle = true, .topOrigin = true}, argb),
       pixels, 0},
      {"dds", "metal.dds", "maps", "Metal.DDS", ddsFile(rgba, ddsPixels(rgba, pixels)), pixels, 0},
      {"dxt1", "moss.dds", "", "moss.dds",
       ddsFile({.width = 4, .height = 4, .fourCC = "DXT1"}, dxt1Data), dxt1, 1},
      {"dxt1-alpha", "leaves.dds", "", "leaves.dds",
       ddsFile({.width = 4, .height = 4, .fourCC = "DXT1"}, dxt1AlphaData), dxt1Alpha, 1},
      {"dxt3", "fence.dds", "", "fence.dds",
       ddsFile({.width = 4, .height = 4, .fourCC = "DXT3"}, dxt3Data), dxt3, 1},
      {"dxt5", "glass.dds", "", "glass.dds",
       ddsFile({.width = 4, .height = 4, .fourCC = "DXT5"}, dxt5Data), dxt5, 1},
      {"png-for-tga", "grass.tga", "", "grass.png", pngImage(4, 4, rgb), opaque, 0},
  };
  bool ok = true;
  for (const Textured& c : cases) {
    const std::string name = std::string("textured-") + c.name;
    // Each model in a folder of its own, its texture beside it or in a folder passed with
    // --texture-dir.
    const std::string folder = folder_ + "/" + name + (c.folder.empty() ? "" : "-" + c.folder);
    std::filesystem::create_directories(folder_ + "/" + name);
    std::filesystem::create_directories(folder);
    ok &= KxmWriter::bare().raw(c.bytes).save(folder + "/" + c.file);
    ok &= texturedQuad(c.reference).save(folder_ + "/" + name + "/" + name + ".kxm");
    Json expect = {{"textureDir", c.folder.empty() ? "" : name + "-" + c.folder},
                   {"tolerance", c.tolerance},
                   {"rgba", Json::array()},
                   {"normals", Json::array()}};
    for (const Rgba& p : c.expected)
      expect["rgba"].insert(expect["rgba"].end(), {p.r, p.g, p.b, p.a});
    // Mirrored as positions are, and made unit length.
    for (const auto& n : {std::array<float, 3>{0, 1, 0},
                          {0.6f, 0, -0.8f},
                          {0, 0, 1},
                          {0.70710678f, 0.70710678f, 0}})
      expect["normals"].insert(expect["normals"].end(), {n[0], n[1], n[2]});
    std::ofstream(folder_ + "/" + name + "/" + name + ".expect.json") << expect.dump(1) << '\n';
  }
  return ok;
}

void Cases::writeTrack(KxmWriter& w, const std::string& bone,
                       const std::array<std::size_t, 4>& counts) {
  w.chunkStr(AnimBoneName, bone);
  for (std::uint32_t kind = 0; kind < 4; ++kind) {
    if (counts[kind] == 0) continue;
    const std::uint32_t code =
        PositionKeyCount + 2 * kind;  // the count; the keys follow in code + 1
    w.chunkU32(code, static_cast<std::uint32_t>(counts[kind])).open(code + 1);
    auto time = static_cast<std::uint32_t>(pick(0, 100));
    for (std::size_t k = 0; k < counts[kind];
         ++k, time += static_cast<std::uint32_t>(pick(1, 500))) {
      w.u32(time);
      if (kind == 0) {
        w.floats({coordinate(), coordinate(), coordinate()}).zeros(12);
      } else if (kind == 1) {
        const float a = static_cast<float>(pick(0, 12)) * 0.25f;
        w.floats({0, std::sin(a), 0, std::cos(a)});
      } else if (kind == 2) {
        w.floats({1, static_cast<float>(pick(1, 4)) * 0.5f, 1}).zeros(12);
      } else {
        w.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0});
        w.floats({coordinate(), coordinate(), coordinate(), 1}).zeros(64);
      }
    }
    w.close();
  }
}

// Files that load but hold what glTF cannot: the export must leave it out or repair it, say
// so, and still write a valid document.
bool Cases::hostileCases() {
  bool ok = savePng("hostile-image.png");
  { std::ofstream(folder_ + "/hostile-not-an-image.bmp") << "BM not a picture"; }
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::initializer_list<float> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

  {  // indices past the vertices, a triangle naming a vertex twice, a remainder
    KxmWriter w;
    w.open(FrameRoot)
        .chunkStr(FrameName, "Bad indices")
        .open(FrameMesh)
        .positions({0, 0, 0, 1, 0, 0, 0, 1, 0});
    w.indices({0, 1, 2, 0, 1, 7, 0, 0, 1, 2, 1}).chunkI32(MeshPrimitiveType, 4).end().close();
    // A line strip that leaves the vertices.
    w.open(FrameMesh)
        .positions({0, 0, 0, 1, 0, 0})
        .indices({0, 1, 9})
        .chunkI32(MeshPrimitiveType, 3)
        .end()
        .close();
    w.end().close();
    ok &= save("hostile-indices", w);
  }
  {  // numbers that are not finite: positions, a frame matrix, a material, a bone matrix
    KxmWriter w;
    w.open(FrameRoot).chunkStr(FrameName, "Not finite");
    w.chunkFloats(FrameMatrix, {nan, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).open(FrameMesh);
    w.positions({nan, 0, 0, 1, inf, 0, 0, 1, 0}).chunkI32(MeshPrimitiveType, 4).open(MeshMaterial);
    w.floats({nan, 2, -1, 1}).floats({0, 0, 0, 1}).floats({0, 0, 0, 1}).floats({inf, 0, 0, 1});
    w.f32(nan).close();
    w.chunkI32(MeshBoneCount, 1)
        .open(MeshBonesData)
        .chunkStr(BonesName, "Not finite")
        .chunkI32(BonesNumInfluences, 3);
    w.open(BonesVertices)
        .i32(0)
        .i32(1)
        .i32(2)
        .close()
        .open(BonesWeights)
        .floats({nan, -1, 0})
        .close();
    w.open(BonesTranslationMatrix)
        .floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, inf, 0, 0, 1})
        .close();
    w.end().end().close().end().close().end().close();
    ok &= save("hostile-not-finite", w);
  }
  {  // transforms glTF cannot hold: shear, projection; bones that name no frame
    KxmWriter w;
    w.open(FrameRoot).chunkStr(FrameName, "Sheared");
    w.chunkFloats(FrameMatrix, {1, 0, 0, 0, 0.5f, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    w.open(FrameChild).chunkStr(FrameName, "Projected");
    w.chunkFloats(FrameMatrix, {1, 0, 0, 0.5f, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2}).open(FrameMesh);
    w.positions({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0})
        .chunkI32(MeshPrimitiveType, 4)
        .chunkI32(MeshBoneCount, 3)
        .open(MeshBonesData);
    w.chunkStr(BonesName, "Nobody")
        .chunkI32(BonesNumInfluences, 1)
        .open(BonesVertices)
        .i32(0)
        .close()
        .open(BonesWeights)
        .f32(1)
        .close();
    w.open(BonesTranslationMatrix).floats(identity).close().end();
    w.chunkStr(BonesName, "Sheared")
        .chunkI32(BonesNumInfluences, 2)
        .open(BonesVertices)
        .i32(1)
        .i32(40)
        .close();
    w.open(BonesWeights).floats({0.5f, 1}).close();
    w.open(BonesTranslationMatrix)
        .floats({1, 0, 0, 0.25f, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1})
        .close()
        .end();
    w.chunkStr(BonesName, "Sheared")
        .chunkI32(BonesNumInfluences, 1)
        .open(BonesVertices)
        .i32(1)
        .close();
    w.open(BonesWeights)
        .f32(0.5f)
        .close()
        .open(BonesTranslationMatrix)
        .floats(identity)
        .close()
        .end();
    w.end().close().end().close().end().close().end().close();
    ok &= save("hostile-transforms", w);
  }
  {  // primitive types: unknown, a strip too short, a fan; a mesh with nothing
    KxmWriter w;
    w.open(FrameRoot)
        .chunkStr(FrameName, "Types")
        .open(FrameMesh)
        .positions({0, 0, 0, 1, 0, 0, 0, 1, 0});
    w.chunkI32(MeshPrimitiveType, 9).end().close();
    w.open(FrameMesh).positions({0, 0, 0, 1, 0, 0}).chunkI32(MeshPrimitiveType, 5).end().close();
    w.open(FrameMesh).chunkI32(MeshPrimitiveType, 4).end().close();
    w.open(FrameMesh).positions({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, -1, 1, 0});
    w.chunkI32(MeshPrimitiveType, 6).end().close().end().close();
    ok &= save("hostile-primitive-types", w);
  }
  {  // 65,535 used as an index; a list that claims four billion ranges; ranges out of bounds
    std::vector<float> grid;
    for (int v = 0; v < 65536; ++v)
      grid.insert(grid.end(), {static_cast<float>(v % 256), static_cast<float>(v / 256), 0});
    KxmWriter w;
    w.open(FrameRoot)
        .chunkStr(FrameName, "Big")
        .open(FrameMesh)
        .positions(grid)
        .indices({0, 1, 65535, 65535, 256, 0});
    w.chunkI32(MeshPrimitiveType, 4)
        .chunkI32(MultipleMaterialCount, 2000000000)
        .open(MultipleMaterials);
    w.chunkStr(MultiMaterialName, "Past the end")
        .chunkI32(MultiMaterialIndexStart, 3)
        .chunkI32(MultiMaterialIndexCount, 30)
        .end();
    w.chunkStr(MultiMaterialName, "Negative")
        .chunkI32(MultiMaterialIndexStart, -3)
        .chunkI32(MultiMaterialIndexCount, 3)
        .end();
    w.chunkStr(MultiMaterialName, "Whole")
        .chunkI32(MultiMaterialIndexStart, 0)
        .chunkI32(MultiMaterialIndexCount, 6)
        .end()
        .end()
        .close();
    w.chunkI32(MeshTextureCount, 1)
        .open(MeshTextures)
        .chunkStr(TextureName, "hostile-image.png")
        .end()
        .end()
        .close();
    w.end().close().end().close();
    ok &= save("hostile-indices-32", w);
  }
  {  // textures: missing, not PNG or JPEG, outside the input's folder, absolute, one usable
    KxmWriter w;
    w.open(FrameRoot).chunkStr(FrameName, "Textures");
    w.open(FrameMesh)
        .chunkU32(MeshFvfFlags, 0x102)
        .chunkI32(MeshFvfSize, 20)
        .chunkI32(MeshVertexCount, 3)
        .open(MeshVertexData);
    w.floats({0, 0, 0, 0, 0}).floats({1, 0, 0, 1, 0}).floats({0, 1, 0, 0, 1}).close();
    w.chunkI32(MeshPrimitiveType, 4).chunkI32(MeshTextureCount, 5).open(MeshTextures);
    for (const char* name : {"missing.png", "hostile-not-an-image.bmp", "../hostile-image.png",
                             "/etc/hostname", "hostile-image.png"}) {
      w.chunkStr(TextureName, name).end();
    }
    w.end().close().end().close().end().close();
    ok &= save("hostile-textures", w);
  }
  {  // the largest float in a frame matrix and a matrix key: a legal value whose scale is past
     // the float range
    const float big = std::numeric_limits<float>::max();
    const std::initializer_list<float> huge = {big, big, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    KxmWriter w;
    w.open(FrameRoot).chunkStr(FrameName, "Largest").chunkFloats(FrameMatrix, huge).open(FrameMesh);
    w.positions({0, 0, 0, 1, 0, 0, 0, 1, 0})
        .chunkI32(MeshPrimitiveType, 4)
        .end()
        .close()
        .end()
        .close();
    w.open(AnimationSetRoot)
        .chunkStr(AnimationSetName, "Largest")
        .open(AnimationSetData)
        .chunkStr(AnimBoneName, "Largest")
        .chunkU32(MatrixKeyCount, 2);
    w.open(MatrixData).u32(0).floats(identity).zeros(64).u32(10).floats(huge).zeros(64).close();
    w.end().close().end().close();
    ok &= save("hostile-float-max", w);
  }
  {  // animation keys: times that go back and repeat, zero and non-finite rotations, a bone
     // that names no frame, a second track for one frame
    KxmWriter w;
    w.open(FrameRoot).chunkStr(FrameName, "Animated").end().close();
    w.open(AnimationSetRoot).chunkStr(AnimationSetName, "Broken").open(AnimationSetData);
    w.chunkStr(AnimBoneName, "Animated").chunkU32(PositionKeyCount, 4).open(PositionData);
    for (std::uint32_t t : {300u, 100u, 100u, 200u})
      w.u32(t).floats({static_cast<float>(t), 0, 0}).zeros(12);
    w.close().chunkU32(RotationKeyCount, 3).open(RotationData).u32(0).floats({0, 0, 0, 0});
    w.u32(10).floats({nan, 0, 0, 1}).u32(20).floats({0, 0, 0, 2}).close();
    for (const char* bone : {"Nobody", "Animated"}) {  // each inside the one before
      w.open(NextAnimation)
          .chunkStr(AnimBoneName, bone)
          .chunkU32(PositionKeyCount, 1)
          .open(PositionData);
      w.u32(0).floats({1, 2, 3}).zeros(12).close();
    }
    w.end().close().end().close().end().close().end().close();
    ok &= save("hostile-animation", w);
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: make-export-cases FOLDER [COUNT] [SEED]\n");
    return 2;
  }
  const int count = argc > 2 ? std::atoi(argv[2]) : 50;
  const auto seed = static_cast<std::uint32_t>(argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1);
  Cases cases(argv[1], seed);
  bool ok = cases.hostileCases() && cases.textureCases();
  for (int n = 0; n < count; ++n) ok &= cases.randomCase(n);
  if (!ok) {
    std::fprintf(stderr, "make-export-cases: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
