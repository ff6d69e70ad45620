// What is wrong in a file that loads: the walk reports each finding, at the place it concerns, to
// an observer it is handed. Whether it is printed, counted or turned into JSON is the
// observer's business; a walk with no observer computes none of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "format/issue_codes.h"
#include "reader/load_failure.h"

namespace kxm {

// The codes are in the table of every issue our tools report (format/issue_codes.h).
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

// What kxm check reports of one load, and the browser beside its tree: every finding counted,
// the first `cap` kept whole (a hostile file may have millions, and the check must cost no
// more than the load), and a failed load's cause as the one error, always listed. Findings less
// severe than `least` are neither listed nor counted, as a compiler's -w leaves warnings out.
struct ListedIssue {
  std::string code;
  Severity severity = Severity::Warning;
  bool hasOffset = true;
  std::uint32_t offset = 0;
  std::vector<ChunkRef> path;
  std::string message;
};

// A failed load as the issue it ends the list with.
ListedIssue issueOf(const LoadFailure& failure);

class IssueList final : public LoadObserver {
 public:
  explicit IssueList(std::size_t cap, Severity least = Severity::Note) : cap_(cap), least_(least) {}
  void onFinding(Finding finding) override;
  bool wantsDetail() const override { return listed.size() < cap_; }
  // The failure, if the load failed, then everything in file order.
  void finish(const LoadFailure& failure);

  std::vector<ListedIssue> listed;
  std::uint64_t errors = 0;
  std::uint64_t warnings = 0;
  std::uint64_t notes = 0;
  bool truncated() const { return listed.size() < errors + warnings + notes; }
  // The first error in file order, or nullptr.
  const ListedIssue* firstError() const;

 private:
  std::size_t cap_;
  Severity least_;
};

}  // namespace kxm
