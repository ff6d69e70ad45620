// The folders searched for textures, each listed once and indexed by lower-cased name, so that a
// model with thousands of texture names in a folder of thousands of files costs one listing of
// the folder, not one per name. One index may serve a whole run, from any thread.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace kxm {

class FolderIndex {
 public:
  // The entry of `folder` whose name equals `name` without regard to ASCII case; of several that
  // differ only in case, the first in sorted order, whatever order the system lists them in.
  std::optional<std::filesystem::path> entryIgnoringCase(const std::filesystem::path& folder,
                                                         const std::string& name);
  // Whether `folder` holds an entry named `name` in exactly these capitals.
  bool holdsExactly(const std::filesystem::path& folder, const std::string& name);

 private:
  using Entries = std::unordered_map<std::string, std::string>;  // lower-cased -> as on disk
  const Entries& entriesOf(const std::filesystem::path& folder);

  std::mutex mutex_;
  std::map<std::filesystem::path, Entries> folders_;
};

}  // namespace kxm
