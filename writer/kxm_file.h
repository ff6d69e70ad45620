// A model written as a KXM file: the header, the frame hierarchies, the animation sets and the
// custom data, each in the layout the reader reads. What the model does not hold (the bytes a
// vertex format has and the model does not keep, the unused bytes of a key) is written as zeros.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "model/model.h"

namespace kxm {

// The file's bytes into `bytes` (replaced). False, with the reason in `error`, for a model no
// file can hold: an index above 65535, a chunk of 4 GiB or more, memory run out.
bool writeKxm(const Model& model, std::vector<std::uint8_t>& bytes, std::string& error);

// The file written to `out` all or nothing: a temporary beside it, renamed over it once whole.
bool saveKxm(const Model& model, const std::filesystem::path& out, std::string& error);

}  // namespace kxm
