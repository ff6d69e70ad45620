// kxm check: loads each file as the viewer does and reports every finding of the walk, and the
// failure that ended it, in file order: as lines in the form compilers use, or as one JSON
// report per file in the spirit of the glTF validator's.
#pragma once

#include <cstddef>

#include "cli/file_runner.h"
#include "format/issue_codes.h"

namespace kxm {

struct CheckRequest {
  bool json = false;
  bool quiet = false;               // no line for a file without findings
  std::size_t maxIssues = 100;      // listed per file; the counts are never capped
  bool strict = false;              // warnings fail the check too
  bool failedOnly = false;          // one line for each file with an error, its first; nothing else
  Severity least = Severity::Note;  // findings less severe go unsaid and uncounted
};

// Checks one file: its findings, and the line that counts them, to `out`; as JSON, its report,
// after a comma when it is not the first. The tally fails the run on an error (with strict, on a
// warning too).
Tally checkFile(const CheckRequest& request, std::size_t index, const Input& input, Output& out);

}  // namespace kxm
