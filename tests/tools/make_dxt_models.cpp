// Writes, into the folder given, one textured square per DXT format: dxt1.kxm naming dxt1.dds,
// and so dxt3 and dxt5. Each DDS is 18 x 10 pixels (edge blocks cut by both sides) of blocks
// from a fixed random stream, so that every end-point order, index and alpha mode comes up and
// the decoders' rounding is exercised everywhere. Every build must export them to the same PNG.
//
//   make-dxt-models FOLDER
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/support/image_writers.h"
#include "tests/support/kxm_writer.h"
#include "tests/support/textured_quad.h"

namespace {

constexpr std::uint32_t kWidth = 18, kHeight = 10;

// Bytes of a stream that is the same on every platform (mt19937's output is defined; the
// standard distributions are not).
std::vector<std::uint8_t> blocks(std::uint32_t blockBytes, std::uint32_t seed) {
  std::mt19937 random(seed);
  const std::uint32_t count = ((kWidth + 3) / 4) * ((kHeight + 3) / 4);
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0; i < count * blockBytes; ++i)
    data.push_back(static_cast<std::uint8_t>(random() >> 24));
  return data;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-dxt-models FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  struct Format {
    std::string name, fourCC;
    std::uint32_t blockBytes;
  };
  bool ok = true;
  std::uint32_t seed = 1;
  for (const Format& f : {Format{"dxt1", "DXT1", 8}, {"dxt3", "DXT3", 16}, {"dxt5", "DXT5", 16}}) {
    const auto dds = kxm::test::ddsFile({.width = kWidth, .height = kHeight, .fourCC = f.fourCC},
                                        blocks(f.blockBytes, seed++));
    ok &= kxm::test::KxmWriter::bare().raw(dds).save(folder + "/" + f.name + ".dds");
    ok &= kxm::test::texturedQuad(f.name + ".dds").save(folder + "/" + f.name + ".kxm");
  }
  return ok ? 0 : 1;
}
