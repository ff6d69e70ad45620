#include "tests/support/walk.h"

#include "tree/tree_dump.h"

#include <functional>

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

using Loader = std::function<LoadOutcome(ChunkTree&, const DisplayOptions&, Model&)>;

Loaded loadWith(const Loader& run, DisplayOptions shown) {
  Model model;
  MemoryTreeControl control;
  ChunkTree tree;
  tree.Attach(&control);
  LoadOutcome outcome = run(tree, shown, model);
  return {outcome.loaded ? 1 : 0, dumpTreeToString(control), control.liveCount(),
          std::move(outcome)};
}

}  // namespace

Loaded load(const std::vector<std::uint8_t>& bytes, DisplayOptions shown) {
  return loadWith([&](ChunkTree& t, const DisplayOptions& o,
                      Model& m) {
                    TreeSink sink(t, o);
                    return load(bytes, m, &sink);
                  },
                  shown);
}

Loaded loadPath(const std::string& path, DisplayOptions shown) {
  return loadWith([&](ChunkTree& t, const DisplayOptions& o,
                      Model& m) {
                    TreeSink sink(t, o);
                    return load(path.c_str(), m, &sink);
                  },
                  shown);
}

}  // namespace kxm::test
