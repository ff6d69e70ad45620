#include "cli/load_model.h"

#include "reader/load.h"
#include "tree/chunk_tree.h"

namespace kxm {

bool loadModelOrExplain(const std::string& path, Model& model, std::FILE* err) {
  ChunkTree tree;  // these commands need the model, not the tree
  const LoadOutcome outcome = loadFile(path.c_str(), tree, DisplayOptions{}, model, ModelUse::Keep);
  if (outcome.loaded) return true;
  model.clearModel();
  std::fprintf(err, "kxm: %s: %s\n", path.c_str(), describeFailure(outcome.failure).c_str());
  return false;
}

}  // namespace kxm
