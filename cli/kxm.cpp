// kxm: the command-line tool that looks inside KXM model files. Each subcommand takes files and
// folders (walked for .kxm files) and "-" for standard input, works on several files at once,
// and says what is wrong in one form. `kxm help` and each synopsis below say the rest.
//
// Exit 0 on success, 1 when a file failed (or, for check, had an error) or the output could not
// be written, 2 for bad usage.
#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "cli/check_command.h"
#include "cli/diff_command.h"
#include "cli/dump_command.h"
#include "cli/export_command.h"
#include "cli/file_runner.h"
#include "cli/info_command.h"
#include "cli/inputs.h"
#include "cli/process.h"
#include "files/temporaries.h"
#include "text/format.h"

namespace {

using kxm::Output;
using kxm::Tally;

// What `--help` shows as each command's usage; the README and the man page say the same.
const std::map<std::string, std::vector<std::string>>& synopses() {
  static const std::map<std::string, std::vector<std::string>> kSynopses{
      {"kxm", {"kxm SUBCOMMAND [OPTIONS] [ARGUMENTS]", "kxm --help | --version"}},
      {"dump",
       {"kxm dump [--no-names] [--no-values] [--json] [--offsets] [-j N] [--quiet] INPUT..."}},
      {"check", {"kxm check [--json] [--max-issues N] [--strict] [-j N] [--quiet] INPUT..."}},
      {"info", {"kxm info [--json] [--texture-dir DIR]... [-j N] [--quiet] INPUT..."}},
      {"export",
       {"kxm export [--ticks-per-second N] [--texture-dir DIR]... [--quiet] FILE OUT.glb|OUT.gltf",
        "kxm export --out-dir DIR [--format glb|gltf] [--ticks-per-second N] "
        "[--texture-dir DIR]... [-j N] [--quiet] INPUT..."}},
      {"diff",
       {"kxm diff [--no-names] [--no-values] [--epsilon E] [--max-differences N] [--json] A B"}},
      {"help", {"kxm help [SUBCOMMAND]"}},
  };
  return kSynopses;
}

class SynopsisFormatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App* app, std::string) const override {
    const auto found = synopses().find(app->get_name());
    if (found == synopses().end()) return {};
    std::string text;
    for (const std::string& line : found->second) {
      text += (text.empty() ? "Usage: " : "   or: ") + line + "\n";
    }
    return text;
  }
};

// A whole number of at least `least`, said plainly when it is not one.
CLI::Validator wholeNumber(std::uint64_t least) {
  return CLI::Validator(
      [least](std::string& text) -> std::string {
        std::uint64_t value = 0;
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        if (!text.empty() && error == std::errc() && stop == end && value >= least) return {};
        return "wants a whole number of " + std::to_string(least) + " or more, not '" + text +
               "'";
      },
      "");
}

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

// The viewer's Show names and Show values, turned off as kxm-dump turns them off.
void addShowFlags(CLI::App* command, bool& showNames, bool& showValues) {
  command->add_flag_callback(
      "--no-names", [&showNames] { showNames = false; },
      "Leave out the names that the file carries (Show names off).");
  command->add_flag_callback(
      "--no-values", [&showValues] { showValues = false; },
      "Leave out the values that chunks carry (Show values off).");
}

void addTextureDirs(CLI::App* command, std::vector<std::string>& dirs) {
  command->add_option("--texture-dir", dirs,
                      "Look for texture images here too, after the model's folder (repeatable, "
                      "in the order given).")
      ->allow_extra_args(false)  // one folder per --texture-dir: what follows is an input
      ->type_name("DIR");
}

// What every subcommand that runs over inputs takes.
struct RunFlags {
  std::vector<std::string> inputs;
  unsigned jobs = kxm::machineCores();
  bool quiet = false;
};

void addRunFlags(CLI::App* command, RunFlags& flags, const char* quietMeans) {
  command->add_option("-j,--jobs", flags.jobs, "Work on N files at once (default: one per core).")
      ->check(wholeNumber(1))
      ->type_name("N");
  command->add_flag("--quiet,-q", flags.quiet, quietMeans);
}

std::string totalsHead(const Tally& t) {
  return kxm::plural(t.files, "file", "files") + ": ";
}

// Whether everything went out; when not, says so.
bool written(const Output& out) {
  if (out.failed() || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    const int error = out.error() != 0 ? out.error() : errno;
    std::fprintf(stderr, "kxm: cannot write the output: %s\n", std::strerror(error));
    return false;
  }
  return true;
}

CLI::App* subcommandNamed(CLI::App& app, const std::string& name) {
  for (CLI::App* command : app.get_subcommands(std::function<bool(CLI::App*)>{})) {
    if (command->get_name() == name) return command;
  }
  return nullptr;
}

int usageError(const std::string& message, const std::string& subcommand) {
  std::fprintf(stderr, "kxm: %s\nRun 'kxm%s%s --help' for more information.\n", message.c_str(),
               subcommand.empty() ? "" : " ", subcommand.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  kxm::files::removeTemporariesOnStop();  // before any thread starts
  kxm::useBinaryOutput();
  CLI::App app{
      "Looks inside KXM model files: their chunk tree, everything wrong in them, and the model "
      "they hold, which it exports to glTF. Each INPUT is a file, a folder (its .kxm files, "
      "found in every folder below it) or - for standard input.",
      "kxm"};
  app.formatter(std::make_shared<SynopsisFormatter>());
  app.set_version_flag("--version", std::string("kxm ") + kxm::toolVersion());
  app.require_subcommand(1);

  kxm::DumpRequest dump;
  RunFlags dumpRun;
  CLI::App* dumpCommand = app.add_subcommand(
      "dump", "Print the chunk tree of each INPUT as the viewer shows it, one node per line.");
  addShowFlags(dumpCommand, dump.showNames, dump.showValues);
  dumpCommand->add_flag("--json", dump.json,
                        "Print one JSON document per file, each on a line: the outcome, a "
                        "failure's explanation and the tree as nested nodes with their offsets, "
                        "codes and lengths.");
  dumpCommand->add_flag("--offsets", dump.offsets,
                        "Put each node's file offset and length field in hex before its line.");
  addRunFlags(dumpCommand, dumpRun, "Print no trees: only what failed, and the totals.");
  dumpCommand->add_option("INPUT", dumpRun.inputs, "KXM files and folders.")->required();

  kxm::CheckRequest check;
  RunFlags checkRun;
  CLI::App* checkCommand = app.add_subcommand(
      "check", "Report everything wrong in each INPUT, with where it is, as compilers do.");
  checkCommand->add_flag("--json", check.json, "Print a JSON array of one report per file.");
  checkCommand
      ->add_option("--max-issues", check.maxIssues,
                   "List at most N findings per file; the counts are never capped (default 100).")
      ->check(wholeNumber(0))
      ->type_name("N");
  checkCommand->add_flag("--strict", check.strict, "Warnings fail the check too.");
  addRunFlags(checkCommand, checkRun,
              "Print only the findings and the totals: no line for a file without findings.");
  checkCommand->add_option("INPUT", checkRun.inputs, "KXM files and folders.")->required();

  kxm::InfoRequest info;
  RunFlags infoRun;
  CLI::App* infoCommand = app.add_subcommand(
      "info",
      "Summarise the model in each INPUT: frames, meshes, materials, textures, bones, "
      "animations.");
  infoCommand->add_flag("--json", info.json, "Print one JSON document per file, each on a line.");
  addTextureDirs(infoCommand, info.textureDirs);
  addRunFlags(infoCommand, infoRun, "Print no summaries: only what failed, and the totals.");
  infoCommand->add_option("INPUT", infoRun.inputs, "KXM files and folders.")->required();

  kxm::ExportRequest exportRequest;
  exportRequest.generator = std::string("kxm ") + kxm::toolVersion();
  RunFlags exportRun;
  std::string outDir, format = "glb";
  CLI::App* exportCommand = app.add_subcommand(
      "export",
      "Write the model in FILE as glTF 2.0 (OUT.glb, or OUT.gltf with OUT.bin), or each INPUT's "
      "to DIR/RELATIVE_PATH.glb, mirroring the folders below each named folder.");
  exportCommand
      ->add_option("--ticks-per-second", exportRequest.ticksPerSecond,
                   "Key times are ticks; this many make a second (default 1000).")
      ->check(ticksPerSecondCheck())
      ->type_name("N");
  addTextureDirs(exportCommand, exportRequest.textureDirs);
  exportCommand->add_option("--out-dir", outDir, "Export every INPUT into this folder.")
      ->type_name("DIR");
  exportCommand->add_option("--format", format, "With --out-dir: glb (the default) or gltf.")
      ->check(CLI::IsMember({"glb", "gltf"}))
      ->type_name("glb|gltf");
  addRunFlags(exportCommand, exportRun, "Say nothing of what the export left out or repaired.");
  exportCommand->add_option("INPUT", exportRun.inputs,
                            "FILE and OUT; with --out-dir, KXM files and folders.")
      ->required();

  kxm::DiffRequest diff;
  std::vector<std::string> diffFiles;
  CLI::App* diffCommand = app.add_subcommand(
      "diff",
      "Say what differs between the files A and B: their trees aligned by chunk path, then the "
      "content of the chunks in both, element by element. Exit 0 when they hold the same, 1 "
      "when they differ, 2 on trouble.");
  addShowFlags(diffCommand, diff.showNames, diff.showValues);
  diffCommand->add_option("--epsilon", diff.epsilon, "Floats this close are the same (default 0).")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            double value = -1;
            if (CLI::detail::lexical_cast(text, value) && std::isfinite(value) && value >= 0) {
              return {};
            }
            return "wants a number of 0 or more, not '" + text + "'";
          },
          ""))
      ->type_name("E");
  diffCommand
      ->add_option("--max-differences", diff.maxDifferences,
                   "List at most N differences; the count is never capped (default 100).")
      ->check(wholeNumber(0))
      ->type_name("N");
  diffCommand->add_flag("--json", diff.json, "Print one JSON document.");
  diffCommand->add_option("A B", diffFiles, "The two KXM files (one of them may be -).")
      ->required()
      ->expected(2);

  std::string helpTopic;
  CLI::App* helpCommand = app.add_subcommand("help", "Show the help of kxm or of a subcommand.");
  helpCommand->add_option("SUBCOMMAND", helpTopic, "The subcommand.");

  // An unknown first word is named, with the words that are known.
  if (argc > 1 && argv[1][0] != '-' && subcommandNamed(app, argv[1]) == nullptr) {
    return usageError(std::string("'") + argv[1] +
                          "' is not a subcommand; the subcommands are check, diff, dump, export, "
                          "help and info",
                      "");
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::string message = e.what();
    // "--max-issues: wants a whole number..." reads better without the colon.
    if (const auto at = message.find(": wants "); at != std::string::npos) message.erase(at, 1);
    const std::string subcommand = argc > 1 && argv[1][0] != '-' ? argv[1] : "";
    return usageError(message, subcommand);
  }

  if (*helpCommand) {
    if (helpTopic.empty()) {
      std::fputs(app.help().c_str(), stdout);
      return 0;
    }
    CLI::App* topic = subcommandNamed(app, helpTopic);
    if (topic == nullptr) return usageError("'" + helpTopic + "' is not a subcommand", "help");
    std::fputs(topic->help().c_str(), stdout);
    return 0;
  }

  Output out(stdout), err(stderr);
  if (*diffCommand) {
    for (const std::string& file : diffFiles) {
      if (file != "-" && std::filesystem::is_directory(file)) {
        return usageError(file + ": diff compares two files, not folders", "diff");
      }
    }
    const kxm::InputList inputs = kxm::expandInputs(diffFiles, stdin);
    const int status = kxm::runDiff(diff, inputs.files[0], inputs.files[1], out, err);
    return written(out) ? status : 2;  // as diff(1): trouble is 2
  }
  RunFlags& run = *dumpCommand    ? dumpRun
                  : *checkCommand ? checkRun
                  : *infoCommand  ? infoRun
                                  : exportRun;
  const bool singleExport = *exportCommand && outDir.empty();
  if (singleExport && run.inputs.size() != 2) {
    return usageError("export wants FILE and OUT, or --out-dir DIR and the inputs", "export");
  }
  if (singleExport && std::filesystem::is_directory(run.inputs[0])) {
    return usageError(run.inputs[0] + ": a folder is exported with --out-dir DIR", "export");
  }
  std::vector<std::string> named = run.inputs;
  if (singleExport) named.pop_back();
  const kxm::InputList inputs = kxm::expandInputs(named, stdin);
  for (const std::string& warning : inputs.warnings) err.write(warning + "\n");
  for (const std::string& error : inputs.errors) err.write(error + "\n");
  const kxm::RunSettings settings{run.jobs, !run.quiet};

  Tally total;
  total.errors = inputs.errors.size();  // folders that could not be read fail the run
  total.failedRun = !inputs.errors.empty();
  if (*dumpCommand) {
    dump.headed = inputs.several && !dump.json;
    dump.quiet = run.quiet;
    total += kxm::runOverInputs(
        inputs.files, settings,
        [&](std::size_t i, const kxm::Input& input, Output& o, Output& e) {
          return kxm::dumpFile(dump, i, input, o, e);
        },
        out, err);
    if (inputs.several) {
      err.write(totalsHead(total) + std::to_string(total.loaded) + " loaded, " +
                std::to_string(total.failed) + " failed to load\n");
    }
  } else if (*checkCommand) {
    check.quiet = run.quiet;
    if (check.json) out.write("[");
    total += kxm::runOverInputs(
        inputs.files, settings,
        [&](std::size_t i, const kxm::Input& input, Output& o, Output&) {
          return kxm::checkFile(check, i, input, o);
        },
        out, err);
    if (check.json) out.write("]\n");
    if (inputs.several) {
      (check.json ? err : out)
          .write(totalsHead(total) + std::to_string(total.loaded) + " loaded, " +
                 std::to_string(total.failed) + " failed to load, " +
                 std::to_string(total.withWarnings) + " with warnings; " +
                 kxm::plural(total.errors, "error", "errors") + ", " +
                 kxm::plural(total.warnings, "warning", "warnings") + "\n");
    }
  } else if (*infoCommand) {
    info.quiet = run.quiet;
    total += kxm::runOverInputs(
        inputs.files, settings,
        [&](std::size_t, const kxm::Input& input, Output& o, Output& e) {
          return kxm::infoFile(info, input, o, e);
        },
        out, err);
    if (inputs.several) {
      (info.json ? err : out)
          .write(totalsHead(total) + std::to_string(total.loaded) + " loaded, " +
                 std::to_string(total.failed) + " failed to load\n");
    }
  } else {
    exportRequest.quiet = run.quiet;
    std::string error;
    const std::vector<std::filesystem::path> outputs = kxm::planOutputs(
        inputs.files, singleExport ? run.inputs[1] : "", outDir, format == "glb", error);
    if (!error.empty()) {
      std::fprintf(stderr, "kxm: %s\n", error.c_str());
      return 2;
    }
    total += kxm::runOverInputs(
        inputs.files, settings,
        [&](std::size_t i, const kxm::Input& input, Output&, Output& e) {
          return kxm::exportFile(exportRequest, input, outputs[i], e);
        },
        out, err);
    if (inputs.several) {
      err.write(totalsHead(total) + std::to_string(total.loaded) + " exported, " +
                std::to_string(total.failed) + " failed\n");
    }
  }
  if (!written(out)) return 1;
  return total.failedRun ? 1 : 0;
}
