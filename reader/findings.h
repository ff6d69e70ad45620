// What is wrong in a file that loads: the walk reports each finding, at the place it concerns, to
// an observer it is handed. Whether it is printed, counted or turned into JSON is the
// observer's business; a walk with no observer computes none of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reader/issue_codes.h"
#include "reader/load_failure.h"

namespace kxm {

// The codes are in the table of every issue our tools report (reader/issue_codes.h).
using FindingCode = IssueCode;

struct Finding {
  FindingCode code;
  std::uint32_t offset = 0;    // what it concerns in the file
  std::vector<ChunkRef> path;  // the chunks it is in, outermost first; the last is its chunk
  std::string message;
};

class LoadObserver {
 public:
  virtual ~LoadObserver() = default;
  virtual void onFinding(Finding finding) = 0;
  // False once the observer only counts: the walk then spares itself the path and the message
  // (a hostile file may have millions of findings).
  virtual bool wantsDetail() const { return true; }
};

}  // namespace kxm
