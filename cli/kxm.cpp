// kxm: the command-line tool that looks inside KXM model files.
//
//   kxm dump [--no-names] [--no-values] [--json] [--offsets] FILE
//   kxm check [--json] [--max-issues N] [--strict] FILE...
//   kxm info [--json] FILE
//   kxm export [--ticks-per-second N] [--quiet] FILE OUT.glb|OUT.gltf
//
// Exit 0 on success, 1 when a file failed (or, for check, had an error), 2 for bad usage.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "cli/check_command.h"
#include "cli/dump_command.h"
#include "cli/export_command.h"
#include "cli/process.h"
#include "cli/info_command.h"

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
        return "must be a positive number, not '" + text + "'";
      },
      "POSITIVE");
}

}  // namespace

int main(int argc, char** argv) {
  kxm::useBinaryOutput();
  CLI::App app{
      "Looks inside KXM model files: their chunk tree, everything wrong in them, and the model "
      "they hold, which it exports to glTF.",
      "kxm"};
  app.set_version_flag("--version", std::string("kxm ") + kxm::toolVersion());
  app.require_subcommand(1);

  kxm::DumpRequest dump;
  CLI::App* dumpCommand = app.add_subcommand(
      "dump", "Print the chunk tree of FILE as the viewer shows it, one node per line.");
  dumpCommand->add_flag_callback(
      "--no-names", [&dump] { dump.showNames = false; },
      "Leave out the names that the file carries (Show names off).");
  dumpCommand->add_flag_callback(
      "--no-values", [&dump] { dump.showValues = false; },
      "Leave out the values that chunks carry (Show values off).");
  dumpCommand->add_flag("--json", dump.json,
                        "Print one JSON document: the outcome, a failure's explanation and the "
                        "tree as nested nodes with their offsets, codes and lengths.");
  dumpCommand->add_flag("--offsets", dump.offsets,
                        "Put each node's file offset and length field in hex before its line.");
  dumpCommand->add_option("FILE", dump.path, "The KXM file.")->required();

  kxm::CheckRequest check;
  CLI::App* checkCommand = app.add_subcommand(
      "check", "Report everything wrong in each FILE, with where it is, as compilers do.");
  checkCommand->add_flag("--json", check.json, "Print a JSON array of one report per file.");
  checkCommand
      ->add_option("--max-issues", check.maxIssues,
                   "List at most N findings per file; the counts are never capped.")
      ->default_val(100)
      ->check(CLI::NonNegativeNumber);
  checkCommand->add_flag("--strict", check.strict, "Warnings fail the check too.");
  checkCommand->add_option("FILE", check.files, "The KXM files.")->required();

  kxm::InfoRequest info;
  CLI::App* infoCommand = app.add_subcommand(
      "info",
      "Summarise the model in FILE: frames, meshes, materials, textures, bones, animations.");
  infoCommand->add_flag("--json", info.json, "Print one JSON document.");
  infoCommand->add_option("--texture-dir", info.textureDirs,
                          "Look for texture images here too, after the model's folder "
                          "(repeatable, in the order given).");
  infoCommand->add_option("FILE", info.path, "The KXM file.")->required();

  kxm::ExportRequest exportRequest;
  exportRequest.generator = std::string("kxm ") + kxm::toolVersion();
  CLI::App* exportCommand = app.add_subcommand(
      "export", "Write the model in FILE as glTF 2.0: OUT.glb, or OUT.gltf with OUT.bin.");
  exportCommand
      ->add_option("--ticks-per-second", exportRequest.ticksPerSecond,
                   "Key times are ticks; this many make a second.")
      ->default_val(1000)
      ->check(ticksPerSecondCheck());
  exportCommand->add_option("--texture-dir", exportRequest.textureDirs,
                            "Look for texture images here too, after the model's folder "
                            "(repeatable, in the order given).");
  exportCommand->add_flag("--quiet,-q", exportRequest.quiet,
                          "Say nothing of what the export left out or repaired.");
  exportCommand->add_option("FILE", exportRequest.input, "The KXM file.")->required();
  exportCommand->add_option("OUT", exportRequest.output, "The glTF file to write.")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "kxm: %s\nRun 'kxm --help' for more information.\n", e.what());
    return 2;
  }

  if (*dumpCommand) return kxm::runDump("kxm", dump, stdout, stderr);
  if (*infoCommand) return kxm::runInfo(info, stdout, stderr);
  if (*exportCommand) return kxm::runExport(exportRequest, stderr);
  return kxm::runCheck(check, stdout);
}
