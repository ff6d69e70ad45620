// kxm check: loads each file as the viewer does and reports every finding of the walk, and the
// failure that ended it, in file order: as lines in the form compilers use, or as one JSON
// report per file in the spirit of the glTF validator's.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace kxm {

struct CheckRequest {
  std::vector<std::string> files;
  bool json = false;
  std::size_t maxIssues = 100;  // listed per file; the counts are never capped
  bool strict = false;          // warnings fail the check too
};

// Returns the exit status: 0 when no file has an error (with strict, no warning either), else 1.
int runCheck(const CheckRequest& request, std::FILE* out);

}  // namespace kxm
