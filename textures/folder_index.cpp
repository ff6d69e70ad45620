#include "textures/folder_index.h"

#include <system_error>
#include <vector>

#include "files/folder_entries.h"
#include "files/paths.h"
#include "text/format.h"

namespace kxm {

namespace fs = std::filesystem;

const FolderIndex::Entries& FolderIndex::entriesOf(const fs::path& folder) {
  const auto known = folders_.find(folder);
  if (known != folders_.end()) return known->second;
  Entries entries;
  std::vector<files::FolderEntry> listed;
  std::error_code error;
  files::listFolder(folder, listed, error);
  for (const files::FolderEntry& found : listed) {
    std::string entry = files::textFromPath(found.name);
    const auto [at, fresh] = entries.emplace(asciiLower(entry), entry);
    if (!fresh && entry < at->second) at->second = std::move(entry);
  }
  // A folder that cannot be listed holds nothing to find, now and for the rest of the run.
  return folders_.emplace(folder, std::move(entries)).first->second;
}

std::optional<fs::path> FolderIndex::entryIgnoringCase(const fs::path& folder,
                                                       const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Entries& entries = entriesOf(folder);
  const auto found = entries.find(asciiLower(name));
  if (found == entries.end()) return std::nullopt;
  return folder / files::pathFromText(found->second);
}

bool FolderIndex::holdsExactly(const fs::path& folder, const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Entries& entries = entriesOf(folder);
  const auto found = entries.find(asciiLower(name));
  return found != entries.end() && found->second == name;
}

}  // namespace kxm
