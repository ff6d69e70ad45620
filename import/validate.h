// The rules of glTF a reader relies on, checked before anything is built: every index names
// something that is there, every accessor lies inside its buffer with the types its use asks
// for, the nodes form trees (one parent at most, no cycle), and no required extension is one we
// do not know. The first fault is said with its JSON pointer, as the validator says it.
#pragma once

#include <string>

#include <tiny_gltf.h>

namespace kxm::gltfin {

// Integer positions, normals and texture coordinates, which the accessors read as they read any.
inline constexpr const char* kMeshQuantization = "KHR_mesh_quantization";

// Whether the import reads all an extension says, so that a file may require it and nothing of
// it is left out.
bool understood(const std::string& extension);

bool validate(const tinygltf::Model& model, std::string& error);

}  // namespace kxm::gltfin
