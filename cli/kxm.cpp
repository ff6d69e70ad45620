// kxm: the command-line tool that looks inside KXM model files. Each subcommand takes files and
// folders (walked for .kxm files) and "-" for standard input, works on several files at once,
// and says what is wrong in one form. `kxm help` and each synopsis say the rest; each
// subcommand's options and run are in cli/*_subcommand.cpp.
//
// Exit 0 on success, 1 when a file failed (or, for check, had an error) or the output could not
// be written, 2 for bad usage.
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "cli/command_line.h"
#include "cli/process.h"
#include "files/temporaries.h"

namespace {

int run(int argc, char** argv) {
  kxm::CommandLine line;
  std::vector<std::unique_ptr<kxm::Subcommand>> subcommands;
  for (auto add : {kxm::addDump, kxm::addCheck, kxm::addInfo, kxm::addExport, kxm::addImport,
                   kxm::addDiff, kxm::addRepair}) {
    subcommands.push_back(add(line));
  }
  if (const std::optional<int> status = line.parse(argc, argv)) return *status;
  kxm::Output out(stdout), err(stderr);
  for (const auto& subcommand : subcommands) {
    if (subcommand->chosen()) return subcommand->run(out, err);
  }
  return 2;  // the parse asks for one subcommand
}

int start(int argc, char** argv) {
  kxm::files::removeTemporariesOnStop();  // before any thread starts
  kxm::useBinaryOutput();
  // Whatever a file or the system throws past the guards of each file ends the run with its
  // reason, never with an abort.
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("kxm: error: out of memory [out-of-memory]\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kxm: error: %s\n", e.what());
  }
  return 2;
}

}  // namespace

KXM_MAIN(start)
