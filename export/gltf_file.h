// Writing an exported document: a GLB (one file, the JSON and the binary buffer as its two
// chunks, the images inside the buffer) or a .gltf with its .bin beside it and its images in a
// folder of its own (NAME_textures/). The whole set is written under temporary names first and
// renamed once every file is whole, the main file last; a failed export removes what it wrote
// and leaves the files of an earlier export as they were. An image never replaces a file that
// holds other bytes: it takes a name with a suffix instead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "export/gltf_export.h"

namespace kxm::gltf {

// The .bin's name for a .gltf output: the output's name with .bin for its extension.
std::filesystem::path binaryPathFor(const std::filesystem::path& gltfPath);
// The folder of a .gltf output's images: lamp.gltf's are in lamp_textures/.
std::filesystem::path imageFolderFor(const std::filesystem::path& gltfPath);

// The JSON pointer of the first number in the document that is not finite, if any. glTF's
// numbers are finite, and nlohmann would write such a number as null, which no reader accepts.
std::optional<std::string> nonFiniteNumber(const nlohmann::ordered_json& json);

// Writes `doc` to `out`, a GLB when `binary`; false with the reason in `error` when it fails.
// The document's images find their place (inside the GLB, or beside the .gltf) as it is
// written, all or nothing (files/output_set.h). A document with a number that is not finite is
// refused whole: a failed export says why, where an invalid file would only puzzle whoever
// opens it.
bool writeDocument(Document& doc, const std::filesystem::path& out, bool binary,
                   std::string& error);

// The GLB of a document as bytes in memory, its images inside; false with the reason in `error`
// (a number that is not finite, more than a GLB holds).
bool glbBytes(Document& doc, std::vector<std::uint8_t>& bytes, std::string& error);

}  // namespace kxm::gltf
