#include "tests/support/sample_model.h"

#include <array>
#include <cmath>

#include "tests/support/kxm_writer.h"
#include "tests/support/png_writer.h"

namespace kxm::test {

namespace {

using Vec = std::array<double, 3>;
// A row-vector matrix, row by row, as the file stores it: p' = p * M.
using Rows = std::array<std::array<double, 4>, 4>;

Rows identity() {
  Rows m{};
  for (std::size_t i = 0; i < 4; ++i) m[i][i] = 1;
  return m;
}

Rows multiply(const Rows& a, const Rows& b) {
  Rows r{};
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = 0; j < 4; ++j)
      for (std::size_t k = 0; k < 4; ++k) r[i][j] += a[i][k] * b[k][j];
  return r;
}

// A frame's transform from its offset and a turn about z (radians), as the file means them.
Rows local(const Vec& offset, double turnZ) {
  Rows m = identity();
  m[0][0] = std::cos(turnZ);
  m[0][1] = std::sin(turnZ);
  m[1][0] = -std::sin(turnZ);
  m[1][1] = std::cos(turnZ);
  for (std::size_t i = 0; i < 3; ++i) m[3][i] = offset[i];
  return m;
}

// The inverse of a turn and a move: the turn transposed, the move undone.
Rows inverseRigid(const Rows& m) {
  Rows r = identity();
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) r[i][j] = m[j][i];
  for (std::size_t j = 0; j < 3; ++j) {
    r[3][j] = -(m[3][0] * r[0][j] + m[3][1] * r[1][j] + m[3][2] * r[2][j]);
  }
  return r;
}

Vec apply(const Rows& m, const Vec& p) {
  Vec r{};
  for (std::size_t j = 0; j < 3; ++j)
    r[j] = p[0] * m[0][j] + p[1] * m[1][j] + p[2] * m[2][j] + m[3][j];
  return r;
}

void putMatrix(KxmWriter& w, const Rows& m) {
  for (const auto& row : m)
    for (double v : row) w.f32(static_cast<float>(v));
}

Vec minus(const Vec& a, const Vec& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

// Whether a triangle is a front face seen from `outward`: clockwise as Direct3D draws it.
bool front(const Vec& a, const Vec& b, const Vec& c, const Vec& outward) {
  const Vec u = minus(b, a), v = minus(c, a);
  const Vec n = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
  return n[0] * outward[0] + n[1] * outward[1] + n[2] * outward[2] > 0;
}

struct Vertex {
  Vec position;
  Vec normal;
  std::uint32_t colour;
  double u = 0, v = 0;
};

// A mesh under construction: triangles are stored front side out, whichever order they come in.
struct Shape {
  std::vector<Vertex> vertices;
  std::vector<std::uint16_t> indices;

  std::uint16_t add(const Vertex& v) {
    vertices.push_back(v);
    return static_cast<std::uint16_t>(vertices.size() - 1);
  }
  void triangle(std::uint16_t a, std::uint16_t b, std::uint16_t c, const Vec& outward) {
    if (front(vertices[a].position, vertices[b].position, vertices[c].position, outward)) {
      indices.insert(indices.end(), {a, b, c});
    } else {
      indices.insert(indices.end(), {a, c, b});
    }
  }
  // A flat face of four corners in turn, its own vertices so that its normal and texture
  // coordinates are its own.
  void face(const std::array<Vec, 4>& corners, const Vec& normal, std::uint32_t colour) {
    const double uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    std::uint16_t at[4];
    for (std::size_t i = 0; i < 4; ++i) {
      at[i] = add({corners[i], normal, colour, uv[i][0], uv[i][1]});
    }
    triangle(at[0], at[1], at[2], normal);
    triangle(at[0], at[2], at[3], normal);
  }
};

// Writes the vertex, index and draw chunks of a shape in the format given (position always;
// normal, diffuse colour and one texture set as the flags say).
void putGeometry(KxmWriter& w, const Shape& s, std::uint32_t fvf, std::int32_t primitiveType,
                 std::int32_t primitives, bool indexed = true) {
  const bool normal = (fvf & 0x010) != 0, colour = (fvf & 0x040) != 0, uv = (fvf & 0x100) != 0;
  const std::int32_t size = 12 + (normal ? 12 : 0) + (colour ? 4 : 0) + (uv ? 8 : 0);
  w.chunkU32(chunk::MeshFvfFlags, fvf).chunkI32(chunk::MeshFvfSize, size);
  w.chunkI32(chunk::MeshVertexCount, static_cast<std::int32_t>(s.vertices.size()))
      .open(chunk::MeshVertexData);
  for (const Vertex& v : s.vertices) {
    for (double c : v.position) w.f32(static_cast<float>(c));
    if (normal)
      for (double c : v.normal) w.f32(static_cast<float>(c));
    if (colour) w.u32(v.colour);
    if (uv) w.f32(static_cast<float>(v.u)).f32(static_cast<float>(v.v));
  }
  w.close();
  if (indexed) {
    w.chunkI32(chunk::MeshIndexCount, static_cast<std::int32_t>(s.indices.size()))
        .open(chunk::MeshIndexData);
    for (std::uint16_t i : s.indices) w.u16(i);
    w.close();
  }
  w.chunkI32(chunk::MeshPrimitiveType, primitiveType);
  w.chunkI32(chunk::MeshDrawVertexCount, static_cast<std::int32_t>(s.vertices.size()))
      .chunkI32(chunk::MeshDrawPrimitiveCount, primitives);
}

void putMaterial(KxmWriter& w, std::uint32_t code, std::array<float, 4> diffuse, float power,
                 std::array<float, 3> emissive = {0, 0, 0}) {
  w.open(code).floats({diffuse[0], diffuse[1], diffuse[2], diffuse[3]});
  w.floats({diffuse[0] * 0.3f, diffuse[1] * 0.3f, diffuse[2] * 0.3f, 1});
  w.floats({0.5f, 0.5f, 0.5f, 1}).floats({emissive[0], emissive[1], emissive[2], 1}).f32(power);
  w.close();
}

// The frames' places: the base, the arm turned 0.35 rad about z at its foot, the forearm
// bent back 0.9 rad at the elbow, the lamp head at its end.
const Vec kArmFoot = {0, 0.4, 0};
const Vec kElbow = {0, 1.5, 0};
const Vec kWrist = {0, 1.3, 0};
constexpr double kArmTurn = 0.35, kForearmTurn = -0.9;

// The base: a wooden box, its top one material and its sides another, all one texture.
void baseMesh(KxmWriter& w) {
  Shape s;
  const double x = 1.0, y = 0.4, z = 0.8;
  const std::uint32_t light = 0xFFFFF4E0, shade = 0xFFD8C8B0;
  s.face({{{-x, y, -z}, {x, y, -z}, {x, y, z}, {-x, y, z}}}, {0, 1, 0}, light);  // top first
  s.face({{{-x, 0, -z}, {x, 0, -z}, {x, y, -z}, {-x, y, -z}}}, {0, 0, -1}, shade);
  s.face({{{x, 0, z}, {-x, 0, z}, {-x, y, z}, {x, y, z}}}, {0, 0, 1}, shade);
  s.face({{{-x, 0, z}, {-x, 0, -z}, {-x, y, -z}, {-x, y, z}}}, {-1, 0, 0}, shade);
  s.face({{{x, 0, -z}, {x, 0, z}, {x, y, z}, {x, y, -z}}}, {1, 0, 0}, shade);
  s.face({{{-x, 0, z}, {x, 0, z}, {x, 0, -z}, {-x, 0, -z}}}, {0, -1, 0}, shade);

  w.open(chunk::FrameMesh);
  putGeometry(w, s, 0x152, 4, 12);
  putMaterial(w, chunk::MeshMaterial, {0.9f, 0.75f, 0.55f, 1}, 32);
  w.chunkU8(chunk::MeshUsesMaterial, 1)
      .chunkU8(chunk::MeshWireframe, 0)
      .chunkU8(chunk::MeshLight, 1)
      .chunkU8(chunk::MeshCull, 2)
      .chunkU8(chunk::MeshVisible, 1);
  w.chunkF32(chunk::MeshZBiasSlope, 0.5f).chunkF32(chunk::MeshAlphaTestValue, 0.25f);
  w.chunkI32(chunk::MeshTextureCount, 1).open(chunk::MeshTextures);
  w.chunkStr(chunk::TextureName, kSampleTextureName)
      .chunkI32(chunk::TextureStage, 0)
      .chunkI32(chunk::TextureBlendMode, 4);
  w.chunkI32(chunk::TexturePrimitiveStart, 0).chunkI32(chunk::TexturePrimitiveCount, 12).end();
  w.end().close();
  w.chunkI32(chunk::MultipleMaterialCount, 2).open(chunk::MultipleMaterials);
  w.chunkStr(chunk::MultiMaterialName, "Varnish");
  putMaterial(w, chunk::MultiMaterialMaterial, {1, 0.9f, 0.7f, 1}, 64);
  w.chunkI32(chunk::MultiMaterialIndexStart, 0)
      .chunkI32(chunk::MultiMaterialIndexCount, 6)
      .chunkI32(chunk::MultiMaterialPolygonCount, 2)
      .end();
  w.chunkStr(chunk::MultiMaterialName, "Oak");
  putMaterial(w, chunk::MultiMaterialMaterial, {0.75f, 0.55f, 0.35f, 1}, 16);
  w.chunkI32(chunk::MultiMaterialIndexStart, 6)
      .chunkI32(chunk::MultiMaterialIndexCount, 30)
      .chunkI32(chunk::MultiMaterialPolygonCount, 10)
      .end();
  w.end().close();
  w.end().close();
}

// The arm: a square tube from the foot through the elbow to the wrist, bent as the frames
// are, moved by two bones that share the elbow's ring.
void armMesh(KxmWriter& w, const Rows& armWorld, const Rows& forearmWorld) {
  Shape s;
  const double r = 0.12;
  const Vec corners[4] = {{-r, 0, -r}, {r, 0, -r}, {r, 0, r}, {-r, 0, r}};
  const std::uint32_t colours[3] = {0xFFD04020, 0xFFE06030, 0xFFF08040};
  const Vec rings[3] = {{0, 0, 0}, {0, 0, 0}, kWrist};  // in the foot's, elbow's, elbow's frame
  const Rows* worlds[3] = {&armWorld, &forearmWorld, &forearmWorld};
  for (std::size_t ring = 0; ring < 3; ++ring) {
    for (const Vec& c : corners) {
      const Vec p = apply(*worlds[ring],
                          {c[0] + rings[ring][0], c[1] + rings[ring][1], c[2] + rings[ring][2]});
      const Vec centre = apply(*worlds[ring], rings[ring]);
      s.add({p, minus(p, centre), colours[ring]});
    }
  }
  auto at = [](std::size_t ring, std::size_t corner) {
    return static_cast<std::uint16_t>(ring * 4 + corner % 4);
  };
  for (std::size_t ring = 0; ring < 2; ++ring) {
    for (std::size_t c = 0; c < 4; ++c) {
      // Outward from the side: the sum of its corners' outward directions.
      const Vec &n0 = s.vertices[at(ring, c)].normal, &n1 = s.vertices[at(ring, c + 1)].normal;
      const Vec side = {n0[0] + n1[0], n0[1] + n1[1], n0[2] + n1[2]};
      s.triangle(at(ring, c), at(ring, c + 1), at(ring + 1, c + 1), side);
      s.triangle(at(ring, c), at(ring + 1, c + 1), at(ring + 1, c), side);
    }
  }
  const Vec down = minus(apply(armWorld, {0, 0, 0}), apply(armWorld, {0, 1, 0}));
  const Vec up = minus(apply(forearmWorld, {0, 2, 0}), apply(forearmWorld, kWrist));
  s.triangle(at(0, 0), at(0, 1), at(0, 2), down);
  s.triangle(at(0, 0), at(0, 2), at(0, 3), down);
  s.triangle(at(2, 0), at(2, 1), at(2, 2), up);
  s.triangle(at(2, 0), at(2, 2), at(2, 3), up);

  w.open(chunk::FrameMesh);
  putGeometry(w, s, 0x052, 4, static_cast<std::int32_t>(s.indices.size() / 3));
  putMaterial(w, chunk::MeshMaterial, {1, 1, 1, 1}, 48);
  w.chunkI32(chunk::MeshBoneCount, 2).open(chunk::MeshBonesData);
  // Each bone holds its own ring whole and the elbow's ring half; its matrix undoes its frame.
  const struct {
    const char* name;
    std::int32_t firstVertex;
    std::initializer_list<float> weights;
    const Rows& world;
  } bones[] = {{"UpperArm", 0, {1, 1, 1, 1, 0.5f, 0.5f, 0.5f, 0.5f}, armWorld},
               {"Forearm", 4, {0.5f, 0.5f, 0.5f, 0.5f, 1, 1, 1, 1}, forearmWorld}};
  for (const auto& bone : bones) {
    w.chunkStr(chunk::BonesName, bone.name)
        .chunkI32(chunk::BonesNumInfluences, 8)
        .open(chunk::BonesVertices);
    for (std::int32_t v = bone.firstVertex; v < bone.firstVertex + 8; ++v) w.i32(v);
    w.close()
        .open(chunk::BonesWeights)
        .floats(bone.weights)
        .close()
        .open(chunk::BonesTranslationMatrix);
    putMatrix(w, inverseRigid(bone.world));
    w.close().end();
  }
  w.end().close();
  w.end().close();
}

// The lamp head: a pyramid opening away from the wrist, drawn as a fan about its tip.
void headMesh(KxmWriter& w) {
  Shape s;
  const Vec tip = {0, 0, 0};
  const double r = 0.35, depth = 0.45;
  const Vec centre = {0, depth * 0.6, 0};
  s.add({tip, {0, -1, 0}, 0xFFFFF0A0});
  const Vec corners[4] = {{-r, depth, -r}, {r, depth, -r}, {r, depth, r}, {-r, depth, r}};
  // Corners in the turn that makes the fan's first triangle face out; the rest follow.
  const bool turn = front(tip, corners[0], corners[1], minus(corners[0], centre));
  for (std::size_t i = 0; i < 5; ++i) {
    const Vec& c = corners[turn ? i % 4 : (4 - i) % 4];
    s.add({c, minus(c, centre), 0xFFFFC030});
  }
  w.open(chunk::FrameMesh);
  putGeometry(w, s, 0x042, 6, 4, false);
  putMaterial(w, chunk::MeshMaterial, {1, 0.85f, 0.3f, 1}, 64, {0.6f, 0.5f, 0.1f});
  w.end().close();
}

// A plate on the ground in front of the lamp, drawn as a strip of two triangles.
void plateMesh(KxmWriter& w) {
  Shape s;
  for (double x : {-0.8, 0.8}) {
    for (double z : {-1.6, -1.1}) s.add({{x, 0.01, z}, {0, 1, 0}, x < 0 ? 0xFF3060C0 : 0xFF60A0E0});
  }
  w.open(chunk::FrameMesh);
  putGeometry(w, s, 0x042, 5, 2, false);
  putMaterial(w, chunk::MeshMaterial, {1, 1, 1, 0.8f}, 8);
  w.end().close();
}

// A rotation key about z: (x, y, z, w), the turn w last.
void turnKey(KxmWriter& w, std::uint32_t time, double angle) {
  w.u32(time).floats(
      {0, 0, static_cast<float>(std::sin(angle / 2)), static_cast<float>(std::cos(angle / 2))});
}

}  // namespace

std::vector<std::uint8_t> sampleModel() {
  const Rows baseWorld = identity();
  const Rows armWorld = multiply(local(kArmFoot, kArmTurn), baseWorld);
  const Rows forearmWorld = multiply(local(kElbow, kForearmTurn), armWorld);

  KxmWriter w;
  w.open(chunk::FrameRoot).chunkStr(chunk::FrameName, "Lamp").open(chunk::FrameMatrix);
  putMatrix(w, identity());
  w.close().open(chunk::FrameChild);
  w.chunkStr(chunk::FrameName, "Base")
      .chunkFloats(chunk::FrameOffset, {0, 0, 0})
      .chunkFloats(chunk::FrameRotation, {0, 0, 0});
  w.chunkFloats(chunk::FrameScale, {1, 1, 1});
  baseMesh(w);
  w.open(chunk::FrameChild)
      .chunkStr(chunk::FrameName, "UpperArm")
      .chunkFloats(chunk::FrameOffset, {0, 0.4f, 0});
  w.chunkFloats(chunk::FrameRotation, {0, 0, static_cast<float>(kArmTurn)});
  armMesh(w, armWorld, forearmWorld);
  w.open(chunk::FrameChild)
      .chunkStr(chunk::FrameName, "Forearm")
      .chunkFloats(chunk::FrameOffset, {0, 1.5f, 0});
  w.chunkFloats(chunk::FrameRotation, {0, 0, static_cast<float>(kForearmTurn)});
  w.open(chunk::FrameChild)
      .chunkStr(chunk::FrameName, "Head")
      .chunkFloats(chunk::FrameOffset, {0, 1.3f, 0})
      .chunkFloats(chunk::FrameRotation, {0, 0, -2.0f});
  headMesh(w);
  w.end().close().end().close();
  w.open(chunk::FrameSibling)
      .chunkStr(chunk::FrameName, "Plate");  // Frame SIBLING: beside the arm, on the base
  plateMesh(w);
  w.end().close().end().close().end().close().end().close();

  w.open(chunk::AnimationSetRoot)
      .chunkStr(chunk::AnimationSetName, "Wave")
      .chunkU32(chunk::AnimationSetLength, 2000);
  w.open(chunk::AnimationSetData)
      .chunkStr(chunk::AnimBoneName, "UpperArm")
      .chunkU32(chunk::RotationKeyCount, 3)
      .open(chunk::RotationData);
  turnKey(w, 0, kArmTurn), turnKey(w, 1000, kArmTurn - 0.4), turnKey(w, 2000, kArmTurn);
  w.close().open(chunk::NextAnimation);
  w.chunkStr(chunk::AnimBoneName, "Forearm")
      .chunkU32(chunk::PositionKeyCount, 2)
      .open(chunk::PositionData);
  w.u32(0).floats({0, 1.5f, 0}).zeros(12).u32(2000).floats({0, 1.5f, 0}).zeros(12).close();
  w.chunkU32(chunk::RotationKeyCount, 3).open(chunk::RotationData);
  turnKey(w, 0, kForearmTurn), turnKey(w, 1000, kForearmTurn + 0.6);
  turnKey(w, 2000, kForearmTurn);
  w.close()
      .open(chunk::NextAnimation)
      .chunkStr(chunk::AnimBoneName, "Head")
      .chunkU32(chunk::ScaleKeyCount, 3)
      .open(chunk::ScaleData);
  w.u32(0).floats({1, 1, 1}).zeros(12).u32(1000).floats({1.3f, 1.3f, 1.3f}).zeros(12);
  w.u32(2000)
      .floats({1, 1, 1})
      .zeros(12)
      .close()
      .chunkU32(chunk::MatrixKeyCount, 2)
      .open(chunk::MatrixData);
  for (std::uint32_t time : {0u, 2000u}) {
    const float c = std::cos(-2.0f), s = std::sin(-2.0f);  // the head's own place and turn
    w.u32(time).floats({c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 1.3f, 0, 1}).zeros(64);
  }
  w.close().end().close().end().close().end().close().end().close();

  w.open(chunk::CustomData).raw("exporter=sample").close();  // custom data
  return w.bytes();
}

std::vector<std::uint8_t> sampleTexture() {
  // Wood: warm stripes with a darker grain every few rows.
  constexpr std::uint32_t kSize = 64;
  std::vector<std::uint8_t> rgb;
  for (std::uint32_t y = 0; y < kSize; ++y) {
    for (std::uint32_t x = 0; x < kSize; ++x) {
      const double grain = 0.5 + 0.5 * std::sin((x + 3.0 * std::sin(y * 0.3)) * 0.6);
      const double k = 0.75 + 0.25 * grain;
      rgb.push_back(static_cast<std::uint8_t>(200 * k));
      rgb.push_back(static_cast<std::uint8_t>(140 * k));
      rgb.push_back(static_cast<std::uint8_t>(80 * k));
    }
  }
  return pngImage(kSize, kSize, rgb);
}

}  // namespace kxm::test
