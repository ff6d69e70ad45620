// Writes the hostile files whose kxm-dump time and peak memory bench/measure-dump reports, into
// the folder given: deep nesting, chunks that run past their parents, counts claiming billions,
// arrays that read the same bytes again, and the largest vertex count a file of its size may give.
#include <cstdio>
#include <string>

#include "tests/support/kxm_writer.h"

using kxm::test::KxmWriter;
using kxm::test::overflowingChain;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-abuse-files FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  int failures = 0;
  auto save = [&](const std::string& name, const KxmWriter& w) {
    failures += !w.save(folder + "/" + name + ".kxm");
  };
  constexpr int kDeep = 1000000;

  // Chunks that run past their parents, nesting that doubles the walk: 384 to 464 bytes.
  for (int levels : {21, 22, 25, 26}) {
    for (const auto& [code, kind] : {std::pair{220u, "animations"}, std::pair{104u, "frames"}}) {
      const KxmWriter chain = overflowingChain(code, levels);
      save(std::string("overflowing-") + kind + "-" + std::to_string(chain.size()) + "B", chain);
    }
  }

  KxmWriter siblings;
  siblings.open(1);
  for (int i = 1; i < kDeep; ++i) siblings.open(105);
  for (int i = 0; i < kDeep; ++i) siblings.end().close();
  save("sibling-chain-1M", siblings);

  KxmWriter children;
  children.open(1);
  for (int i = 1; i < kDeep; ++i) children.open(104);
  for (int i = 0; i < kDeep; ++i) children.end().close();
  save("child-chain-1M", children);

  KxmWriter animations;
  animations.open(2).open(203);
  for (int i = 1; i < kDeep; ++i) animations.open(220);
  for (int i = 0; i < kDeep; ++i) animations.end().close();
  animations.close();
  save("animation-chain-1M", animations);

  const struct {
    const char* name;
    std::uint32_t count, data;
  } meshCounts[] = {{"vertices", 113, 115},
                    {"indices", 114, 116},
                    {"bones", 121, 122},
                    {"multimaterials", 124, 139},
                    {"textures", 127, 128}};
  for (std::uint32_t count : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", count);
    for (const auto& c : meshCounts) {
      KxmWriter w;
      w.open(1).open(103).chunkU32(111, 0x002).chunkI32(112, 12).chunkU32(c.count, count);
      w.open(c.data).zeros(12).close().end().close().end().close();
      save(std::string("count-") + c.name + "-" + hex, w);
    }
    KxmWriter bone;
    bone.open(1).open(103).chunkI32(121, 1).open(122).chunkU32(302, count);
    bone.open(303).zeros(8).close().end().end().close().end().close().end().close();
    save(std::string("count-influences-") + hex, bone);
    for (std::uint32_t track : {212u, 214u, 216u, 218u}) {
      KxmWriter keys;
      keys.open(2).open(203).chunkU32(track, count).open(track + 1).zeros(28).close();
      keys.end().close().end().close();
      save("count-keys-" + std::to_string(track) + "-" + hex, keys);
    }
  }

  // Two thousand meshes whose index arrays all read the same 400 KB tail.
  KxmWriter overlap;
  overlap.open(1);
  for (int m = 0; m < 2000; ++m) overlap.open(103).chunkI32(114, 200000).head(116, 0).close();
  overlap.close().zeros(400000);
  save("overlapping-arrays", overlap);

  // A vertex chunk that reads no component, with one vertex for every byte of a 1 MB file.
  KxmWriter vertices;
  vertices.open(1).open(103).chunkU32(111, 0).chunkI32(112, 0).chunkI32(113, 1000000);
  vertices.open(115).zeros(1000000 - 100).close().end().close().end().close();
  save("vertices-without-components", vertices);

  // A million top-level chunks of an unlisted code, and a million small chunks in one mesh.
  KxmWriter unlisted;
  for (int i = 0; i < kDeep; ++i) unlisted.head(3, 0);
  save("unlisted-1M", unlisted);
  KxmWriter small;
  small.open(1).open(103);
  for (int i = 0; i < kDeep; ++i) small.chunkU8(131, 1);
  small.end().close().end().close();
  save("small-chunks-1M", small);

  KxmWriter name;
  name.open(1).chunkStr(101, std::string(200, '\xff')).end().close();
  save("long-name", name);
  return failures == 0 ? 0 : 1;
}
