// kxm import beside kxm export, in one run: the 1,000,000-vertex mesh taken out as GLB, then
// that GLB brought back into a model.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/bench_files.h"
#include "export/model_export.h"
#include "import/gltf_import.h"

namespace {

using namespace kxm;

std::string meshPath() {
  return bench::cachedFile("mesh_vertices-1000000", bench::meshFile(1000000));
}

void exportMesh(benchmark::State& state) {
  const std::string path = meshPath();
  for (auto _ : state) {
    Model model;
    gltf::Export done =
        gltf::exportModel([&](Model& m) { return load(path.c_str(), m); }, gltf::ExportOptions{});
    if (!gltf::writeFiles(done, path + ".glb", true)) state.SkipWithError(done.failure.c_str());
  }
}
BENCHMARK(exportMesh)->Name("mesh_1M_export")->Unit(benchmark::kMillisecond);

void importMesh(benchmark::State& state) {
  const std::string path = meshPath();
  gltf::Export done =
      gltf::exportModel([&](Model& m) { return load(path.c_str(), m); }, gltf::ExportOptions{});
  if (!gltf::writeFiles(done, path + ".glb", true)) state.SkipWithError(done.failure.c_str());
  for (auto _ : state) {
    Imported out;
    ImportWarnings warnings;
    std::string error;
    if (!importGltf(path + ".glb", {}, out, warnings, error)) state.SkipWithError(error.c_str());
  }
  std::remove((path + ".glb").c_str());
}
BENCHMARK(importMesh)->Name("mesh_1M_import")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
