// kxm check: its options, and the run over its inputs.
#include "cli/check_command.h"
#include "cli/command_line.h"

namespace kxm {

namespace {

class Check final : public Subcommand {
 public:
  explicit Check(CommandLine& line)
      : Subcommand(line.add(
            "check", "Report everything wrong in each INPUT, with where it is, as compilers do.",
            {"kxm check [--json] [--failed] [--max-issues N] [--strict] [--min-severity S] "
             "[-j N] [--quiet] INPUT..."})) {
    CLI::Option* json =
        command_->add_flag("--json", request_.json, "Print a JSON array of one report per file.");
    command_
        ->add_flag("--failed", request_.failedOnly,
                   "List only the files that fail to load or have errors, each on one line with "
                   "its first error; then the totals.")
        ->excludes(json);
    command_
        ->add_option("--max-issues", request_.maxIssues,
                     "List at most N findings per file; the counts are never capped (default 100).")
        ->check(wholeNumber(0))
        ->type_name("N");
    command_->add_flag("--strict", request_.strict, "Warnings fail the check too.");
    addMinSeverity(command_, request_.least);
    addRunFlags(command_, flags_,
                "Print only the findings and the totals: no line for a file without findings.");
    addInputs(command_, flags_);
  }

  int run(Output& out, Output& err) override {
    const InputList inputs = inputsOf(flags_.inputs, err);
    request_.quiet = flags_.quiet;
    if (request_.json) out.write("[");
    const Tally total = runInputs(
        inputs, flags_,
        [&](std::size_t i, const Input& input, Output& o, Output&) {
          return checkFile(request_, i, input, o);
        },
        out, err);
    if (request_.json) out.write("]\n");
    // The JSON array alone on standard output, so that it parses.
    writeTotals(inputs, total, Totals::Checked, request_.json ? err : out);
    return runStatus(total, out);
  }

 private:
  CheckRequest request_;
  RunFlags flags_;
};

}  // namespace

std::unique_ptr<Subcommand> addCheck(CommandLine& line) {
  return std::make_unique<Check>(line);
}

}  // namespace kxm
