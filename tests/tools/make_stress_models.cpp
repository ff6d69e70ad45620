// Writes the models the output and path stress tests work on, with our own writer:
// large.kxm, a mesh of N vertices whose export takes long enough to be stopped midway, and
// textures.kxm, a mesh that names 2,000 textures, none of them on disk as named.
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
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
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
      !save(folder + "/textures.kxm", kxm::bench::textureListFile(2000))) {
    std::fprintf(stderr, "make-stress-models: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
