// kxm dump: its options, and the run over its inputs.
#include "cli/command_line.h"
#include "cli/dump_command.h"

namespace kxm {

namespace {

class Dump final : public Subcommand {
 public:
  explicit Dump(CommandLine& line)
      : Subcommand(line.add(
            "dump", "Print the chunk tree of each INPUT as the viewer shows it, one node per line.",
            {"kxm dump [--no-names] [--no-values] [--json] [--offsets] [--data] [-j N] [--quiet] "
             "INPUT..."})) {
    addShowFlags(command_, request_.showNames, request_.showValues);
    command_->add_flag("--json", request_.json,
                       "Print one JSON document per file, each on a line: the outcome, a "
                       "failure's explanation and the tree as nested nodes with their offsets, "
                       "codes and lengths.");
    command_->add_flag("--offsets", request_.offsets,
                       "Put each node's file offset and length field in hex before its line.");
    command_->add_flag("--data", request_.data,
                       "Under each data chunk, its values: vertices, indices, bone vertices and "
                       "weights, keys, matrices, materials, custom data as hex.");
    addRunFlags(command_, flags_, "Print no trees: only what failed, and the totals.");
    addInputs(command_, flags_);
  }

  int run(Output& out, Output& err) override {
    const InputList inputs = inputsOf(flags_.inputs, err);
    request_.headed = inputs.several && !request_.json;
    request_.quiet = flags_.quiet;
    const Tally total = runInputs(
        inputs, flags_,
        [&](std::size_t i, const Input& input, Output& o, Output& e) {
          return dumpFile(request_, i, input, o, e);
        },
        out, err);
    writeTotals(inputs, total, Totals::Loaded, err);
    return runStatus(total, out);
  }

 private:
  DumpRequest request_;
  RunFlags flags_;
};

}  // namespace

std::unique_ptr<Subcommand> addDump(CommandLine& line) {
  return std::make_unique<Dump>(line);
}

}  // namespace kxm
