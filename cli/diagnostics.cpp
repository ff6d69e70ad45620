#include "cli/diagnostics.h"

#include "text/format.h"

namespace kxm {

std::string diagnosticLine(std::string_view shownPath, const ListedIssue& issue) {
  std::string line(shownPath);
  if (issue.hasOffset) {
    line += ':';
    line += hex8(issue.offset);
  }
  line += ": ";
  line += severityName(issue.severity);
  line += ": ";
  line += issue.message + " [" + issue.code + "]";
  if (!issue.path.empty()) line += " in " + describePath(issue.path);
  line += '\n';
  return line;
}

}  // namespace kxm
