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
    : shown(shownOptions), reader(model, tree, shown) {
  tree.Attach(&control);
  if (reader.setImage(bytes.data(), bytes.size())) result = reader.parseImage();
}

std::string Walk::dump() {
  return dumpTreeToString(control);
}

std::string Walk::under(NodeHandle root) {
  std::string out;
  std::vector<NodeHandle> next{control.firstChild(root)};
  while (!next.empty()) {
    const NodeHandle node = next.back();
    if (node == 0) {
      next.pop_back();
      continue;
    }
    next.back() = control.nextSibling(node);
    out.append(2 * (next.size() - 1), ' ');
    out += control.text(node);
    out += '\n';
    next.push_back(control.firstChild(node));
  }
  return out;
}

Loaded load(const std::vector<std::uint8_t>& bytes, DisplayOptions shown) {
  Model model;
  MemoryTreeControl control;
  ChunkTree tree;
  tree.Attach(&control);
  ChunkReader reader(model, tree, shown);
  const int result = reader.loadImage(bytes.data(), bytes.size());
  return {result, dumpTreeToString(control), model.empty() && !reader.hasImage()};
}

}  // namespace kxm::test
