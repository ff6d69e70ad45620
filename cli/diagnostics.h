// The one form in which every kxm subcommand says what is wrong, the form compilers use, so
// that editors and CI logs jump to the place:
//   PATH:0xOFFSET: error: MESSAGE [CODE] in CHUNK > PATH
// with no offset where there is none (a file that could not be had, an export's warning) and no
// chunk path at the top of the file.
#pragma once

#include <string>
#include <string_view>

#include "reader/findings.h"

namespace kxm {

std::string diagnosticLine(std::string_view shownPath, const ListedIssue& issue);

}  // namespace kxm
