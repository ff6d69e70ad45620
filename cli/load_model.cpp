#include "cli/load_model.h"

#include "cli/huge_page_blocks.h"
#include "reader/load.h"

namespace kxm {

bool loadModelOrExplain(const std::string& path, Model& model, std::FILE* err) {
  const LoadOutcome outcome =  // the model, no tree
      load(path.c_str(), model, nullptr, nullptr, std::nullopt, hugePageBlocks());
  if (outcome.loaded) return true;
  std::fprintf(err, "kxm: %s: %s\n", path.c_str(), describeFailure(outcome.failure).c_str());
  return false;
}

}  // namespace kxm
