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
            "Say what differs between the files A and B: their trees aligned by chunk path, "
            "then the content of the chunks in both, element by element. Exit 0 when they hold "
            "the same, 1 when they differ, 2 on trouble.",
            {"kxm diff [--no-names] [--no-values] [--epsilon E] [--max-differences N] [--json] "
             "A B"})) {
    addShowFlags(command_, request_.showNames, request_.showValues);
    command_
        ->add_option("--epsilon", request_.epsilon, "Floats this close are the same (default 0).")
        ->check(epsilonCheck())
        ->type_name("E");
    command_
        ->add_option("--max-differences", request_.maxDifferences,
                     "List at most N differences; the count is never capped (default 100).")
        ->check(wholeNumber(0))
        ->type_name("N");
    command_->add_flag("--json", request_.json, "Print one JSON document.");
    command_->add_option("A B", files_, "The two KXM files (one of them may be -).")
        ->required()
        ->expected(2);
  }

  int run(Output& out, Output& err) override {
    for (const std::string& file : files_) {
      std::error_code ignored;  // what cannot be looked at, the load explains
      if (file != "-" && std::filesystem::is_directory(files::pathFromText(file), ignored)) {
        return usageError(file + ": diff compares two files, not folders", "diff");
      }
    }
    const InputList inputs = expandInputs(files_, stdin);
    const int status = runDiff(request_, inputs.files[0], inputs.files[1], out, err);
    return written(out) ? status : 2;  // as diff(1): trouble is 2
  }

 private:
  DiffRequest request_;
  std::vector<std::string> files_;
};

}  // namespace

std::unique_ptr<Subcommand> addDiff(CommandLine& line) {
  return std::make_unique<Diff>(line);
}

}  // namespace kxm
