// Writes the seed corpus: one small file per chunk family, the sample model, and the smallest
// files that run into the chunk-head limit (nesting that doubles the walk), all made by our own
// KXM writer.
#include <cstdio>
#include <string>

#include "tests/support/kxm_writer.h"
#include "tests/support/sample_model.h"

using kxm::test::KxmWriter;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-corpus FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  int failures = 0;
  auto save = [&](const char* name, const KxmWriter& w) {
    failures += !w.save(folder + "/" + name + ".kxm");
  };

  save("header", KxmWriter());
  KxmWriter frames;
  frames.open(1)
      .chunkStr(101, "root")
      .chunkFloats(102, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  frames.open(104).chunkStr(101, "child").chunkFloats(106, {1, 2, 3}).chunkFloats(107, {0, 1, 0});
  frames.chunkFloats(108, {1, 1, 1}).open(105).chunkStr(101, "sibling").end().close().end().close();
  frames.end().close();
  save("frames", frames);

  KxmWriter mesh;
  mesh.open(1).open(103).chunkU32(111, 0x152).chunkI32(112, 36).chunkI32(113, 2).open(115);
  for (int i = 0; i < 2; ++i) mesh.floats({1, 2, 3, 0, 0, 1}).u32(0xFF00FF00u).floats({0, 1});
  mesh.close().chunkI32(114, 3).open(116).u16(0).u16(1).u16(0).close();
  mesh.chunkI32(117, 4).chunkI32(118, 2).chunkI32(119, 1).chunkU8(131, 1).chunkF32(157, 0.5f);
  mesh.open(126).floats({1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 8}).close();
  mesh.end().close().end().close();
  save("mesh", mesh);

  KxmWriter textures;
  textures.open(1).open(103).chunkI32(127, 2).open(128).chunkStr(141, "a.bmp").chunkI32(142, 0);
  textures.chunkI32(152, 0).chunkI32(153, 1).end().chunkStr(141, "b.bmp").end().end().close();
  textures.end().close().end().close();
  save("textures", textures);

  KxmWriter materials;
  materials.open(1).open(103).chunkI32(124, 1).open(139).chunkStr(161, "m");
  materials.open(162).floats({1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 8}).close();
  materials.chunkI32(163, 0).chunkI32(164, 3).chunkI32(165, 1).end().end().close();
  materials.end().close().end().close();
  save("multimaterials", materials);

  KxmWriter bones;
  bones.open(1).open(103).chunkI32(121, 1).open(122).chunkStr(301, "bone").chunkI32(302, 2);
  bones.open(303).i32(0).i32(1).close().open(304).floats({0.5f, 0.5f}).close();
  bones.chunkFloats(305, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).end().end().close();
  bones.end().close().end().close();
  save("bones", bones);

  KxmWriter animation;
  animation.open(2).chunkStr(201, "set").chunkU32(202, 100).open(203).chunkStr(211, "b1");
  animation.chunkU32(212, 1).open(213).u32(0).floats({1, 2, 3}).zeros(12).close();
  animation.chunkU32(214, 1).open(215).u32(0).floats({0, 0, 0, 1}).close();
  animation.open(220).chunkStr(211, "b2").chunkU32(216, 1).open(217).u32(5).floats({1, 1, 1});
  animation.zeros(12).close().chunkU32(218, 1).open(219).u32(9).zeros(128).close().end().close();
  animation.end().close().end().close();
  save("animation", animation);

  KxmWriter custom;
  custom.open(406).raw("custom").close().open(3).zeros(4).close();
  save("custom", custom);

  // A few hundred bytes that read more chunk heads than a load may: they must stay cheap.
  save("overflowing-animations", kxm::test::overflowingChain(220, 21));
  save("overflowing-frames", kxm::test::overflowingChain(104, 21));

  KxmWriter sample = KxmWriter::bare();
  for (std::uint8_t b : kxm::test::sampleModel()) sample.u8(b);
  save("sample", sample);
  return failures == 0 ? 0 : 1;
}
