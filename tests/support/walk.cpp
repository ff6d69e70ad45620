#include "tests/support/walk.h"

#include "tree/tree_dump.h"

namespace kxm::test {

DisplayOptions options(bool names, bool values) {
  DisplayOptions o;
  o.ShowNamesOption = names ? 1 : 0;
  o.ShowValuesOption = values ? 1 : 0;
  return o;
}

Walk::Walk(const std::vector<std::uint8_t>& bytes, DisplayOptions shownOptions)
    : shown(shownOptions) {
  tree.Attach(&control);
  TreeSink sink(tree, shown);
  outcome = load(bytes, model, &sink);
  result = outcome.loaded ? 1 : 0;
}

std::string Walk::dump() {
  return dumpTreeToString(control);
}

std::string Walk::under(NodeHandle root) {
  std::string out;
  visitPreOrder(control, root, [&](NodeHandle node, std::size_t depth) {
    out.append(2 * depth, ' ');
    out += control.text(node);
    out += '\n';
    return true;
  });
  return out;
}

namespace {

// Loads from bytes or from a path into a tree of its own, which is then dumped and let go.
template <class Source>
Loaded loadFrom(const Source& source, DisplayOptions shown) {
  Model model;
  MemoryTreeControl control;
  ChunkTree tree;
  tree.Attach(&control);
  TreeSink sink(tree, shown);
  LoadOutcome outcome = load(source, model, &sink);
  return {outcome.loaded ? 1 : 0, dumpTreeToString(control), control.liveCount(),
          std::move(outcome)};
}

}  // namespace

Loaded load(const std::vector<std::uint8_t>& bytes, DisplayOptions shown) {
  return loadFrom(bytes, shown);
}

Loaded loadPath(const std::string& path, DisplayOptions shown) {
  return loadFrom(path.c_str(), shown);
}

}  // namespace kxm::test
