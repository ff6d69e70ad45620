// A model taken out as GLB by kxm export's one export and brought back by kxm import, with what
// both said, and the GLB's JSON and binary chunks apart, to be changed and joined again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "import/gltf_import.h"
#include "model/model.h"

namespace kxm::test {

// A KXM file's bytes as our writer writes the model (empty where it cannot).
std::vector<std::uint8_t> written(const Model& model);

// The GLB kxm export makes of a file's bytes (empty where it makes none).
std::vector<std::uint8_t> exportedGlb(const std::vector<std::uint8_t>& bytes);

struct Imports {
  Imported imported;
  ImportWarnings warnings;
  std::string error;
  bool ok = false;
  // The warnings' codes and messages, one a line.
  std::string said() const;
};
void importGlb(const std::vector<std::uint8_t>& glb, Imports& out);

struct Glb {
  nlohmann::json json;
  std::vector<std::uint8_t> binary;
};
Glb splitGlb(const std::vector<std::uint8_t>& glb);
std::vector<std::uint8_t> joinGlb(const Glb& glb);

}  // namespace kxm::test
