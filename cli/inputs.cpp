#include "cli/inputs.h"

#include <algorithm>
#include <system_error>

#include "reader/byte_cursor.h"
#include "text/format.h"

namespace kxm {

namespace fs = std::filesystem;

namespace {

bool endsInKxm(const fs::path& path) {
  return asciiLower(path.extension().string()) == ".kxm";
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

// The folder's entries, the .kxm files among them put in `found` and its folders (not links to
// them, so that no walk goes round in a circle) in `below`; false when it cannot be read whole.
bool listFolder(const fs::path& folder, const fs::path& root, std::vector<Input>& found,
                std::vector<fs::path>& below, std::error_code& error) {
  fs::directory_iterator it(folder, error), end;
  for (; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (it->is_symlink(typeError)) {
      if (!it->is_regular_file(typeError) || !endsInKxm(it->path())) continue;
    } else if (it->is_directory(typeError)) {
      below.push_back(it->path());
      continue;
    }
    if (!it->is_regular_file(typeError) || !endsInKxm(it->path())) continue;
    Input input;
    input.path = it->path().string();
    input.shown = input.path;
    input.relative = it->path().lexically_relative(root);
    found.push_back(std::move(input));
  }
  return !error;
}

// Walks a named folder on an explicit stack: a folder that cannot be read is an error of the
// run, and the walk goes on with the others.
void addFolder(const std::string& named, InputList& list) {
  std::vector<Input> found;
  const fs::path root(named);
  std::vector<fs::path> pending{root};
  bool unreadable = false;
  while (!pending.empty()) {
    const fs::path folder = std::move(pending.back());
    pending.pop_back();
    std::error_code error;
    if (!listFolder(folder, root, found, pending, error)) {
      unreadable = true;
      list.errors.push_back(folder.string() + ": error: the folder cannot be read: " +
                            error.message() + " [read-error]");
    }
  }
  if (found.empty() && !unreadable) {
    list.warnings.push_back(named + ": warning: no .kxm files in this folder");
  }
  std::sort(found.begin(), found.end(),
            [](const Input& a, const Input& b) { return a.path < b.path; });
  for (Input& input : found) list.files.push_back(std::move(input));
}

}  // namespace

InputList expandInputs(const std::vector<std::string>& named, std::FILE* in) {
  InputList list;
  list.several = named.size() > 1;
  std::shared_ptr<const std::vector<std::uint8_t>> stdinBytes;
  bool stdinUnreadable = false;
  for (const std::string& name : named) {
    std::error_code error;
    if (name != "-" && fs::is_directory(name, error)) {
      list.several = true;
      addFolder(name, list);
      continue;
    }
    Input input;
    input.path = name;
    input.shown = name == "-" ? "<stdin>" : name;
    input.relative = name == "-" ? fs::path("stdin.kxm") : fs::path(name).filename();
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
  TextureFolders folders{input.bytes ? fs::path(".") : fs::path(input.path).parent_path(), {},
                         index ? std::move(index) : std::make_shared<FolderIndex>()};
  for (const std::string& dir : textureDirs) folders.extra.emplace_back(dir);
  return folders;
}

}  // namespace kxm
