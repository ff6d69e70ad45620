#include "textures/texture_files.h"

#include <algorithm>
#include <array>
#include <memory>
#include <system_error>

#include "files/paths.h"
#include "text/format.h"

namespace kxm {

namespace {

namespace fs = std::filesystem;

// The extensions that may stand in for one another, in the order they are tried.
constexpr std::array<std::string_view, 6> kImageExtensions = {".dds", ".png", ".tga",
                                                              ".bmp", ".jpg", ".jpeg"};

// The name as path components; empty when it is absolute, on a drive, or climbs out.
std::vector<std::string> componentsOf(std::string_view name, std::string& why) {
  std::string slashed(name);
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  if (slashed.empty()) {
    why = "the name is empty";
    return {};
  }
  if (slashed.front() == '/' || (slashed.size() > 1 && slashed[1] == ':')) {
    why = "the name is absolute; only the model's folder and the texture folders are searched";
    return {};
  }
  std::vector<std::string> parts;
  std::size_t begin = 0;
  while (begin <= slashed.size()) {
    std::size_t end = slashed.find('/', begin);
    if (end == std::string::npos) end = slashed.size();
    const std::string part = slashed.substr(begin, end - begin);
    if (part == "..") {
      why = "the name climbs out of the folder with \"..\"; not looked for";
      return {};
    }
    if (!part.empty() && part != ".") parts.push_back(part);
    begin = end + 1;
  }
  if (parts.empty()) why = "the name holds no file name";
  return parts;
}

// Whether `path`, links followed, lies inside `folder`.
bool inside(const fs::path& folder, const fs::path& path) {
  std::error_code error;
  const fs::path base = fs::weakly_canonical(folder, error);
  if (error) return false;
  const fs::path real = fs::weakly_canonical(path, error);
  if (error) return false;
  auto b = base.begin(), r = real.begin();
  for (; b != base.end(); ++b, ++r) {
    if (b->empty()) continue;  // a trailing separator
    if (r == real.end() || *b != *r) return false;
  }
  return true;
}

std::optional<fs::path> exactly(FolderIndex& index, const fs::path& folder,
                                const std::vector<std::string>& parts) {
  fs::path path = folder;
  for (const std::string& part : parts) {
#if defined(_WIN32)
    // Windows' disks find a name in other capitals too; exactly is as the folder holds it, as
    // elsewhere, so that a lookup says the same on every system.
    if (!index.holdsExactly(path, part)) return std::nullopt;
#else
    (void)index;
#endif
    path /= files::pathFromText(part);
  }
  std::error_code error;
  if (fs::is_regular_file(path, error)) return path;
  return std::nullopt;
}

std::optional<fs::path> ignoringCase(FolderIndex& index, const fs::path& folder,
                                     const std::vector<std::string>& parts) {
  fs::path path = folder;
  for (const std::string& part : parts) {
    const std::optional<fs::path> entry = index.entryIgnoringCase(path, part);
    if (!entry) return std::nullopt;
    path = *entry;
  }
  std::error_code error;
  if (fs::is_regular_file(path, error)) return path;
  return std::nullopt;
}

}  // namespace

TextureFile findTexture(const TextureFolders& folders, std::string_view name) {
  TextureFile result;
  std::vector<std::string> parts = componentsOf(name, result.why);
  if (parts.empty()) return result;
  std::vector<fs::path> searched{folders.model};
  searched.insert(searched.end(), folders.extra.begin(), folders.extra.end());
  for (fs::path& folder : searched) {
    if (folder.empty()) folder = ".";  // a model named without a folder is in the current one
  }
  std::shared_ptr<FolderIndex> index = folders.index;
  if (!index) index = std::make_shared<FolderIndex>();

  bool leadsOut = false;
  auto accept = [&](const fs::path& folder, const std::optional<fs::path>& path,
                    TextureFile::Match match) {
    if (!path) return false;
    if (!inside(folder, *path)) {
      leadsOut = true;
      return false;
    }
    result.match = match;
    result.path = *path;
    // The same text on every system: '/' between names.
    const std::string below = files::textFromPath(
        path->lexically_relative(folder).generic_string<fs::path::value_type>());
    result.shown =
        &folder == &searched.front()
            ? below
            : files::textFromPath(folder.generic_string<fs::path::value_type>()) + "/" + below;
    return true;
  };
  for (const fs::path& folder : searched) {
    if (accept(folder, exactly(*index, folder, parts), TextureFile::Match::Exact)) return result;
  }
  for (const fs::path& folder : searched) {
    if (accept(folder, ignoringCase(*index, folder, parts), TextureFile::Match::OtherCase))
      return result;
  }
  const std::string last = parts.back();
  const std::size_t dot = last.rfind('.');
  const std::string stem = dot == std::string::npos ? last : last.substr(0, dot);
  const std::string own = dot == std::string::npos ? "" : asciiLower(last.substr(dot));
  for (std::string_view extension : kImageExtensions) {
    if (extension == own) continue;
    parts.back() = stem + std::string(extension);
    for (const fs::path& folder : searched) {
      if (accept(folder, ignoringCase(*index, folder, parts), TextureFile::Match::OtherExtension)) {
        return result;
      }
    }
  }
  result.why = leadsOut ? "its file is a link that leads out of the folders searched; not followed"
                        : "no such image beside the model or in a texture folder";
  return result;
}

}  // namespace kxm
