// kxm: the command-line tool that looks inside KXM model files. Each subcommand takes files and
// folders (walked for .kxm files) and "-" for standard input, works on several files at once,
// and says what is wrong in one form. `kxm help` and each synopsis say the rest; each
// subcommand's options and run are in cli/*_subcommand.cpp.
//
// Exit 0 on success, 1 when a file failed (or, for check, had an error) or the output could not
// be written, 2 for bad usage.
#include <memory>
#include <vector>

#include "cli/command_line.h"
#include "cli/process.h"

int main(int argc, char** argv) {
  kxm::useBinaryOutput();
  kxm::CommandLine line;
  std::vector<std::unique_ptr<kxm::Subcommand>> subcommands;
  for (auto add : {kxm::addDump, kxm::addCheck, kxm::addInfo, kxm::addExport, kxm::addDiff}) {
    subcommands.push_back(add(line));
  }
  if (const std::optional<int> status = line.parse(argc, argv)) return *status;
  kxm::Output out(stdout), err(stderr);
  for (const auto& subcommand : subcommands) {
    if (subcommand->chosen()) return subcommand->run(out, err);
  }
  return 2;  // the parse asks for one subcommand
}
