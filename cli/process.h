// What both command-line programs set up the same way: their version, and output whose lines end
// in a line feed on every platform, as scripts and diffs expect.
#pragma once

#include <string>
#include <vector>

namespace kxm {

// wmain's wide arguments as UTF-8 text, for the code that takes them as char**: on Windows the
// narrow command line is in the ANSI code page and has lost every letter outside it.
class Utf8Arguments {
 public:
  Utf8Arguments(int argc, wchar_t** argv);
  int argc() const { return static_cast<int>(text_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> text_;
  std::vector<char*> pointers_;  // into text_, then a null as argv ends
};

// The program's entry point, calling `start` with UTF-8 arguments: on Windows they come wide
// (-municode) and are converted; elsewhere they are passed on as they are.
#if defined(_WIN32)
#define KXM_MAIN(start)                               \
  int wmain(int argc, wchar_t** argv) {               \
    kxm::Utf8Arguments arguments(argc, argv);         \
    return start(arguments.argc(), arguments.argv()); \
  }
#else
#define KXM_MAIN(start)             \
  int main(int argc, char** argv) { \
    return start(argc, argv);       \
  }
#endif

// The version the build gives (KXM_VERSION, from the project), "0" where it gives none.
const char* toolVersion();

// On Windows, stdin, stdout and stderr in binary mode, so that "\n" stays "\n", and a console
// that shows UTF-8 for as long as the program runs (what the programs write is UTF-8, as it is
// on every system; redirected, it is those bytes); elsewhere nothing.
void useBinaryOutput();

// Whether everything written to standard output got there (a full disk, a closed pipe); when
// not, says so on stderr as PROGRAM: cannot write the output: REASON. `earlier` is the errno of a
// write that failed before, if any.
bool stdoutWritten(const char* program, int earlier = 0);

}  // namespace kxm
