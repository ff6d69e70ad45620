#include "cli/command_line.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/process.h"
#include "files/paths.h"
#include "text/format.h"

namespace kxm {

namespace {

class SynopsisFormatter : public CLI::Formatter {
 public:
  explicit SynopsisFormatter(const std::map<std::string, std::vector<std::string>>& synopses)
      : synopses_(synopses) {}

  std::string make_usage(const CLI::App* app, std::string) const override {
    const auto found = synopses_.find(app->get_name());
    if (found == synopses_.end()) return {};
    std::string text;
    for (const std::string& line : found->second) {
      text += (text.empty() ? "Usage: " : "   or: ") + line + "\n";
    }
    return text;
  }

 private:
  const std::map<std::string, std::vector<std::string>>& synopses_;
};

CLI::App* subcommandNamed(CLI::App& app, const std::string& name) {
  for (CLI::App* command : app.get_subcommands(std::function<bool(CLI::App*)>{})) {
    if (command->get_name() == name) return command;
  }
  return nullptr;
}

// Help and the version go to standard output, and a full disk is said, not taken for success.
int printed(const std::string& text) {
  Output out(stdout);
  out.write(text);
  return written(out) ? 0 : 1;
}

}  // namespace

CommandLine::CommandLine()
    : app_(
          "Looks inside KXM model files: their chunk tree, everything wrong in them, and the "
          "model they hold, which it exports to glTF. Each INPUT is a file, a folder (its .kxm "
          "files, found in every folder below it) or - for standard input.",
          "kxm") {
  synopses_["kxm"] = {"kxm SUBCOMMAND [OPTIONS] [ARGUMENTS]", "kxm --help | --version"};
  app_.formatter(std::make_shared<SynopsisFormatter>(synopses_));
  app_.set_version_flag("--version", std::string("kxm ") + toolVersion());
  app_.require_subcommand(1);
}

CLI::App* CommandLine::add(const std::string& name, const std::string& description,
                           std::vector<std::string> synopsis) {
  synopses_[name] = std::move(synopsis);
  return app_.add_subcommand(name, description);
}

std::optional<int> CommandLine::parse(int argc, char** argv) {
  // Last, as --help lists it.
  help_ = add("help", "Show the help of kxm or of a subcommand.", {"kxm help [SUBCOMMAND]"});
  help_->add_option("SUBCOMMAND", helpTopic_, "The subcommand.");

  // An unknown first word is named, with the words that are known.
  if (argc > 1 && argv[1][0] != '-' && subcommandNamed(app_, argv[1]) == nullptr) {
    return usageError(std::string("'") + argv[1] +
                          "' is not a subcommand; the subcommands are check, diff, dump, export, "
                          "help and info",
                      "");
  }
  try {
    app_.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    return printed(app_.help());
  } catch (const CLI::CallForAllHelp&) {
    return printed(app_.help("", CLI::AppFormatMode::All));
  } catch (const CLI::CallForVersion& e) {
    return printed(std::string(e.what()) + "\n");
  } catch (const CLI::ParseError& e) {
    std::string message = e.what();
    // "--max-issues: wants a whole number..." reads better without the colon.
    if (const auto at = message.find(": wants "); at != std::string::npos) message.erase(at, 1);
    const std::string subcommand = argc > 1 && argv[1][0] != '-' ? argv[1] : "";
    return usageError(message, subcommand);
  }
  return help();
}

std::optional<int> CommandLine::help() {
  if (!*help_) return std::nullopt;
  if (helpTopic_.empty()) return printed(app_.help());
  CLI::App* topic = subcommandNamed(app_, helpTopic_);
  if (topic == nullptr) return usageError("'" + helpTopic_ + "' is not a subcommand", "help");
  return printed(topic->help());
}

int usageError(const std::string& message, const std::string& subcommand) {
  std::fprintf(stderr, "kxm: %s\nRun 'kxm%s%s --help' for more information.\n", message.c_str(),
               subcommand.empty() ? "" : " ", subcommand.c_str());
  return 2;
}

bool written(const Output& out) {
  return stdoutWritten("kxm", out.failed() ? (out.error() != 0 ? out.error() : EIO) : 0);
}

CLI::Validator wholeNumber(std::uint64_t least) {
  return CLI::Validator(
      [least](std::string& text) -> std::string {
        std::uint64_t value = 0;
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        if (!text.empty() && error == std::errc() && stop == end && value >= least) return {};
        return "wants a whole number of " + std::to_string(least) + " or more, not '" + text + "'";
      },
      "");
}

void addShowFlags(CLI::App* command, bool& showNames, bool& showValues) {
  command->add_flag_callback(
      "--no-names", [&showNames] { showNames = false; },
      "Leave out the names that the file carries (Show names off).");
  command->add_flag_callback(
      "--no-values", [&showValues] { showValues = false; },
      "Leave out the values that chunks carry (Show values off).");
}

void addTextureDirs(CLI::App* command, std::vector<std::string>& dirs) {
  // A folder that is not there is a slip of the user's, not a texture that is missing.
  const CLI::Validator folder(
      [](std::string& text) -> std::string {
        std::error_code error;
        const std::filesystem::path path = files::longPathForm(files::pathFromText(text));
        if (std::filesystem::is_directory(path, error)) return {};
        return std::filesystem::exists(path, error)
                   ? "wants a folder, not the file '" + text + "'"
                   : "wants a folder that exists, not '" + text + "'";
      },
      "");
  command
      ->add_option("--texture-dir", dirs,
                   "Look for texture images here too, after the model's folder (repeatable, "
                   "in the order given).")
      ->allow_extra_args(false)  // one folder per --texture-dir: what follows is an input
      ->check(folder)
      ->type_name("DIR");
}

void addMinSeverity(CLI::App* command, Severity& least) {
  command
      ->add_option_function<std::string>(
          "--min-severity", [&least](const std::string& name) { severityNamed(name, least); },
          "Say and count only findings of severity S or graver: error, warning or note "
          "(the default: note, all of them).")
      ->check(CLI::IsMember({"error", "warning", "note"}))
      ->type_name("S");
}

void addRunFlags(CLI::App* command, RunFlags& flags, const char* quietMeans) {
  command->add_option("-j,--jobs", flags.jobs, "Work on N files at once (default: one per core).")
      ->check(wholeNumber(1))
      ->type_name("N");
  command->add_flag("--quiet,-q", flags.quiet, quietMeans);
}

void addInputs(CLI::App* command, RunFlags& flags) {
  command->add_option("INPUT", flags.inputs, "KXM files and folders.")->required();
}

InputList inputsOf(const std::vector<std::string>& named, Output& err) {
  InputList inputs = expandInputs(named, stdin);
  for (const std::string& warning : inputs.warnings) err.write(warning + "\n");
  for (const std::string& error : inputs.errors) err.write(error + "\n");
  return inputs;
}

Tally runInputs(const InputList& inputs, const RunFlags& flags, const FileWork& work, Output& out,
                Output& err) {
  Tally total;
  total.errors = inputs.errors.size();  // folders that could not be read fail the run
  total.failedRun = !inputs.errors.empty();
  total += runOverInputs(inputs.files, RunSettings{flags.jobs, !flags.quiet}, work, out, err);
  return total;
}

void writeTotals(const InputList& inputs, const Tally& total, Totals counts, Output& to) {
  if (!inputs.several) return;
  std::string line = plural(total.files, "file", "files") + ": " + std::to_string(total.loaded);
  if (counts == Totals::Exported) {
    line += " exported, " + std::to_string(total.failed) + " failed";
  } else {
    line += " loaded, " + std::to_string(total.failed) + " failed to load";
  }
  if (counts == Totals::Checked) {
    line += ", " + std::to_string(total.withWarnings) + " with warnings; " +
            plural(total.errors, "error", "errors") + ", " +
            plural(total.warnings, "warning", "warnings");
    if (total.notes > 0) line += ", " + plural(total.notes, "note", "notes");
  }
  to.write(line + "\n");
}

int runStatus(const Tally& total, const Output& out) {
  if (!written(out)) return 1;
  return total.failedRun ? 1 : 0;
}

}  // namespace kxm
