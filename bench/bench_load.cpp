// Load and dump throughput over generated files, each at n and 2n so that the growth shows.
//
//   load:  loadFile from a file into the in-memory tree (what the viewer does)
//   dump:  the same, then the tree printed to /dev/null (what kxm-dump does)
//   export: the model kept, built into a glTF document and written as a GLB (kxm export)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <string>

#include "bench/bench_files.h"
#include "cli/huge_page_blocks.h"
#include "export/gltf_export.h"
#include "export/gltf_file.h"
#include "model/model.h"
#include "reader/load.h"
#include "tree/memory_tree.h"
#include "tree/tree_dump.h"
#include "tree/tree_sink.h"

namespace kxm::bench {
namespace {

using Generator = std::vector<std::uint8_t> (*)(std::int64_t);

void run(benchmark::State& state, const char* name, Generator generate, bool dump) {
  const std::int64_t n = state.range(0);
  const auto bytes = generate(n);
  const std::string path = cachedFile(std::string(name) + "-" + std::to_string(n), bytes);
  std::FILE* devNull = std::fopen("/dev/null", "wb");
  std::size_t nodes = 0;
  for (auto _ : state) {
    MemoryTreeControl control(false, hugePageBlocks());  // as kxm-dump's
    ChunkTree tree;
    tree.Attach(&control);
    Model model;
    DisplayOptions options;
    TreeSink sink(tree, options);
    if (!load(path.c_str(), model, &sink, nullptr, std::nullopt, hugePageBlocks()).loaded) {
      state.SkipWithError("load failed");
    }
    if (dump) {
      dumpTree(control, [devNull](std::string_view piece) {
        return std::fwrite(piece.data(), 1, piece.size(), devNull) == piece.size();
      });
    }
    nodes = control.liveCount();
    benchmark::DoNotOptimize(nodes);
  }
  std::fclose(devNull);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["nodes/s"] =
      benchmark::Counter(static_cast<double>(nodes) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
}

// kxm export's work on a mesh of n vertices: range 1 is 1 for normals written, 0 for the same
// mesh with its normals left out as the export did before it wrote them, -1 for a mesh whose
// vertices have no normal.
void exportRun(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  const bool normals = state.range(1) >= 0;
  const auto bytes = normals ? meshFile(n) : flatMeshFile(n);
  const std::string path =
      cachedFile((normals ? "mesh_vertices-" : "flat_mesh_vertices-") + std::to_string(n), bytes);
  const std::string out = path + ".glb";
  for (auto _ : state) {
    Model model;
    model.keepNormals = state.range(1) > 0;
    if (!load(path.c_str(), model, nullptr, nullptr, std::nullopt, hugePageBlocks()).loaded) {
      state.SkipWithError("load failed");
    }
    gltf::Warnings warnings;
    gltf::ExportOptions options;  // as kxm export's
    options.blocks = &hugePageBlocks();
    gltf::Document doc = gltf::buildDocument(model, options, warnings);
    model.clearModel();
    std::string error;
    if (!gltf::writeDocument(doc, out, true, error)) state.SkipWithError(error.c_str());
  }
  std::remove(out.c_str());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
}
BENCHMARK(exportRun)
    ->Name("mesh_vertices_export")
    ->ArgNames({"vertices", "normals"})
    ->ArgsProduct({{1000000, 2000000}, {-1, 0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#define KXM_BENCH(name, generator, n)                          \
  BENCHMARK_CAPTURE(run, name##_load, #name, generator, false) \
      ->Arg(n)                                                 \
      ->Arg(2 * (n))                                           \
      ->Unit(benchmark::kMillisecond)                          \
      ->UseRealTime();                                         \
  BENCHMARK_CAPTURE(run, name##_dump, #name, generator, true)  \
      ->Arg(n)                                                 \
      ->Arg(2 * (n))                                           \
      ->Unit(benchmark::kMillisecond)                          \
      ->UseRealTime()

KXM_BENCH(mesh_vertices, meshFile, 1000000);
KXM_BENCH(texture_list, textureListFile, 100000);
KXM_BENCH(animation_chain, animationChainFile, 100000);
KXM_BENCH(sibling_chain, siblingChainFile, 100000);
KXM_BENCH(small_chunks, smallChunksFile, 1000000);

}  // namespace
}  // namespace kxm::bench

BENCHMARK_MAIN();
