#include "files/folder_entries.h"

#include "files/paths.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace kxm::files {

namespace fs = std::filesystem;

#if defined(_WIN32)

namespace {

// A found entry's kind from its attributes. A reparse point that is a folder is a symbolic link
// or a junction (a mount point): passed by, as libstdc++ does not see it as a link. One that is
// not a folder is a link to a file, which counts when what it leads to is a file.
FolderEntry::Kind kindOf(const WIN32_FIND_DATAW& found, const fs::path& folder) {
  const DWORD attributes = found.dwFileAttributes;
  const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    if (isFolder) return FolderEntry::Kind::Other;
    std::error_code error;
    return fs::is_regular_file(longPathForm(folder / found.cFileName), error)
               ? FolderEntry::Kind::File
               : FolderEntry::Kind::Other;
  }
  if (isFolder) return FolderEntry::Kind::Folder;
  return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? FolderEntry::Kind::Other
                                                   : FolderEntry::Kind::File;
}

}  // namespace

bool listFolder(const fs::path& folder, std::vector<FolderEntry>& entries, std::error_code& error) {
  // libstdc++'s directory_iterator goes through _wfindfirst, which stops at MAX_PATH.
  const fs::path pattern = longPathForm(folder / L"*");
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    error.assign(static_cast<int>(GetLastError()), std::system_category());
    return false;
  }
  do {
    const std::wstring_view name(found.cFileName);
    if (name == L"." || name == L"..") continue;
    entries.push_back({fs::path(name), kindOf(found, folder)});
  } while (FindNextFileW(search, &found));
  const DWORD last = GetLastError();
  FindClose(search);
  if (last != ERROR_NO_MORE_FILES) {
    error.assign(static_cast<int>(last), std::system_category());
    return false;
  }
  return true;
}

#else

bool listFolder(const fs::path& folder, std::vector<FolderEntry>& entries, std::error_code& error) {
  fs::directory_iterator it(folder, error), end;
  for (; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    FolderEntry entry{it->path().filename(), FolderEntry::Kind::Other};
    if (it->is_symlink(typeError)) {
      // Followed for a file only: a link to a folder is passed by.
      if (it->is_regular_file(typeError)) entry.kind = FolderEntry::Kind::File;
    } else if (it->is_directory(typeError)) {
      entry.kind = FolderEntry::Kind::Folder;
    } else if (it->is_regular_file(typeError)) {
      entry.kind = FolderEntry::Kind::File;
    }
    entries.push_back(std::move(entry));
  }
  return !error;
}

#endif

}  // namespace kxm::files
