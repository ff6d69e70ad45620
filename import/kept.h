// The values of kxm export's extras (format/gltf_extras.h) read back, each checked for its type
// and size: hostile input like the rest of the document. Every reader returns false, and leaves
// its output as it was, for a value that is not what the export writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tiny_gltf.h>

#include "format/gltf_extras.h"
#include "model/model.h"

namespace kxm::gltfin {

// The object under "kxm" of an object's extras, or nullptr.
const tinygltf::Value* keptIn(const tinygltf::Value& extras);
// The value of `key` of a kept object, or nullptr where it has none.
const tinygltf::Value* keptValue(const tinygltf::Value& kept, const char* key);

// An integer of 32 bits: a JSON integer, its bits taken as they come (a number of 2^31 or more
// reads back as the same 32 bits).
bool keptWord(const tinygltf::Value& value, std::uint32_t& out);
bool keptInt(const tinygltf::Value& value, std::int32_t& out);
// A float: a number, or the bits of one that is not finite ("0x7FC00000").
bool keptFloat(const tinygltf::Value& value, float& out);
bool keptFloats(const tinygltf::Value& list, float* out, std::size_t count);
bool keptMaterial(const tinygltf::Value& kept, Material& out);
// A name as the model holds it (at most 127 bytes).
bool keptName(const tinygltf::Value& value, char (&out)[kNameSize]);
// [[code, value]...]: a mesh's render states, or a texture's states (`texture`), each code one
// that holds such a value.
bool keptStates(const tinygltf::Value& list, bool texture, std::vector<ShownState>& out);
// The bytes of a base64 text, strictly as the export writes it.
bool keptBytes(const tinygltf::Value& value, std::vector<std::uint8_t>& out);
// Whether a kept object's fingerprint is the one taken of the glTF now.
bool keptFits(const tinygltf::Value& kept, const extras::Fingerprint& now);
// The elements of a list, or none where it is missing: tinygltf drops empty lists.
std::size_t keptLength(const tinygltf::Value* list);

}  // namespace kxm::gltfin
