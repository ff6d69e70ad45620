#include "cli/inputs.h"

#include <algorithm>
#include <system_error>

#include "files/folder_entries.h"
#include "files/paths.h"
#include "reader/byte_cursor.h"
#include "text/format.h"

namespace kxm {

namespace fs = std::filesystem;

namespace {

// A path printed below a named folder has the named part as the user typed it, then this
// separator between the folders and the file below it: the system's own.
#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool endsInKxm(const fs::path& name) {
  return asciiLower(files::textFromPath(name.extension())) == ".kxm";
}

// `folder` and `name` as one path in text: no separator added after one, nor (on Windows) after
// a drive, since "C:" and "C:\" are not the same folder.
std::string joined(const std::string& folder, const std::string& name, char separator) {
  const char last = folder.empty() ? separator : folder.back();
  const bool separated =
      last == '/' || (kSeparator == '\\' && (last == '\\' || (last == ':' && folder.size() == 2)));
  return separated ? folder + name : folder + separator + name;
}

// Reads a stream whole, stopping one byte past the largest file a load takes, which then says
// the file is too large; false when the stream fails.
bool readWhole(std::FILE* in, std::vector<std::uint8_t>& bytes) {
  std::uint8_t piece[1 << 16];
  while (bytes.size() <= kOffsetLimit) {
    const std::size_t got = std::fread(piece, 1, sizeof piece, in);
    bytes.insert(bytes.end(), piece, piece + got);
    if (got < sizeof piece) return !std::ferror(in);
  }
  return true;
}

// A folder still to be listed: where it is below the named one, as shown, and as sorted (with
// '/' between names on every system, so that the order is the same everywhere).
struct Pending {
  fs::path relative;
  std::string shown;
  std::string key;
};

// Lists one folder: its .kxm files into `found` (with their sort keys), its folders (not links
// to them) onto `pending`; false when it cannot be read whole.
bool listOne(const fs::path& root, const Pending& folder,
             std::vector<std::pair<std::string, Input>>& found, std::vector<Pending>& pending,
             std::error_code& error) {
  std::vector<files::FolderEntry> entries;
  const bool whole = files::listFolder(root / folder.relative, entries, error);
  for (const files::FolderEntry& entry : entries) {
    const std::string name = files::textFromPath(entry.name);
    Pending below{folder.relative / entry.name, joined(folder.shown, name, kSeparator),
                  folder.key.empty() ? name : joined(folder.key, name, '/')};
    if (entry.kind == files::FolderEntry::Kind::Folder) {
      pending.push_back(std::move(below));
    } else if (entry.kind == files::FolderEntry::Kind::File && endsInKxm(entry.name)) {
      Input input;
      input.path = below.shown;
      input.shown = below.shown;
      input.relative = std::move(below.relative);
      found.emplace_back(std::move(below.key), std::move(input));
    }
  }
  return whole;
}

// Walks a named folder on an explicit stack: a folder that cannot be read is an error of the
// run, and the walk goes on with the others.
void addFolder(const std::string& named, InputList& list) {
  std::vector<std::pair<std::string, Input>> found;
  const fs::path root = files::pathFromText(named);
  std::vector<Pending> pending{{fs::path(), named, ""}};
  bool unreadable = false;
  while (!pending.empty()) {
    const Pending folder = std::move(pending.back());
    pending.pop_back();
    std::error_code error;
    if (!listOne(root, folder, found, pending, error)) {
      unreadable = true;
      list.errors.push_back(folder.shown + ": error: the folder cannot be read: " +
                            error.message() + " [read-error]");
    }
  }
  if (found.empty() && !unreadable) {
    list.warnings.push_back(named + ": warning: no .kxm files in this folder");
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [key, input] : found) list.files.push_back(std::move(input));
}

}  // namespace

InputList expandInputs(const std::vector<std::string>& named, std::FILE* in) {
  InputList list;
  list.several = named.size() > 1;
  std::shared_ptr<const std::vector<std::uint8_t>> stdinBytes;
  bool stdinUnreadable = false;
  for (const std::string& name : named) {
    std::error_code error;
    if (name != "-" && fs::is_directory(files::longPathForm(files::pathFromText(name)), error)) {
      list.several = true;
      addFolder(name, list);
      continue;
    }
    Input input;
    input.path = name;
    input.shown = name == "-" ? "<stdin>" : name;
    input.relative = name == "-" ? fs::path("stdin.kxm") : files::pathFromText(name).filename();
    if (name == "-") {
      if (!stdinBytes && !stdinUnreadable) {
        auto bytes = std::make_shared<std::vector<std::uint8_t>>();
        stdinUnreadable = !readWhole(in, *bytes);
        stdinBytes = std::move(bytes);
      }
      input.bytes = stdinBytes;
      input.stdinUnreadable = stdinUnreadable;
    }
    list.files.push_back(std::move(input));
  }
  return list;
}

LoadOutcome loadInput(const Input& input, Model& model, ChunkSink* sink, LoadObserver* observer,
                      const BlockSource& blocks) {
  if (input.stdinUnreadable) {
    model.clearModel();
    LoadOutcome outcome;
    outcome.failure.cause = FailureCause::ReadError;
    outcome.failure.hasOffset = false;
    outcome.failure.message = "standard input could not be read";
    return outcome;
  }
  if (input.bytes) return load(*input.bytes, model, sink, observer, std::nullopt, blocks);
  return load(input.path.c_str(), model, sink, observer, std::nullopt, blocks);
}

TextureFolders textureFoldersFor(const Input& input, const std::vector<std::string>& textureDirs,
                                 std::shared_ptr<FolderIndex> index) {
  TextureFolders folders{
      input.bytes ? fs::path(".") : files::pathFromText(input.path).parent_path(),
      {},
      index ? std::move(index) : std::make_shared<FolderIndex>()};
  for (const std::string& dir : textureDirs) folders.extra.push_back(files::pathFromText(dir));
  return folders;
}

}  // namespace kxm
