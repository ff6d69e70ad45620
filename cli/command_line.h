// kxm's command line: the subcommands' shared options, their usage lines, the parse with its
// usage errors and help, and what every run over files does the same way (the inputs, the
// totals line, the exit status). Each subcommand declares its own options and runs itself in a
// file of its own (*_subcommand.cpp); kxm.cpp only dispatches.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/file_runner.h"
#include "cli/inputs.h"
#include "cli/output.h"
#include "format/issue_codes.h"

namespace kxm {

// One subcommand, its options declared on the command line; run once they are parsed.
class Subcommand {
 public:
  explicit Subcommand(CLI::App* command) : command_(command) {}
  virtual ~Subcommand() = default;
  Subcommand(const Subcommand&) = delete;
  Subcommand& operator=(const Subcommand&) = delete;

  bool chosen() const { return command_->parsed(); }
  // The exit status: 0, 1 when a file failed or the output could not be written, 2 on misuse.
  virtual int run(Output& out, Output& err) = 0;

 protected:
  CLI::App* command_;
};

class CommandLine {
 public:
  CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // A subcommand with its usage lines, which `--help` shows (the README and the man page say
  // the same).
  CLI::App* add(const std::string& name, const std::string& description,
                std::vector<std::string> synopsis);
  // Parses the arguments: the exit status when that is all there is to do (help, the version,
  // a usage error), nothing when a subcommand is to run.
  std::optional<int> parse(int argc, char** argv);

 private:
  std::optional<int> help();

  std::map<std::string, std::vector<std::string>> synopses_;
  CLI::App app_;
  CLI::App* help_;
  std::string helpTopic_;
};

// Says a usage error and where help is; returns 2.
int usageError(const std::string& message, const std::string& subcommand);
// Whether everything went out to standard output; when not, says so.
bool written(const Output& out);

// A whole number of at least `least`, said plainly when it is not one.
CLI::Validator wholeNumber(std::uint64_t least);
// The viewer's Show names and Show values, turned off as kxm-dump turns them off.
void addShowFlags(CLI::App* command, bool& showNames, bool& showValues);
void addTextureDirs(CLI::App* command, std::vector<std::string>& dirs);
// --min-severity error|warning|note: the least severe finding said and counted (default note).
void addMinSeverity(CLI::App* command, Severity& least);

// What every subcommand that runs over inputs takes.
struct RunFlags {
  std::vector<std::string> inputs;
  unsigned jobs = machineCores();
  bool quiet = false;
};
void addRunFlags(CLI::App* command, RunFlags& flags, const char* quietMeans);
void addInputs(CLI::App* command, RunFlags& flags);

// The inputs `named` stands for, what the walk of the folders had to say written to `err`.
InputList inputsOf(const std::vector<std::string>& named, Output& err);
// Works on every input as `flags` say.
Tally runInputs(const InputList& inputs, const RunFlags& flags, const FileWork& work, Output& out,
                Output& err);

// What the totals line counts: loads, a check's findings too, or exports.
enum class Totals { Loaded, Checked, Exported };
// "N files: ..." on `to`, where the run was over several inputs; ", N notes" ends a check's only
// where there were notes, so that a run without any reads as it always did.
void writeTotals(const InputList& inputs, const Tally& total, Totals counts, Output& to);
// The exit status of a run over files.
int runStatus(const Tally& total, const Output& out);

// The subcommands, in the order --help lists them.
std::unique_ptr<Subcommand> addDump(CommandLine& line);
std::unique_ptr<Subcommand> addCheck(CommandLine& line);
std::unique_ptr<Subcommand> addInfo(CommandLine& line);
std::unique_ptr<Subcommand> addExport(CommandLine& line);
std::unique_ptr<Subcommand> addDiff(CommandLine& line);
std::unique_ptr<Subcommand> addRepair(CommandLine& line);
std::unique_ptr<Subcommand> addImport(CommandLine& line);

}  // namespace kxm
