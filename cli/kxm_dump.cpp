// kxm-dump: loads a KXM file as the viewer's Load command does and prints the chunk tree.
//
//   kxm-dump [--no-names] [--no-values] FILE
//
// One line per node, pre-order, two spaces per depth. Exit 0 when the load succeeded, 1 when the
// file is missing or could not be read (the tree is printed all the same, and stderr says the
// status line's text, then what failed and where), 2 for bad usage.
#include <cstdio>
#include <cstring>

#include "cli/dump_command.h"
#include "cli/process.h"
#include "tree/labels.h"

namespace {

constexpr const char* kUsage =
    "usage: kxm-dump [--no-names] [--no-values] FILE\n"
    "Prints the chunk tree of a KXM model file, one node per line.\n"
    "  --no-names   leave out the names that the file carries (Show names off)\n"
    "  --no-values  leave out the values that chunks carry (Show values off)\n"
    "  -h, --help   print this text\n"
    "  --version    print the version\n";

int usageError(const char* message, const char* argument) {
  std::fprintf(stderr, "kxm-dump: %s%s\n%s", message, argument, kUsage);
  return 2;
}

int start(int argc, char** argv) {
  kxm::useBinaryOutput();
  kxm::DisplayOptions options;
  const char* path = nullptr;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
      if (std::strcmp(arg, "--") == 0) {
        optionsEnded = true;
      } else if (std::strcmp(arg, "--no-names") == 0) {
        options.ShowNamesOption = 0;
      } else if (std::strcmp(arg, "--no-values") == 0) {
        options.ShowValuesOption = 0;
      } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        std::fputs(kUsage, stdout);
        return kxm::stdoutWritten("kxm-dump") ? 0 : 1;
      } else if (std::strcmp(arg, "--version") == 0) {
        std::printf("kxm-dump %s\n", kxm::toolVersion());
        return kxm::stdoutWritten("kxm-dump") ? 0 : 1;
      } else {
        return usageError("unknown option ", arg);
      }
    } else if (path == nullptr) {
      path = arg;
    } else {
      return usageError("more than one file: ", arg);
    }
  }
  if (path == nullptr) return usageError("no file given", "");

  kxm::DumpRequest request;
  request.path = path;
  request.showNames = options.ShowNamesOption == 1;
  request.showValues = options.ShowValuesOption == 1;
  return kxm::runDump("kxm-dump", request, stdout, stderr);
}

}  // namespace

KXM_MAIN(start)
