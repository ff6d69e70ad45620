#include "bench/bench_files.h"

#include <filesystem>

#include "tests/support/kxm_writer.h"

namespace kxm::bench {

using test::KxmWriter;

namespace {

std::vector<std::uint8_t> meshWith(std::int64_t vertices, bool normals) {
  KxmWriter w;
  w.open(1).chunkStr(101, "mesh").open(103);
  w.chunkU32(111, normals ? 0x152 : 0x142).chunkI32(112, normals ? 36 : 24);
  w.chunkI32(113, static_cast<std::int32_t>(vertices)).open(115);
  for (std::int64_t i = 0; i < vertices; ++i) {
    const auto x = static_cast<float>(i);
    w.floats({x, x * 0.5f, -x});
    if (normals) w.floats({0, 1, 0});
    w.u32(0xFF808080u).floats({x, 1 - x});
  }
  w.close();
  const std::int64_t indices = vertices / 2 * 3;
  w.chunkI32(114, static_cast<std::int32_t>(indices)).open(116);
  for (std::int64_t i = 0; i < indices; ++i) w.u16(static_cast<std::uint16_t>(i));
  w.close().chunkI32(117, 4);  // a triangle list, so that the export has something to draw
  w.end().close().end().close();
  return w.bytes();
}

}  // namespace

std::vector<std::uint8_t> meshFile(std::int64_t vertices) {
  return meshWith(vertices, true);
}

std::vector<std::uint8_t> flatMeshFile(std::int64_t vertices) {
  return meshWith(vertices, false);
}

std::vector<std::uint8_t> textureListFile(std::int64_t textures) {
  KxmWriter w;
  w.open(1).open(103).chunkI32(127, static_cast<std::int32_t>(textures)).open(128);
  for (std::int64_t i = 0; i < textures; ++i) {
    w.chunkStr(141, "texture" + std::to_string(i) + ".bmp").chunkI32(142, 0);
    w.chunkI32(152, static_cast<std::int32_t>(i)).chunkI32(153, 2).end();
  }
  w.end().close().end().close().end().close();
  return w.bytes();
}

std::vector<std::uint8_t> animationChainFile(std::int64_t depth) {
  KxmWriter w;
  w.open(2).chunkStr(201, "chain").open(203);
  for (std::int64_t i = 0; i < depth; ++i) {
    w.chunkStr(211, "bone" + std::to_string(i)).chunkU32(212, 1);
    w.open(213).u32(static_cast<std::uint32_t>(i)).floats({0, 1, 2}).zeros(12).close();
    if (i + 1 < depth) w.open(220);
  }
  for (std::int64_t i = 0; i < depth; ++i) w.end().close();
  w.end().close();
  return w.bytes();
}

std::vector<std::uint8_t> siblingChainFile(std::int64_t depth) {
  KxmWriter w;
  w.open(1);
  for (std::int64_t i = 0; i < depth; ++i) {
    w.chunkStr(101, "frame" + std::to_string(i));
    w.chunkFloats(102, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    if (i + 1 < depth) w.open(105);
  }
  for (std::int64_t i = 0; i < depth; ++i) w.end().close();
  return w.bytes();
}

std::vector<std::uint8_t> smallChunksFile(std::int64_t chunks) {
  KxmWriter w;
  w.open(1).open(103);
  for (std::int64_t i = 0; i < chunks; ++i) {
    switch (i % 4) {
      case 0: w.chunkU8(131, 2); break;      // Mesh Cull
      case 1: w.chunkU8(130, 1); break;      // Mesh Light
      case 2: w.chunkF32(157, 0.5f); break;  // Mesh Z Bias Slope
      default: w.chunkI32(136, 3); break;    // Mesh Ghost Mode
    }
  }
  w.end().close().end().close();
  return w.bytes();
}

std::string cachedFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const auto path = std::filesystem::temp_directory_path() / ("kxm-bench-" + name + ".kxm");
  std::error_code error;
  if (std::filesystem::file_size(path, error) != bytes.size()) {
    KxmWriter::bare()
        .raw({reinterpret_cast<const char*>(bytes.data()), bytes.size()})
        .save(path.string());
  }
  return path.string();
}

}  // namespace kxm::bench
