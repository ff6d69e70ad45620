#include "tests/support/random_model.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "format/chunk_catalogue.h"
#include "format/vertex_format.h"

namespace kxm::test {

namespace {

struct Dice {
  std::mt19937 engine;
  std::uint32_t next() { return static_cast<std::uint32_t>(engine()); }
  std::uint32_t below(std::uint32_t n) { return next() % n; }
  bool coin() { return below(2) == 0; }
  // Now and then a float no glTF number holds, or one that is easily lost on the way.
  float real() {
    if (below(16) != 0) return std::uniform_real_distribution<float>(-1000, 1000)(engine);
    constexpr std::uint32_t kBits[] = {0x7FC00001, 0xFFC00000, 0x7F800000, 0xFF800000,
                                       0x80000000, 0x7F7FFFFF, 0x00000001};
    return std::bit_cast<float>(kBits[below(7)]);
  }
  void reals(float* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = real();
  }
  void name(char (&out)[kNameSize]) {
    const std::uint32_t length = below(4) == 0 ? below(128) : below(12);
    for (std::uint32_t i = 0; i < length; ++i) out[i] = static_cast<char>(1 + below(255));
  }
  // A key time or a length: a file's 32-bit ticks as the reader keeps them.
  float ticks() { return static_cast<float>(coin() ? next() : below(5000)); }
};

// Position kinds, normal, point size, colours and up to eight texture sets of any size.
std::uint32_t randomFormat(Dice& d) {
  std::uint32_t flags = 2 * (1 + d.below(7));  // 0x002 to 0x00E
  for (std::uint32_t bit : {0x010u, 0x020u, 0x040u, 0x080u}) {
    if (d.coin()) flags |= bit;
  }
  return flags | d.below(9) << 8 | (d.next() & 0xFFFF0000u);
}

MeshVertex randomVertex(Dice& d, std::uint32_t flags) {
  const VertexLayout at = vertexLayout(flags);
  MeshVertex v;
  if (at.posOffset >= 0) d.reals(v.position, 3);
  if (at.diffuseOffset >= 0) {
    for (float& c : v.diffuse)
      c = static_cast<float>(d.below(256)) * std::bit_cast<float>(0x3B808081u);
  }
  if (at.tex0Offset >= 0) d.reals(v.texCoord0, 2);
  if (at.tex1Offset >= 0) d.reals(v.texCoord1, 2);
  return v;
}

Material randomMaterial(Dice& d) {
  float values[17];
  d.reals(values, 17);
  return materialFrom(values);
}

template <class T, class Fill>
void fillArray(ValueArray<T>& array, std::uint32_t n, Fill fill) {
  if (n == 0 || !array.allocate(static_cast<std::int32_t>(n))) return;
  for (T& value : array) fill(value);
}

void randomStates(Dice& d, std::vector<ShownState>& states, ChunkCode first, ChunkCode last) {
  const std::uint32_t n = d.below(4);
  for (std::uint32_t i = 0; i < n; ++i) {
    const ChunkCode code = first + d.below(last - first + 1);
    const ShownValue kind = shownValueOf(code);
    if (first == chunk::UseMultipleMaterials && kind == ShownValue::None) continue;  // no state
    const std::uint32_t raw = kind == ShownValue::Byte      ? d.below(256)
                              : kind == ShownValue::Float32 ? std::bit_cast<std::uint32_t>(d.real())
                                                            : d.next();
    states.push_back({code, raw});
  }
}

void randomElements(Dice& d, Mesh& mesh) {
  for (std::uint32_t n = d.below(3); n > 0; --n) {
    Texture& t = *mesh.textures.append();
    d.name(t.name);
    randomStates(d, t.states, chunk::TextureStage, chunk::TextureTcMode);
    if ((t.hasPrimitiveStart = d.below(4) != 0))
      t.primitiveStart = static_cast<std::int32_t>(d.next());
    if ((t.hasPrimitiveCount = d.below(4) != 0))
      t.primitiveCount = static_cast<std::int32_t>(d.below(100));
  }
  for (std::uint32_t n = d.below(3); n > 0; --n) {
    MultiMaterial& m = *mesh.multiMaterials.append();
    d.name(m.name);
    m.material = randomMaterial(d);
    m.indexStart = static_cast<std::int32_t>(d.below(50));
    m.indexCount = static_cast<std::int32_t>(d.below(50));
    m.polygonCount = static_cast<std::int32_t>(d.next());
  }
  for (std::uint32_t n = d.below(3); n > 0; --n) {
    Bone& b = *mesh.bones.append();
    d.name(b.name);
    const std::uint32_t influences = d.below(6);
    fillArray(b.vertexIndices, influences,
              [&](std::int32_t& v) { v = static_cast<std::int32_t>(d.below(20)); });
    fillArray(b.weights, d.below(5) == 0 ? d.below(6) : influences,
              [&](float& w) { w = d.real(); });
    d.reals(b.translationMatrix, 16);
  }
}

void randomMesh(Dice& d, Mesh& mesh) {
  mesh.fvfFlags = randomFormat(d);
  const std::uint32_t vertices = d.below(12);
  fillArray(mesh.vertices, vertices, [&](MeshVertex& v) { v = randomVertex(d, mesh.fvfFlags); });
  if (mesh.fvfFlags & kFvfNormal)
    fillArray(mesh.normals, vertices, [&](Normal& n) { d.reals(n.value, 3); });
  fillArray(mesh.indices, d.below(13), [&](std::uint32_t& i) { i = d.below(65536); });
  // Each value chunk present or not; one that is not leaves its value as a reader starts it.
  Mesh::Chunks& has = mesh.has;
  if ((has.material = d.below(4) != 0)) mesh.material = randomMaterial(d);
  if ((has.drawVertexCount = d.coin())) mesh.drawVertexCount = static_cast<std::int32_t>(d.next());
  if ((has.drawPrimitiveCount = d.coin()))
    mesh.drawPrimitiveCount = static_cast<std::int32_t>(d.next());
  if ((has.primitiveType = d.below(4) != 0))
    mesh.primitiveType = static_cast<std::int32_t>(d.below(8));
  if (mesh.vertices.empty() && d.below(4) == 0) {  // no vertices, and no format said
    has.fvfSize = d.coin();
    if ((has.fvfFlags = d.coin()) == false) mesh.fvfFlags = 0;
  }
  randomStates(d, mesh.renderStates, chunk::UseMultipleMaterials, chunk::MeshAlphaTestValue);
  randomElements(d, mesh);
}

// A parent the nesting can give row `row`: none, or a frame on the way down to the row before;
// and the frame whose chunk holds it: the parent (a CHILD) or the parent's child on that way (a
// SIBLING).
std::pair<std::int32_t, std::int32_t> randomParent(Dice& d, const Model& model, std::size_t row) {
  std::vector<std::int32_t> chain;
  for (auto r = static_cast<std::int32_t>(row) - 1; r >= 0;
       r = model.frames[static_cast<std::size_t>(r)].parentIndex) {
    chain.push_back(r);
  }
  const std::uint32_t pick = d.below(static_cast<std::uint32_t>(chain.size()) + 1);
  if (pick == chain.size()) return {-1, -1};
  return {chain[pick], pick > 0 && d.coin() ? chain[pick - 1] : chain[pick]};
}

// Where among its holder's meshes a frame's chunk comes: after those before the frames the
// holder held earlier, or more.
std::int32_t randomAfterMeshes(Dice& d, const Model& model, std::int32_t heldBy) {
  if (heldBy < 0) return -1;
  std::uint32_t least = 0;
  for (const Frame& earlier : model.frames) {
    if (earlier.heldBy == heldBy) least = static_cast<std::uint32_t>(earlier.afterMeshes);
  }
  const auto meshes =
      static_cast<std::uint32_t>(model.frames[static_cast<std::size_t>(heldBy)].meshes.count());
  return static_cast<std::int32_t>(least + d.below(meshes - least + 1));
}

void randomFrame(Dice& d, Model& model) {
  const std::size_t row = model.frames.count();
  const auto [parent, heldBy] = randomParent(d, model, row);
  const std::int32_t afterMeshes = randomAfterMeshes(d, model, heldBy);
  Frame& f = *model.addFrame(parent);
  f.heldBy = heldBy;
  f.afterMeshes = afterMeshes;
  if ((f.hasName = d.below(4) != 0))
    d.name(f.name);
  else  // as the reader names a frame without a name chunk
    std::snprintf(f.name, sizeof f.name, "NoName%zu", row);
  if ((f.hasMatrix = d.coin())) d.reals(f.matrix, 16);
  if ((f.hasOffset = d.coin())) d.reals(f.offset, 3);
  if ((f.hasRotation = d.coin())) d.reals(f.rotation, 3);
  if ((f.hasScale = d.coin())) d.reals(f.scale, 3);
  // Those it has in any order, then those it has not in theirs.
  const bool has[4] = {f.hasMatrix, f.hasOffset, f.hasRotation, f.hasScale};
  const auto present = std::stable_partition(f.transformOrder.begin(), f.transformOrder.end(),
                                             [&](std::uint8_t k) { return has[k]; });
  std::shuffle(f.transformOrder.begin(), present, d.engine);
  for (std::uint32_t m = d.below(3); m > 0; --m) randomMesh(d, *f.meshes.append());
}

void randomAnimation(Dice& d, Animation& a) {
  d.name(a.boneName);
  auto keys = [&](auto& track, auto values, std::size_t floats) {
    fillArray(track, d.below(4), [&](auto& key) {
      key.time = d.ticks();
      d.reals(values(key), floats);
    });
  };
  keys(
      a.positionKeys, [](PositionKey& k) { return k.value; }, 3);
  keys(
      a.rotationKeys, [](RotationKey& k) { return k.value; }, 4);
  keys(
      a.scaleKeys, [](ScaleKey& k) { return k.value; }, 3);
  keys(
      a.matrixKeys, [](MatrixKey& k) { return k.matrix; }, 16);
}

}  // namespace

void randomModel(std::uint32_t seed, Model& model) {
  Dice d{std::mt19937(seed)};
  model.keepNormals = model.keepForWriting = true;
  for (std::uint32_t n = d.below(9); n > 0; --n) randomFrame(d, model);
  for (std::uint32_t n = d.below(3); n > 0; --n) {
    AnimationSet& set = *model.addAnimationSet();
    d.name(set.name);
    if ((set.hasLength = d.below(4) != 0)) set.length = d.ticks();
    // Now and then more animations than one chain holds.
    const std::uint32_t animations = d.below(10) == 0 ? 300 + d.below(300) : d.below(4);
    for (std::uint32_t i = 0; i < animations; ++i) randomAnimation(d, *set.animations.append());
  }
  for (std::uint32_t n = d.below(3); n > 0; --n) {
    std::vector<std::uint8_t> data(d.below(24));
    for (std::uint8_t& b : data) b = static_cast<std::uint8_t>(d.next());
    model.customData.push_back(data);
  }
}

}  // namespace kxm::test
