// Load and dump throughput over generated files, each at n and 2n so that the growth shows.
//
//   load:  loadFile from a file into the in-memory tree (what the viewer does)
//   dump:  the same, then the tree printed to /dev/null (what kxm-dump does)
//   export: the model kept, built into a glTF document and written as a GLB (kxm export)
//   folder_check: kxm check over a folder of 1,000 files of the set above, at -j 1 and -j 2
//   small_chunks_diff: kxm diff of the 1,000,000-chunk file and a copy with one value changed
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "cli/check_command.h"
#include "cli/diff_command.h"
#include "cli/file_runner.h"

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

// A folder of 1,000 files, the six kinds of the set in turn, each small enough (a few hundred KB)
// that the thousand make one run of a few seconds: written once, in the temporary folder.
std::string benchFolder() {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / "kxm-bench-folder-1000";
  const struct {
    const char* name;
    Generator generate;
    std::int64_t n;
  } kinds[] = {{"mesh", meshFile, 10000},
               {"flat", flatMeshFile, 10000},
               {"textures", textureListFile, 2000},
               {"animations", animationChainFile, 2000},
               {"siblings", siblingChainFile, 2000},
               {"chunks", smallChunksFile, 20000}};
  if (fs::exists(folder / "done")) return folder.string();
  fs::create_directories(folder);
  for (int i = 0; i < 1000; ++i) {
    const auto& kind = kinds[i % 6];
    const auto bytes = kind.generate(kind.n + i);
    std::ofstream(folder / (std::string(kind.name) + "-" + std::to_string(i) + ".kxm"),
                  std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  std::ofstream(folder / "done") << "1000 files\n";
  return folder.string();
}

// kxm check --quiet over the folder with range(0) workers, its report kept in memory.
void folderCheck(benchmark::State& state) {
  const InputList inputs = expandInputs({benchFolder()}, stdin);
  CheckRequest request;
  request.quiet = true;
  const RunSettings settings{static_cast<unsigned>(state.range(0)), false};
  std::uint64_t loaded = 0;
  for (auto _ : state) {
    Output out, err;
    const Tally total = runOverInputs(
        inputs.files, settings,
        [&](std::size_t i, const Input& input, Output& o, Output&) {
          return checkFile(request, i, input, o);
        },
        out, err);
    loaded = total.loaded;
  }
  state.counters["files"] = static_cast<double>(inputs.files.size());
  state.counters["loaded"] = static_cast<double>(loaded);
}
BENCHMARK(folderCheck)
    ->Name("folder_check")
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void diffRun(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  auto bytes = smallChunksFile(n);
  const std::string a = cachedFile("small_chunks-" + std::to_string(n), bytes);
  bytes[bytes.size() - 200] ^= 1;  // inside the payload of one of the last chunks
  const std::string b = cachedFile("small_chunks-" + std::to_string(n) + "-changed", bytes);
  const InputList inputs = expandInputs({a, b}, stdin);
  std::string said;
  for (auto _ : state) {
    Output out, err;
    if (runDiff(DiffRequest{}, inputs.files[0], inputs.files[1], out, err) != 1) {
      state.SkipWithError("no difference");
    }
    said = out.text();
  }
  state.SetLabel(said.substr(said.rfind('\n', said.size() - 2) + 1, said.size() - 1));
}
BENCHMARK(diffRun)
    ->Name("small_chunks_diff")
    ->Arg(1000000)
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
