// kxm info: its options, and the run over its inputs.
#include "cli/command_line.h"
#include "cli/info_command.h"

namespace kxm {

namespace {

class Info final : public Subcommand {
 public:
  explicit Info(CommandLine& line)
      : Subcommand(line.add("info",
                            "Summarise the model in each INPUT: frames, meshes, materials, "
                            "textures, bones, animations.",
                            {"kxm info [--json] [--texture-dir DIR]... [--min-severity S] "
                             "[-j N] [--quiet] INPUT..."})) {
    command_->add_flag("--json", request_.json,
                       "Print one JSON document per file, each on a line.");
    addTextureDirs(command_, request_.textureDirs);
    // What info says of a file is its summary or the error that stopped its load, which every
    // minimum shows; taken as check and export take it, so that one line of options fits all.
    addMinSeverity(command_, least_);
    addRunFlags(command_, flags_, "Print no summaries: only what failed, and the totals.");
    addInputs(command_, flags_);
  }

  int run(Output& out, Output& err) override {
    const InputList inputs = inputsOf(flags_.inputs, err);
    request_.quiet = flags_.quiet;
    const Tally total = runInputs(
        inputs, flags_,
        [&](std::size_t, const Input& input, Output& o, Output& e) {
          return infoFile(request_, input, o, e);
        },
        out, err);
    // The JSON documents alone on standard output, so that each line parses.
    writeTotals(inputs, total, Totals::Loaded, request_.json ? err : out);
    return runStatus(total, out);
  }

 private:
  InfoRequest request_;
  RunFlags flags_;
  Severity least_ = Severity::Note;
};

}  // namespace

std::unique_ptr<Subcommand> addInfo(CommandLine& line) {
  return std::make_unique<Info>(line);
}

}  // namespace kxm
