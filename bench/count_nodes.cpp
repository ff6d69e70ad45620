// Prints how many nodes the tree of each file given has, as kxm-dump would build it.
#include <cstdio>

#include "cli/huge_page_blocks.h"
#include "model/model.h"
#include "reader/load.h"
#include "tree/memory_tree.h"
#include "tree/tree_sink.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    kxm::MemoryTreeControl control(false, kxm::hugePageBlocks());  // as kxm-dump's
    kxm::ChunkTree tree;
    tree.Attach(&control);
    kxm::Model model;
    kxm::DisplayOptions options;
    kxm::TreeSink sink(tree, options);
    (void)kxm::load(argv[i], model, &sink, nullptr, std::nullopt, kxm::hugePageBlocks());
    std::printf("%zu\n", control.liveCount());
  }
  return 0;
}
