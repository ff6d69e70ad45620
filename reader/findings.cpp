#include "reader/findings.h"

#include <algorithm>

namespace kxm {

void IssueList::onFinding(Finding finding) {
  const IssueKind& kind = issueKind(finding.code);
  if (!atLeast(kind.severity, least_)) return;
  switch (kind.severity) {
    case Severity::Error: ++errors; break;
    case Severity::Warning: ++warnings; break;
    case Severity::Note: ++notes; break;
  }
  if (listed.size() >= cap_) return;
  listed.push_back({std::string(kind.name), kind.severity, true, finding.offset,
                    std::move(finding.path), std::move(finding.message)});
}

ListedIssue issueOf(const LoadFailure& failure) {
  // kxm's own words where the viewer's would not say what is wrong.
  const std::string& message =
      failure.plainMessage.empty() ? failure.message : failure.plainMessage;
  return {std::string(causeName(failure.cause)),
          Severity::Error,
          failure.hasOffset,
          failure.offset,
          failure.path,
          message};
}

const ListedIssue* IssueList::firstError() const {
  for (const ListedIssue& issue : listed) {
    if (issue.severity == Severity::Error) return &issue;
  }
  return nullptr;
}

void IssueList::finish(const LoadFailure& failure) {
  if (failure) {
    ++errors;
    listed.push_back(issueOf(failure));
  }
  // A file that could not be had has no offset: its error comes first.
  std::stable_sort(listed.begin(), listed.end(), [](const ListedIssue& a, const ListedIssue& b) {
    return (a.hasOffset ? a.offset + 1ull : 0) < (b.hasOffset ? b.offset + 1ull : 0);
  });
}

}  // namespace kxm
