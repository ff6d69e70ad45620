#include "export/gltf_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <system_error>
#include <utility>

#include "files/output_set.h"
#include "files/paths.h"

namespace kxm::gltf {

namespace {

namespace fs = std::filesystem;

void putU32(std::ostream& out, std::uint32_t v) {
  const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                         static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
  out.write(bytes, 4);
}

void putBinary(std::ostream& out, const Document& doc) {
  for (const auto& part : doc.binary) {
    out.write(reinterpret_cast<const char*>(part.data()),
              static_cast<std::streamsize>(part.size()));
  }
}

// Each image goes into the binary buffer after everything else, as a view of its own.
void embedImages(Document& doc) {
  auto& json = doc.json;
  for (std::size_t i = 0; i < doc.images.size(); ++i) {
    const ResolvedImage& image = doc.images[i];
    Piece piece(image.bytes.size());
    std::copy(image.bytes.begin(), image.bytes.end(), piece.as<std::uint8_t>());
    json["bufferViews"].push_back(
        {{"buffer", 0}, {"byteOffset", doc.binaryLength}, {"byteLength", piece.used()}});
    json["images"][i] = {{"bufferView", json["bufferViews"].size() - 1},
                         {"mimeType", image.mimeType}};
    doc.binaryLength += piece.size();
    doc.binary.push_back(std::move(piece));
  }
  if (doc.binaryLength > 0) json["buffers"] = {{{"byteLength", doc.binaryLength}}};
}

// The GLB's JSON chunk, padded with spaces, and the file's length; false when it is too large.
bool glbLayout(const Document& doc, std::string& text, std::uint64_t& total, std::string& error) {
  if (const auto pointer = nonFiniteNumber(doc.json)) {
    error =
        "the document would hold a number that is not finite at " + *pointer + "; nothing written";
    return false;
  }
  text = doc.json.dump();
  text.resize((text.size() + 3) / 4 * 4, ' ');
  total = 12 + 8 + text.size() + (doc.binaryLength > 0 ? 8 + doc.binaryLength : 0);
  if (total > UINT32_MAX) {
    error = "the model needs " + std::to_string(total) +
            " bytes, more than a GLB can hold (4 GiB); export to .gltf instead";
    return false;
  }
  return true;
}

void putGlb(std::ostream& out, const Document& doc, const std::string& text, std::uint64_t total) {
  out.write("glTF", 4);
  putU32(out, 2);
  putU32(out, static_cast<std::uint32_t>(total));
  putU32(out, static_cast<std::uint32_t>(text.size()));
  out.write("JSON", 4);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (doc.binaryLength > 0) {
    putU32(out, static_cast<std::uint32_t>(doc.binaryLength));
    out.write("BIN\0", 4);
    putBinary(out, doc);
  }
}

bool sameBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::error_code error;
  if (fs::file_size(path, error) != bytes.size() || error) return false;
  std::ifstream file(path, std::ios::binary);
  std::vector<char> held((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return held.size() == bytes.size() &&
         std::equal(held.begin(), held.end(), bytes.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// "wood.png", then "wood-2.png", "wood-3.png", ...
std::string withSuffix(const std::string& fileName, int n) {
  if (n == 1) return fileName;
  std::size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = fileName.size();
  std::string out(fileName, 0, dot);
  out += '-';
  out += std::to_string(n);
  out.append(fileName, dot, std::string::npos);
  return out;
}

// The images of a .gltf in its folder, each under its own name: a name another image of this
// export took, or that an existing file with other bytes holds, gets a suffix. An existing file
// with the same bytes is the image already.
bool stageImages(Document& doc, const fs::path& out, files::OutputSet& files, std::string& error) {
  if (doc.images.empty()) return true;
  const fs::path folder = imageFolderFor(out);
  if (!files.makeFolder(folder, error)) return false;
  std::map<std::string, bool> taken;
  for (std::size_t i = 0; i < doc.images.size(); ++i) {
    const ResolvedImage& image = doc.images[i];
    std::string name;
    bool present = false;
    for (int n = 1;; ++n) {
      name = withSuffix(image.fileName, n);
      if (taken.count(name) != 0) continue;
      std::error_code ignored;
      const fs::path target = folder / files::pathFromText(name);
      if (!fs::exists(target, ignored)) break;
      if (fs::is_regular_file(target, ignored) && sameBytes(target, image.bytes)) {
        present = true;
        break;
      }
    }
    taken[name] = true;
    doc.json["images"][i] = {{"uri", uriOf(files::textFromPath(folder.filename()) + "/" + name)},
                             {"mimeType", image.mimeType}};
    if (!present &&
        !files.stage(folder / files::pathFromText(name), error, [&](std::ostream& file) {
          file.write(reinterpret_cast<const char*>(image.bytes.data()),
                     static_cast<std::streamsize>(image.bytes.size()));
        })) {
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

fs::path imageFolderFor(const fs::path& gltfPath) {
  fs::path folder = gltfPath;
  folder.replace_extension();
  folder += "_textures";
  return folder;
}

bool glbBytes(Document& doc, std::vector<std::uint8_t>& bytes, std::string& error) {
  embedImages(doc);
  std::string text;
  std::uint64_t total = 0;
  if (!glbLayout(doc, text, total, error)) return false;
  std::ostringstream out(std::ios::binary);
  putGlb(out, doc, text, total);
  const std::string whole = std::move(out).str();
  bytes.assign(whole.begin(), whole.end());
  return true;
}

bool writeDocument(Document& doc, const fs::path& out, bool binary, std::string& error) {
  if (const auto pointer = nonFiniteNumber(doc.json)) {
    error =
        "the document would hold a number that is not finite at " + *pointer + "; nothing written";
    return false;
  }
  files::OutputSet files;
  if (binary) {
    embedImages(doc);
    std::string text;
    std::uint64_t total = 0;
    if (!glbLayout(doc, text, total, error)) return false;
    return files.stage(out, error, [&](std::ostream& file) { putGlb(file, doc, text, total); }) &&
           files.commit(error);
  }
  if (!stageImages(doc, out, files, error)) return false;
  if (doc.binaryLength > 0) {
    doc.json["buffers"][0]["uri"] = uriOf(files::textFromPath(binaryPathFor(out).filename()));
    if (!files.stage(binaryPathFor(out), error,
                     [&](std::ostream& file) { putBinary(file, doc); })) {
      return false;
    }
  }
  const std::string text = doc.json.dump(1, ' ');
  return files.stage(out, error, [&](std::ostream& file) { file << text << '\n'; }) &&
         files.commit(error);
}

}  // namespace kxm::gltf
