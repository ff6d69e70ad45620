// The glTF document as tinygltf parses it, read only through our own file callbacks: the input
// itself, and the buffers and images it names inside the input's folder, each within a size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include <tiny_gltf.h>

namespace kxm::gltfin {

// Parses `bytes` (a GLB when they start with "glTF", else JSON); `folder` is where the outside
// files it names may be (none are read when it is empty), and `read` gets each one read. false
// with the reason in `error`.
bool parseGltf(std::span<const std::uint8_t> bytes, const std::filesystem::path& folder,
               std::uint64_t maxFileBytes, tinygltf::Model& model,
               std::vector<std::filesystem::path>& read, std::string& error);

// Reads a whole file of at most `maxBytes` into the memory `place(size)` gives (null: none to be
// had); false with the reason in `error`.
bool readWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                   const std::function<std::uint8_t*(std::size_t)>& place, std::string& error);
// The same into `bytes`.
bool readWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes,
                   std::vector<std::uint8_t>& bytes, std::string& error);

}  // namespace kxm::gltfin
