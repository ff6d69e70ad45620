// The one way in: loads a KXM file (or bytes already in memory) into a chunk tree, as the
// viewer's Load command does, and says how it went. The viewer, kxm-dump, the fuzzer and the
// tests all load through here.
#pragma once

#include <cstdint>
#include <span>

#include "model/model.h"
#include "reader/chunk_reader.h"
#include "reader/findings.h"
#include "reader/load_failure.h"
#include "tree/chunk_tree.h"
#include "tree/labels.h"

namespace kxm {

struct LoadOutcome {
  bool loaded = false;
  LoadFailure failure;  // why not, when not loaded
  LoadUsage usage;      // what the walk used of the load's limits
};

// What becomes of the model when the load ends: the viewer and kxm-dump release it (the tree is
// the lasting result); whoever reads the model keeps it and clears it when done.
enum class ModelUse { Release, Keep };

// The model is cleared first. The tree gets the nodes of the load whatever its outcome; a
// failure keeps those inserted before it. The image is released before the call returns.
// An observer, where one is handed, hears every finding of the walk (kxm check).
LoadOutcome loadFile(const char* path, ChunkTree& tree, const DisplayOptions& options, Model& model,
                     ModelUse use = ModelUse::Release, LoadObserver* observer = nullptr);
LoadOutcome loadBytes(std::span<const std::uint8_t> bytes, ChunkTree& tree,
                      const DisplayOptions& options, Model& model,
                      ModelUse use = ModelUse::Release, LoadObserver* observer = nullptr);

}  // namespace kxm
