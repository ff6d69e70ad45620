// One folder's entries, listed on every system alike and on Windows past MAX_PATH (libstdc++'s
// directory_iterator stops there), as the walk of a named folder sees them: files, folders to go
// down into, and what it passes by. Links and junctions to folders are passed by on every
// system, so that no walk goes round in a circle or out of the folder named; a link to a file is
// that file.
#pragma once

#include <filesystem>
#include <system_error>
#include <vector>

namespace kxm::files {

struct FolderEntry {
  enum class Kind { File, Folder, Other };
  std::filesystem::path name;  // the entry's own name, without its folder's
  Kind kind = Kind::Other;
};

// The entries of `folder`, in the system's order; false with `error` when it cannot be listed
// whole. On Windows the folder is listed with the wide API, past MAX_PATH when it is that long.
bool listFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries,
                std::error_code& error);

}  // namespace kxm::files
