#include "export/gltf_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

namespace kxm::gltf {

namespace {

namespace fs = std::filesystem;

void putU32(std::ofstream& file, std::uint32_t v) {
  const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                         static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
  file.write(bytes, 4);
}

void putBinary(std::ofstream& file, const Document& doc) {
  for (const auto& part : doc.binary) {
    file.write(reinterpret_cast<const char*>(part.data()),
               static_cast<std::streamsize>(part.size()));
  }
}

// Writes through `fill` to a temporary file beside `target`, then renames it over `target`.
template <class Fill>
bool writeWhole(const fs::path& target, std::string& error, Fill fill) {
  fs::path temporary = target;
  temporary += ".partial";
  {
    errno = 0;
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (file) fill(file);
    file.close();
    if (!file) {
      const int reason = errno;
      std::error_code ignored;
      fs::remove(temporary, ignored);
      error = "cannot write " + target.string();
      if (reason != 0) error += std::string(": ") + std::strerror(reason);
      return false;
    }
  }
  std::error_code failed;
  fs::rename(temporary, target, failed);
  // Where a rename will not replace a file (Windows), the old file goes first; anything else in
  // the way, a folder above all, stays and the export fails.
  if (failed && fs::is_regular_file(target)) {
    fs::remove(target, failed);
    if (!failed) fs::rename(temporary, target, failed);
  }
  if (failed) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    error = "cannot write " + target.string() + ": " + failed.message();
    return false;
  }
  return true;
}

bool copyImages(const Document& doc, const fs::path& folder, std::string& error) {
  for (const ImageCopy& image : doc.images) {
    const fs::path target = folder / image.fileName;
    std::error_code same;
    if (fs::equivalent(image.from, target, same)) continue;
    std::ifstream source(image.from, std::ios::binary);
    const bool copied =
        writeWhole(target, error, [&](std::ofstream& file) { file << source.rdbuf(); });
    if (!copied || !source) {
      if (copied) error = "cannot read " + image.from.string();
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::string> nonFiniteNumber(const nlohmann::ordered_json& json) {
  // Depth-first on an explicit stack, each value with its pointer.
  std::vector<std::pair<const nlohmann::ordered_json*, std::string>> pending{{&json, ""}};
  while (!pending.empty()) {
    auto [value, pointer] = std::move(pending.back());
    pending.pop_back();
    if (value->is_number_float() && !std::isfinite(value->get<double>())) {
      return pointer.empty() ? "/" : pointer;
    }
    if (value->is_object()) {
      const std::size_t first = pending.size();
      for (const auto& item : value->items()) {
        pending.emplace_back(&item.value(), pointer + "/" + item.key());
      }
      std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(first), pending.end());
    } else if (value->is_array()) {
      for (std::size_t i = value->size(); i-- > 0;) {
        pending.emplace_back(&(*value)[i], pointer + "/" + std::to_string(i));
      }
    }
  }
  return std::nullopt;
}

fs::path binaryPathFor(const fs::path& gltfPath) {
  fs::path bin = gltfPath;
  return bin.replace_extension(".bin");
}

bool writeDocument(const Document& doc, const fs::path& out, bool binary, std::string& error) {
  if (const auto pointer = nonFiniteNumber(doc.json)) {
    error = "the document would hold a number that is not finite at " + *pointer +
            "; nothing written";
    return false;
  }
  const fs::path folder = out.has_parent_path() ? out.parent_path() : fs::path(".");
  if (!copyImages(doc, folder, error)) return false;
  if (!binary) {
    if (doc.binaryLength > 0 && !writeWhole(binaryPathFor(out), error,
                                            [&](std::ofstream& file) { putBinary(file, doc); })) {
      return false;
    }
    const std::string text = doc.json.dump(1, ' ');
    return writeWhole(out, error, [&](std::ofstream& file) { file << text << '\n'; });
  }

  std::string text = doc.json.dump();
  text.resize((text.size() + 3) / 4 * 4, ' ');  // the JSON chunk is padded with spaces
  const std::uint64_t total =
      12 + 8 + text.size() + (doc.binaryLength > 0 ? 8 + doc.binaryLength : 0);
  if (total > UINT32_MAX) {
    error = "the model needs " + std::to_string(total) +
            " bytes, more than a GLB can hold (4 GiB); export to .gltf instead";
    return false;
  }
  return writeWhole(out, error, [&](std::ofstream& file) {
    file.write("glTF", 4);
    putU32(file, 2);
    putU32(file, static_cast<std::uint32_t>(total));
    putU32(file, static_cast<std::uint32_t>(text.size()));
    file.write("JSON", 4);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (doc.binaryLength > 0) {
      putU32(file, static_cast<std::uint32_t>(doc.binaryLength));
      file.write("BIN\0", 4);
      putBinary(file, doc);
    }
  });
}

}  // namespace kxm::gltf
