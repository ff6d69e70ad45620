// Writes the models the output and path stress tests work on, with our own writer:
// large.kxm, a mesh of N vertices whose export takes long enough to be stopped midway, and
// textures.kxm, a mesh that names 2,000 textures, none of them on disk as named; chunks.kxm, a
// mesh of 1,000,000 small chunks, and chunks-changed.kxm, the same with one value changed.
//
//   make-stress-models FOLDER [N]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/bench_files.h"

namespace {

bool save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// The same million chunks twice, the second with one render state's value changed.
bool saveChunks(const std::string& folder) {
  std::vector<std::uint8_t> bytes = kxm::bench::smallChunksFile(1000000);
  if (!save(folder + "/chunks.kxm", bytes)) return false;
  bytes[bytes.size() - 20] ^= 0x5A;  // the last ghost mode, before the two ENDs that close it
  return save(folder + "/chunks-changed.kxm", bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make-stress-models FOLDER [VERTICES]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const long long vertices = argc > 2 ? std::atoll(argv[2]) : 1000000;
  if (!save(folder + "/large.kxm", kxm::bench::meshFile(vertices)) ||
      !save(folder + "/textures.kxm", kxm::bench::textureListFile(2000)) || !saveChunks(folder)) {
    std::fprintf(stderr, "make-stress-models: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
