// glTF accessors checked against the bytes that hold them, and read as floats or indices:
// interleaved views (byteStride), offsets on the view and the accessor, normalized integers,
// sparse substitutions and accessors without a view (zeros).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <tiny_gltf.h>

namespace kxm::gltfin {

// Accessors that no buffer holds are zeros, at most this many elements: a few bytes of JSON
// must not claim gigabytes.
inline constexpr std::uint64_t kMaxUnbackedElements = std::uint64_t{1} << 24;

// Whether accessor `a` lies wholly inside its view and its view inside its buffer, with a
// component type and type glTF knows, and its sparse part likewise; false with the JSON pointer
// of the fault and what is wrong in `error`.
bool checkAccessor(const tinygltf::Model& model, std::size_t a, std::string& error);

// Values per element of an accessor's type (SCALAR 1 ... MAT4 16).
int componentsOf(int type);

// The accessor's values as floats, `components` per element (normalized integers scaled to 0..1
// or -1..1). Only for an accessor that checkAccessor passed.
std::vector<float> readFloats(const tinygltf::Model& model, std::size_t a);
// The same into `out`, whose memory is used again: read one after another through one vector,
// the attributes of a million vertices do not each cost fresh pages.
void readFloats(const tinygltf::Model& model, std::size_t a, std::vector<float>& out);
// The accessor's values as unsigned integers (indices, joints).
std::vector<std::uint32_t> readUnsigned(const tinygltf::Model& model, std::size_t a);
// The accessor's values as the 32-bit words they are: a float's bits, an integer's value (a
// signed one's two's complement), handed to `take` in runs: straight from the buffer where they
// lie packed there, else gathered first.
void readWords(const tinygltf::Model& model, std::size_t a,
               const std::function<void(const std::uint32_t*, std::size_t)>& take);

// An image's bytes: its buffer view's, checked against the buffer, or those its URI gave; false
// with the pointer of the fault in `error`.
bool imageBytes(const tinygltf::Model& model, std::size_t i, std::vector<std::uint8_t>& out,
                std::string& error);

}  // namespace kxm::gltfin
