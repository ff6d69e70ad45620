#include "tests/support/sample_model.h"

#include "tests/support/kxm_writer.h"

namespace kxm::test {

namespace {

void quadMesh(KxmWriter& w) {
  w.open(103);  // Frame MESH
  w.chunkU32(111, 0x152).chunkI32(112, 36).chunkI32(113, 4);
  w.open(115);  // four vertices: position, normal, diffuse colour, one texture set
  const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  const std::uint32_t colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF};
  for (int i = 0; i < 4; ++i) {
    w.floats({corners[i][0], corners[i][1], 0}).floats({0, 0, 1}).u32(colours[i]);
    w.floats({(corners[i][0] + 1) / 2, (1 - corners[i][1]) / 2});
  }
  w.close();
  w.chunkI32(114, 6).open(116);
  for (int index : {0, 1, 2, 0, 2, 3}) w.u16(static_cast<std::uint16_t>(index));
  w.close();
  w.chunkI32(117, 4).chunkI32(118, 4).chunkI32(119, 2);
  w.open(126).floats({0.8f, 0.6f, 0.4f, 1}).floats({0.2f, 0.2f, 0.2f, 1});
  w.floats({1, 1, 1, 1}).floats({0, 0, 0, 1}).f32(32).close();
  w.chunkU8(125, 1).chunkU8(129, 0).chunkU8(130, 1).chunkU8(131, 2).chunkU8(140, 1);
  w.chunkF32(157, 0.5f).chunkF32(166, 0.25f);

  w.chunkI32(127, 1).open(128);  // Mesh TEXTURES
  w.chunkStr(141, "wood.bmp").chunkI32(142, 0).chunkI32(143, 4);
  w.chunkI32(152, 0).chunkI32(153, 2).end();
  w.end().close();

  w.chunkI32(124, 1).open(139);  // Multiple MATERIALS
  w.chunkStr(161, "Varnish");
  w.open(162).floats({1, 0.9f, 0.7f, 1}).floats({0, 0, 0, 1}).floats({1, 1, 1, 1});
  w.floats({0, 0, 0, 1}).f32(64).close();
  w.chunkI32(163, 0).chunkI32(164, 6).chunkI32(165, 2).end();
  w.end().close();

  w.chunkI32(121, 1).open(122);  // Mesh BONES DATA
  w.chunkStr(301, "Spine").chunkI32(302, 2);
  w.open(303).i32(0).i32(1).close();
  w.open(304).floats({0.25f, 0.75f}).close();
  w.open(305).floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0.5f, 0, 1}).close();
  w.end();
  w.end().close();
  w.end();
  w.close();
}

}  // namespace

std::vector<std::uint8_t> sampleModel() {
  KxmWriter w;
  w.open(1);  // Frame ROOT
  w.chunkStr(101, "Scene");
  w.chunkFloats(102, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  w.open(104);  // Frame CHILD
  w.chunkStr(101, "Body").chunkFloats(106, {0, 1.5f, 0}).chunkFloats(107, {0, 0.5f, 0});
  w.chunkFloats(108, {1, 1, 1});
  quadMesh(w);
  w.open(105);  // Frame SIBLING
  w.chunkStr(101, "Arm").chunkFloats(106, {0.75f, 1.25f, 0}).end();
  w.close();
  w.end();
  w.close();
  w.end();
  w.close();

  w.open(2);  // AnimationSet ROOT
  w.chunkStr(201, "Walk").chunkU32(202, 1000);
  w.open(203);  // AnimationSet DATA
  w.chunkStr(211, "Body").chunkU32(212, 2).open(213);
  w.u32(0).floats({0, 1.5f, 0}).zeros(12);
  w.u32(1000).floats({0, 1.75f, 0}).zeros(12);
  w.close();
  w.chunkU32(214, 1).open(215).u32(500).floats({0, 0.2474f, 0, 0.9689f}).close();
  w.open(220);  // Next ANIMATION
  w.chunkStr(211, "Arm").chunkU32(216, 1).open(217).u32(0).floats({1, 1, 1}).zeros(12).close();
  w.chunkU32(218, 1).open(219).u32(250);
  w.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.75f, 1.25f, 0, 1}).zeros(64);
  w.close();
  w.end();
  w.close();
  w.end();
  w.close();
  w.end();
  w.close();

  w.open(406).raw("exporter=sample").close();  // custom data
  return w.bytes();
}

}  // namespace kxm::test
