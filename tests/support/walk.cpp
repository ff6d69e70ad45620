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
    : shown(shownOptions), reader(model, tree, shown) {
  tree.Attach(&control);
  if (reader.setImage(bytes.data(), bytes.size())) result = reader.parseImage();
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

Loaded loadWith(const std::function<int(ChunkReader&)>& run, DisplayOptions shown) {
  Model model;
  MemoryTreeControl control;
  ChunkTree tree;
  tree.Attach(&control);
  ChunkReader reader(model, tree, shown);
  const int result = run(reader);
  return {result, dumpTreeToString(control), model.empty() && !reader.hasImage(),
          control.liveCount()};
}

}  // namespace

Loaded load(const std::vector<std::uint8_t>& bytes, DisplayOptions shown) {
  return loadWith([&](ChunkReader& r) { return r.loadImage(bytes.data(), bytes.size()); }, shown);
}

Loaded loadPath(const std::string& path, DisplayOptions shown) {
  return loadWith([&](ChunkReader& r) { return r.load(path.c_str()); }, shown);
}

}  // namespace kxm::test
