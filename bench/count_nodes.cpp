// Prints how many nodes the tree of each file given has, as kxm-dump would build it.
#include <cstdio>

#include "cli/huge_page_blocks.h"
#include "model/model.h"
#include "reader/load.h"
#include "tree/memory_tree.h"
#include "tree/tree_sink.h"

int main(int argc, char** argv) {
  kxm::useHugePageBlocks();  // as kxm-dump does
  for (int i = 1; i < argc; ++i) {
    kxm::MemoryTreeControl control;
    kxm::ChunkTree tree;
    tree.Attach(&control);
    kxm::Model model;
    kxm::DisplayOptions options;
    kxm::TreeSink sink(tree, options);
    (void)kxm::load(argv[i], model, &sink);
    std::printf("%zu\n", control.liveCount());
  }
  return 0;
}
