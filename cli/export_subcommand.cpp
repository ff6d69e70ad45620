// kxm export: its options, the two forms (FILE OUT, or --out-dir DIR and the inputs), and the
// run over its inputs.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include "cli/command_line.h"
#include "cli/export_command.h"
#include "cli/process.h"
#include "files/paths.h"

namespace kxm {

namespace {

// Key times are 32-bit ticks; seconds are ticks / N, and glTF wants them finite: N must be a
// finite number above 0 that leaves the largest tick a finite float.
CLI::Validator ticksPerSecondCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double value = 0;
        const bool number = CLI::detail::lexical_cast(text, value);
        if (number && std::isfinite(value) && value > 0 &&
            4294967296.0 / value <= std::numeric_limits<float>::max()) {
          return {};
        }
        return "wants a positive number, not '" + text + "'";
      },
      "");
}

class Export final : public Subcommand {
 public:
  explicit Export(CommandLine& line)
      : Subcommand(line.add(
            "export",
            "Write the model in FILE as glTF 2.0 (OUT.glb, or OUT.gltf with OUT.bin), or each "
            "INPUT's to DIR/RELATIVE_PATH.glb, mirroring the folders below each named folder.",
            {"kxm export [--ticks-per-second N] [--texture-dir DIR]... [--min-severity S] "
             "[--quiet] FILE OUT.glb|OUT.gltf",
             "kxm export --out-dir DIR [--format glb|gltf] [--ticks-per-second N] "
             "[--texture-dir DIR]... [--min-severity S] [-j N] [--quiet] INPUT..."})) {
    request_.generator = std::string("kxm ") + toolVersion();
    command_
        ->add_option("--ticks-per-second", request_.ticksPerSecond,
                     "Key times are ticks; this many make a second (default 1000).")
        ->check(ticksPerSecondCheck())
        ->type_name("N");
    addTextureDirs(command_, request_.textureDirs);
    command_->add_option("--out-dir", outDir_, "Export every INPUT into this folder.")
        ->type_name("DIR");
    command_->add_option("--format", format_, "With --out-dir: glb (the default) or gltf.")
        ->check(CLI::IsMember({"glb", "gltf"}))
        ->type_name("glb|gltf");
    addMinSeverity(command_, request_.least);
    addRunFlags(command_, flags_, "Say nothing of what the export left out or repaired.");
    command_
        ->add_option("INPUT", flags_.inputs, "FILE and OUT; with --out-dir, KXM files and folders.")
        ->required();
  }

  int run(Output& out, Output& err) override {
    const bool single = outDir_.empty();
    std::vector<std::string> named = flags_.inputs;
    if (single && named.size() != 2) {
      return usageError("export wants FILE and OUT, or --out-dir DIR and the inputs", "export");
    }
    std::error_code error;  // what cannot be looked at, the load explains
    if (single && std::filesystem::is_directory(files::pathFromText(named[0]), error)) {
      return usageError(named[0] + ": a folder is exported with --out-dir DIR", "export");
    }
    const std::filesystem::path outDir = files::pathFromText(outDir_);
    if (!single && std::filesystem::exists(outDir, error) &&
        !std::filesystem::is_directory(outDir, error)) {
      return usageError("--out-dir wants a folder, not the file '" + outDir_ + "'", "export");
    }
    if (single) named.pop_back();
    const InputList inputs = inputsOf(named, err);
    request_.quiet = flags_.quiet;
    std::string refusal;
    const std::vector<std::filesystem::path> outputs = planOutputs(
        inputs.files, single ? flags_.inputs[1] : "", outDir_, format_ == "glb", refusal);
    if (!refusal.empty()) {
      std::fprintf(stderr, "kxm: %s\n", refusal.c_str());
      return 2;
    }
    const Tally total = runInputs(
        inputs, flags_,
        [&](std::size_t i, const Input& input, Output&, Output& e) {
          return exportFile(request_, input, outputs[i], e);
        },
        out, err);
    writeTotals(inputs, total, Totals::Exported, err);
    return runStatus(total, out);
  }

 private:
  ExportRequest request_;
  RunFlags flags_;
  std::string outDir_, format_ = "glb";
};

}  // namespace

std::unique_ptr<Subcommand> addExport(CommandLine& line) {
  return std::make_unique<Export>(line);
}

}  // namespace kxm
