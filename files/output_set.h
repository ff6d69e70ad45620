// Writing outputs all or nothing. Each file of a set is written to a temporary in its own folder,
// made under a fresh name that no file had (never opening one that was there, never following a
// link), flushed to disk, and renamed over its target in one step once every file of the set is
// whole, the main file last. A rename that fails leaves its target as it was; nothing of the
// product ever deletes an output to make way for another.
//
// Temporaries are named ".kxm-XXXXXXXX.tmp" (eight hexadecimal digits) whatever the output is
// called, so that an output name of any legal length has room for its temporary. They are removed
// when a set is abandoned and when the process is stopped (files/temporaries.h); only a kill that
// no program can catch leaves one, and never under the output's own name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace kxm::files {

inline constexpr char kTemporaryPrefix[] = ".kxm-";
inline constexpr char kTemporarySuffix[] = ".tmp";

// Why `target` cannot be written as an output, or "" when it can (it does not exist, or it is a
// file or a link, which the rename replaces). Said as "Is a directory", "is a FIFO, not a file",
// "is a socket, not a file" or "is a device, not a file".
std::string outputRefusal(const std::filesystem::path& target);

class OutputSet {
 public:
  OutputSet() = default;
  OutputSet(const OutputSet&) = delete;
  OutputSet& operator=(const OutputSet&) = delete;
  ~OutputSet() { abandon(); }

  // Makes `folder` for files of the set, if it is not there; a folder made is removed again when
  // the set is abandoned (and only while it is empty).
  bool makeFolder(const std::filesystem::path& folder, std::string& error);

  // Writes a temporary for `target` with `fill`; false with the reason in `error` when the
  // temporary cannot be made or written whole.
  bool stage(const std::filesystem::path& target, std::string& error,
             const std::function<void(std::ostream&)>& fill);

  // Renames every temporary over its target in the order staged. Anything that is not a file in
  // the way of one target fails the set before any is renamed.
  bool commit(std::string& error);

  // Removes what the set wrote and has not committed.
  void abandon();

 private:
  struct Staged {
    std::filesystem::path temporary;
    std::filesystem::path target;
    std::uint64_t token = 0;
  };
  std::vector<Staged> staged_;
  std::vector<std::filesystem::path> madeFolders_;
};

}  // namespace kxm::files
