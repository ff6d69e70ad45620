// kxm diff: its options, and the comparison of its two files.
#include <cmath>
#include <filesystem>
#include <system_error>

#include "cli/command_line.h"
#include "cli/diff_command.h"
#include "files/paths.h"

namespace kxm {

namespace {

CLI::Validator epsilonCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double value = -1;
        if (CLI::detail::lexical_cast(text, value) && std::isfinite(value) && value >= 0) {
          return {};
        }
        return "wants a number of 0 or more, not '" + text + "'";
      },
      "");
}

class Diff final : public Subcommand {
 public:
  explicit Diff(CommandLine& line)
      : Subcommand(line.add(
            "diff",
            "Say what differs between the files A and B: frames, animation sets and animations "
            "paired by name, other chunks by place; then each value, and the content of data "
            "chunks element by element. A file that fails to load is compared as far as it "
            "loaded, its failure one more difference. Two folders: their .kxm files paired by "
            "path below them. Exit 0 when they hold the same, 1 when they differ, 2 on trouble.",
            {"kxm diff [--no-names] [--no-values] [--epsilon E] [--max-differences N] [--json] "
             "[-j N] [--quiet] A B"})) {
    addShowFlags(command_, request_.showNames, request_.showValues);
    command_
        ->add_option("--epsilon", request_.epsilon, "Floats this close are the same (default 0).")
        ->check(epsilonCheck())
        ->type_name("E");
    command_
        ->add_option("--max-differences", request_.maxDifferences,
                     "List at most N differences of each pair of files; the count is never capped "
                     "(default 100).")
        ->check(wholeNumber(0))
        ->type_name("N");
    command_->add_flag("--json", request_.json,
                       "Print one JSON document; over folders, one per file, each on a line.");
    addRunFlags(command_, flags_,
                "List no differences: only how many, of each pair that differs, and the totals.");
    command_->add_option("A B", files_, "The two KXM files (one of them may be -), or folders.")
        ->required()
        ->expected(2);
  }

  int run(Output& out, Output& err) override {
    request_.jobs = flags_.jobs;
    request_.progress = !flags_.quiet;
    if (flags_.quiet) request_.maxDifferences = 0;
    int folders = 0;
    std::string folder;
    for (const std::string& file : files_) {
      std::error_code ignored;  // what cannot be looked at, the load explains
      if (file != "-" && std::filesystem::is_directory(files::pathFromText(file), ignored))
        ++folders, folder = file;
    }
    if (folders == 1) {
      return usageError(
          folder + ": diff compares two files or two folders, not a folder and a file", "diff");
    }
    int status = 0;
    if (folders == 2) {
      status = runFolderDiff(request_, files_[0], files_[1], out, err);
    } else {
      const InputList inputs = expandInputs(files_, stdin);
      status = runDiff(request_, inputs.files[0], inputs.files[1], out, err);
    }
    return written(out) ? status : 2;  // as diff(1): trouble is 2
  }

 private:
  DiffRequest request_;
  RunFlags flags_;
  std::vector<std::string> files_;
};

}  // namespace

std::unique_ptr<Subcommand> addDiff(CommandLine& line) {
  return std::make_unique<Diff>(line);
}

}  // namespace kxm
