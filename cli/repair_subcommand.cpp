// kxm repair: its options and its one form, IN and OUT.
#include "cli/command_line.h"
#include "cli/repair_command.h"
#include "files/paths.h"

namespace kxm {

namespace {

class RepairSubcommand final : public Subcommand {
 public:
  explicit RepairSubcommand(CommandLine& line)
      : Subcommand(line.add("repair",
                            "Write the part of the broken file IN that loaded whole to OUT, so "
                            "that OUT checks clean; a file with nothing to repair is not written.",
                            {"kxm repair [--quiet] IN OUT"})) {
    command_->add_flag("-q,--quiet", quiet_, "Say nothing of what was left out or changed.");
    command_->add_option("IN", in_, "The broken KXM file.")->required();
    command_->add_option("OUT", out_, "Where the repaired file goes; never IN.")->required();
  }

  int run(Output& out, Output& err) override {
    const int status =
        repairFile(files::pathFromText(in_), files::pathFromText(out_), quiet_, out, err);
    if (!written(out)) return 1;
    return status;
  }

 private:
  std::string in_, out_;
  bool quiet_ = false;
};

}  // namespace

std::unique_ptr<Subcommand> addRepair(CommandLine& line) {
  return std::make_unique<RepairSubcommand>(line);
}

}  // namespace kxm
