// Writing an exported document: a GLB (one file, the JSON and the binary buffer as its two
// chunks) or a .gltf with its .bin beside it, and the images copied beside the output. Every
// file is written under a temporary name and renamed once whole, the main file last, so a
// failed export never leaves half a file or a document pointing at a missing buffer.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "export/gltf_export.h"

namespace kxm::gltf {

// The .bin's name for a .gltf output: the output's name with .bin for its extension.
std::filesystem::path binaryPathFor(const std::filesystem::path& gltfPath);

// The JSON pointer of the first number in the document that is not finite, if any. glTF's
// numbers are finite, and nlohmann would write such a number as null, which no reader accepts.
std::optional<std::string> nonFiniteNumber(const nlohmann::ordered_json& json);

// Writes `doc` to `out`, a GLB when `binary`; false with the reason in `error` when it fails.
// A document with a number that is not finite is refused whole: a failed export says why, where
// an invalid file would only puzzle whoever opens it.
bool writeDocument(const Document& doc, const std::filesystem::path& out, bool binary,
                   std::string& error);

}  // namespace kxm::gltf
