// Writes the benchmark files at n and 2n into the temporary folder and prints their paths.
#include <cstdio>

#include "bench/bench_files.h"

int main() {
  using namespace kxm::bench;
  const struct {
    const char* name;
    std::vector<std::uint8_t> (*generate)(std::int64_t);
    std::int64_t n;
  } files[] = {
      {"mesh_vertices", meshFile, 1000000},        {"flat_mesh_vertices", flatMeshFile, 1000000},
      {"texture_list", textureListFile, 100000},   {"animation_chain", animationChainFile, 100000},
      {"sibling_chain", siblingChainFile, 100000}, {"small_chunks", smallChunksFile, 1000000}};
  for (const auto& f : files) {
    for (std::int64_t n : {f.n, 2 * f.n}) {
      std::printf("%s\n",
                  cachedFile(std::string(f.name) + "-" + std::to_string(n), f.generate(n)).c_str());
    }
  }
  return 0;
}
