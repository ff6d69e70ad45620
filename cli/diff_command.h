// kxm diff: what differs between two KXM files, as a person comparing two versions of a model
// wants it: the chunk trees aligned by chunk path (a chunk in one file only is added or removed,
// not every later line changed), then, for chunks in both, their content element by element.
#pragma once

#include <cstdint>
#include <string>

#include "cli/inputs.h"
#include "cli/output.h"

namespace kxm {

struct DiffRequest {
  bool showNames = true;
  bool showValues = true;
  double epsilon = 0;                 // floats this close are the same
  std::uint64_t maxDifferences = 100;  // listed; the count is always whole
  bool json = false;
};

// Returns the exit status as diff(1) does: 0 when the files hold the same, 1 when they differ,
// 2 when one cannot be loaded whole (explained on err).
int runDiff(const DiffRequest& request, const Input& a, const Input& b, Output& out, Output& err);

}  // namespace kxm
