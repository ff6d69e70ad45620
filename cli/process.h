// What both command-line programs set up the same way: their version, and output whose lines end
// in a line feed on every platform, as scripts and diffs expect.
#pragma once

namespace kxm {

// The version the build gives (KXM_VERSION, from the project), "0" where it gives none.
const char* toolVersion();

// On Windows, stdin, stdout and stderr in binary mode, so that "\n" stays "\n"; elsewhere nothing.
void useBinaryOutput();

// Whether everything written to standard output got there (a full disk, a closed pipe); when
// not, says so on stderr as PROGRAM: cannot write the output: REASON. `earlier` is the errno of a
// write that failed before, if any.
bool stdoutWritten(const char* program, int earlier = 0);

}  // namespace kxm
