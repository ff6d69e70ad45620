#include "tests/support/textured_quad.h"

namespace kxm::test {

KxmWriter texturedQuad(const std::string& reference) {
  KxmWriter w;
  w.open(1).chunkStr(101, "Quad").open(103).chunkU32(111, 0x112).chunkI32(112, 32);
  w.chunkI32(113, 4).open(115);
  const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const float normals[4][3] = {{0, 2, 0}, {3, 0, 4}, {0, 0, -0.5f}, {1, 1, 0}};
  for (int v = 0; v < 4; ++v) {
    w.floats({corners[v][0], corners[v][1], 0})
        .floats({normals[v][0], normals[v][1], normals[v][2]});
    w.floats({corners[v][0], 1 - corners[v][1]});
  }
  w.close().indices({0, 1, 2, 0, 2, 3}).chunkI32(117, 4);
  w.open(126).floats({1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}).f32(8).close();
  w.chunkI32(127, 1).open(128).chunkStr(141, reference).chunkI32(142, 0);
  w.chunkI32(152, 0).chunkI32(153, 2).end().end().close();
  w.end().close().end().close();
  return w;
}

}  // namespace kxm::test
