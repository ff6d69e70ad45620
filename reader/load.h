// The one way in: loads a KXM file (or bytes already in memory) into a model, telling a sink
// what it meets and an observer what is wrong, and says how it went. The viewer, kxm-dump, kxm,
// the fuzzer, the benchmarks and the tests all load through here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "model/model.h"
#include "reader/chunk_reader.h"
#include "reader/chunk_sink.h"
#include "reader/findings.h"
#include "reader/load_failure.h"

namespace kxm {

struct LoadOutcome {
  bool loaded = false;
  LoadFailure failure;  // why not, when not loaded
  LoadUsage usage;      // what the walk used of the load's limits
};

// "loaded", "failed", or "missing" for a file that could not be had (none there, or a folder):
// what the viewer's status line tells apart, and every JSON document's `outcome`.
const char* outcomeName(const LoadOutcome& outcome);

// Fills `model` (the caller's, released when the caller lets it go; one that held records is
// emptied first) from the file at `path` (UTF-8 text on every system) or from `bytes`, tells `sink`
// every node (nullptr: nothing is told) and `observer` every finding (nullptr: nothing is checked),
// within `limits` (LoadLimits::forFileSize by default), with the file's image and the model's
// arrays from `blocks`. Nothing of it is process-wide. A failure keeps what was told and filled
// before it. The file's image is released before the call returns.
[[nodiscard]] LoadOutcome load(const char* path, Model& model, ChunkSink* sink = nullptr,
                               LoadObserver* observer = nullptr,
                               std::optional<LoadLimits> limits = std::nullopt,
                               const BlockSource& blocks = systemBlocks());
[[nodiscard]] LoadOutcome load(std::span<const std::uint8_t> bytes, Model& model,
                               ChunkSink* sink = nullptr, LoadObserver* observer = nullptr,
                               std::optional<LoadLimits> limits = std::nullopt,
                               const BlockSource& blocks = systemBlocks());

}  // namespace kxm
