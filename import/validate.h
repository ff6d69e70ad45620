// The rules of glTF a reader relies on, checked before anything is built: every index names
// something that is there, every accessor lies inside its buffer with the types its use asks
// for, the nodes form trees (one parent at most, no cycle), and no required extension is one we
// do not know. The first fault is said with its JSON pointer, as the validator says it.
#pragma once

#include <string>

#include <tiny_gltf.h>

namespace kxm::gltfin {

bool validate(const tinygltf::Model& model, std::string& error);

}  // namespace kxm::gltfin
