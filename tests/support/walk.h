// Runs the reader over bytes made by the test writer and keeps what the walk left: the outcome,
// the tree and, until the walk is destroyed, the model (the viewer's load clears it at once).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/model.h"
#include "reader/load.h"
#include "tests/support/kxm_writer.h"
#include "tree/chunk_tree.h"
#include "tree/labels.h"
#include "tree/memory_tree.h"
#include "tree/tree_dump.h"
#include "tree/tree_sink.h"

namespace kxm::test {

DisplayOptions options(bool names, bool values);

struct Walk {
  explicit Walk(const std::vector<std::uint8_t>& bytes, DisplayOptions display = {});
  explicit Walk(const KxmWriter& writer, DisplayOptions display = {})
      : Walk(writer.bytes(), display) {}

  // The whole tree as kxm-dump prints it.
  std::string dump();
  // The nodes below one root, its children at depth 0.
  std::string under(NodeHandle root);
  std::string frames() { return under(tree.framesRoot); }
  std::string animationSets() { return under(tree.animationSetsRoot); }
  Frame& frame(std::size_t i) { return model.frames[i]; }
  Mesh& mesh(std::size_t frameIndex, std::size_t meshIndex = 0) {
    return model.frames[frameIndex].meshes[meshIndex];
  }

  DisplayOptions shown;
  Model model;
  MemoryTreeControl control;
  ChunkTree tree;
  LoadOutcome outcome;
  int result = 0;
  const LoadFailure& failure() const { return outcome.failure; }
};

// A full load (model released at the end), as the viewer does it.
struct Loaded {
  int result;
  std::string dump;
  std::size_t nodes;
  LoadOutcome outcome;
};
Loaded load(const std::vector<std::uint8_t>& bytes, DisplayOptions shown = {});
Loaded loadPath(const std::string& path, DisplayOptions shown = {});
inline Loaded load(const KxmWriter& writer, DisplayOptions shown = {}) {
  return load(writer.bytes(), shown);
}

// A file of the usual header and what the body writes.
template <class Body>
KxmWriter written(Body body) {
  KxmWriter w;
  body(w);
  return w;
}

// A file with one Frame ROOT around the given frame payload writer.
template <class Body>
KxmWriter rootFrame(Body body) {
  KxmWriter w;
  w.open(1);
  body(w);
  w.close();
  return w;
}

// A file with one root frame holding one mesh around the given mesh payload.
template <class Body>
KxmWriter meshFile(Body body) {
  return rootFrame([&](KxmWriter& w) {
    w.open(103);
    body(w);
    w.close();
  });
}

}  // namespace kxm::test
