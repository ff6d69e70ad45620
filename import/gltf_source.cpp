// tinygltf's implementation, built once here without its image decoder or its file system: we
// decode images ourselves (image/) and read every file through the callbacks below.
#include <fstream>  // tinygltf's writer asks for it even without its file system
#include <system_error>

#define TINYGLTF_IMPLEMENTATION
#include "files/paths.h"
#include "import/gltf_source.h"

namespace kxm::gltfin {

namespace {

struct Folder {
  std::filesystem::path root;  // canonical; empty: nothing outside the input may be read
  std::uint64_t maxBytes;
  std::vector<std::filesystem::path>* read;  // each file read, as resolved
};

// A path inside the folder, after links are followed; nothing else may be read.
bool inside(const Folder& folder, const std::string& name, std::filesystem::path& resolved) {
  if (folder.root.empty()) return false;
  std::error_code error;
  resolved = std::filesystem::weakly_canonical(files::pathFromText(name), error);
  if (error) return false;
  const auto [end, rest] =
      std::mismatch(folder.root.begin(), folder.root.end(), resolved.begin(), resolved.end());
  return end == folder.root.end() && rest != resolved.end();
}

// A path outside the folder is said to exist, so that its read is refused with the reason.
bool fileExists(const std::string& name, void* user) {
  std::filesystem::path resolved;
  std::error_code error;
  return !inside(*static_cast<Folder*>(user), name, resolved) ||
         std::filesystem::is_regular_file(resolved, error);
}

std::string expandPath(const std::string& path, void*) {
  return path;  // no ~ nor variables: a URI names a file beside the input, as it stands
}

bool readFile(std::vector<unsigned char>* out, std::string* err, const std::string& name,
              void* user) {
  Folder& folder = *static_cast<Folder*>(user);
  std::filesystem::path resolved;
  if (!inside(folder, name, resolved)) {
    if (err) *err += "'" + name + "' is not a file inside the input's folder; not read\n";
    return false;
  }
  std::string error;
  if (!readWholeFile(resolved, folder.maxBytes, *out, error)) {
    if (err) *err += error + "\n";
    return false;
  }
  folder.read->push_back(resolved);
  return true;
}

bool refuseWrite(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
  if (err) *err += "the import writes no file of its own\n";
  return false;
}

// Images are kept as bytes; they are decoded, if at all, when they are written. The bytes of an
// image in a buffer view are handed over unchecked against the buffer: they are taken later,
// from the view once it is checked (imageBytes), never here.
bool keepImage(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
               const unsigned char* bytes, int size, void*) {
  if (image->bufferView >= 0) return true;
  image->image.assign(bytes, bytes + size);
  image->as_is = true;
  return true;
}

}  // namespace

bool readWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                   const std::function<std::uint8_t*(std::size_t)>& place, std::string& error) {
  const std::string shown = files::textFromPath(path);
  std::error_code failed;
  if (!std::filesystem::is_regular_file(path, failed)) {
    error = shown + ": no such file";
    return false;
  }
  const std::uintmax_t size = std::filesystem::file_size(path, failed);
  if (failed || size > maxBytes) {
    error = failed ? shown + ": " + failed.message()
                   : shown + ": " + std::to_string(size) + " bytes, more than the " +
                         std::to_string(maxBytes) + " an input may have";
    return false;
  }
  try {
    std::ifstream file(path, std::ios::binary);
    std::uint8_t* to = place(static_cast<std::size_t>(size));
    if (to == nullptr) throw std::bad_alloc();
    if (!file.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(size))) {
      error = shown + ": cannot be read";
      return false;
    }
  } catch (const std::exception&) {
    error = shown + ": out of memory";
    return false;
  }
  return true;
}

bool readWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                   std::vector<std::uint8_t>& bytes, std::string& error) {
  return readWholeFile(
      path, maxBytes,
      [&](std::size_t size) {
        bytes.resize(size);
        return bytes.data();
      },
      error);
}

bool parseGltf(std::span<const std::uint8_t> bytes, const std::filesystem::path& folder,
               std::uint64_t maxFileBytes, tinygltf::Model& model,
               std::vector<std::filesystem::path>& read, std::string& error) {
  Folder where{{}, maxFileBytes, &read};
  if (!folder.empty()) {
    std::error_code failed;
    where.root = std::filesystem::weakly_canonical(folder, failed);
    if (failed) where.root.clear();
  }
  tinygltf::TinyGLTF loader;
  loader.SetFsCallbacks({&fileExists, &expandPath, &readFile, &refuseWrite, &where});
  loader.SetImageLoader(&keepImage, nullptr);
  loader.SetStoreOriginalJSONForExtrasAndExtensions(false);
  std::string err, warn;
  const std::string base = where.root.empty() ? std::string() : files::textFromPath(where.root);
  bool ok = false;
  try {
    if (bytes.size() >= 4 && std::equal(bytes.begin(), bytes.begin() + 4, "glTF")) {
      ok = loader.LoadBinaryFromMemory(&model, &err, &warn, bytes.data(),
                                       static_cast<unsigned int>(bytes.size()), base);
    } else {
      const std::string text(bytes.begin(), bytes.end());
      ok = loader.LoadASCIIFromString(&model, &err, &warn, text.c_str(),
                                      static_cast<unsigned int>(text.size()), base);
    }
  } catch (const std::exception& e) {
    err = std::string("cannot be parsed: ") + e.what();
    ok = false;
  }
  if (!ok) {
    while (!err.empty() && err.back() == '\n') err.pop_back();
    error = err.empty() ? "not a glTF document" : err;
  }
  return ok;
}

}  // namespace kxm::gltfin
