#include "reader/findings.h"

#include <algorithm>

namespace kxm {

void IssueList::onFinding(Finding finding) {
  ++warnings;
  if (listed.size() >= cap_) return;
  listed.push_back({std::string(issueName(finding.code)), false, true, finding.offset,
                    std::move(finding.path), std::move(finding.message)});
}

ListedIssue issueOf(const LoadFailure& failure) {
  return {std::string(causeName(failure.cause)), true, failure.hasOffset, failure.offset,
          failure.path, failure.message};
}

void IssueList::finish(const LoadFailure& failure) {
  if (failure) {
    errors = 1;
    listed.push_back(issueOf(failure));
  }
  // A file that could not be had has no offset: its error comes first.
  std::stable_sort(listed.begin(), listed.end(), [](const ListedIssue& a, const ListedIssue& b) {
    return (a.hasOffset ? a.offset + 1ull : 0) < (b.hasOffset ? b.offset + 1ull : 0);
  });
}

}  // namespace kxm
