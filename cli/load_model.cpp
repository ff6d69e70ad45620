#include "cli/load_model.h"

#include "reader/load.h"

namespace kxm {

bool loadModelOrExplain(const std::string& path, Model& model, std::FILE* err) {
  const LoadOutcome outcome = load(path.c_str(), model);  // the model, no tree
  if (outcome.loaded) return true;
  std::fprintf(err, "kxm: %s: %s\n", path.c_str(), describeFailure(outcome.failure).c_str());
  return false;
}

}  // namespace kxm
