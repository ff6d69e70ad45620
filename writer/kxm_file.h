// A model written as a KXM file: as bytes in memory, or to a path all or nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "model/model.h"

namespace kxm {

bool writeKxm(const Model& model, std::vector<std::uint8_t>& bytes, std::string& error);
bool saveKxm(const Model& model, const std::filesystem::path& out, std::string& error);

}  // namespace kxm
