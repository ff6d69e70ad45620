// Writes the files the browser tests open, with our own KXM writer, into the folder given:
//   hostile-name.kxm  a frame named as markup, which the page must show as those characters
//   cut.kxm           a mesh whose index data is cut short: fails part-way, with a path
//   findings.kxm      a file that loads with something for kxm check to say at every level
//   chain.kxm         chunks that run past their parents, nested, until the chunk limit
//   deep.kxm          an animation chain 3,000 levels deep, walked on the core's explicit stacks
//   late-name.kxm     a frame named after more rows than a block of the core's rows holds, with
//                     more label bytes than a block of its label stream
//   small-chunks.kxm  1,000,000 small chunks in one mesh (the benchmark's file)
#include <cstdio>
#include <limits>
#include <string>

#include "bench/bench_files.h"
#include "tests/support/kxm_writer.h"

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

bool save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::perror(path.c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
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
      save(folder + "small-chunks.kxm", kxm::bench::smallChunksFile(1000000));
  return ok ? 0 : 1;
}
