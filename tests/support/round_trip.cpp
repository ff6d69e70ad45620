#include "tests/support/round_trip.h"

#include <cstring>

#include "export/model_export.h"
#include "writer/kxm_file.h"

namespace kxm::test {

namespace {

std::uint32_t u32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t v = 0;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> written(const Model& model) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  return writeKxm(model, bytes, error) ? bytes : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> exportedGlb(const std::vector<std::uint8_t>& bytes) {
  gltf::Export done = gltf::exportModel(bytes, {});
  std::vector<std::uint8_t> glb;
  if (!gltf::writeGlb(done, glb)) glb.clear();
  return glb;
}

std::string Imports::said() const {
  std::string text;
  for (const ImportWarnings::Warning& w : warnings.kept())
    text += std::string(issueName(w.code)) + ": " + w.message + "\n";
  return text;
}

void importGlb(const std::vector<std::uint8_t>& glb, Imports& out) {
  out.ok = importGltfBytes(glb, {}, {}, out.imported, out.warnings, out.error);
}

// A GLB: a 12-byte header, then the JSON chunk and the binary chunk, each a length and a type.
Glb splitGlb(const std::vector<std::uint8_t>& glb) {
  Glb out;
  const std::uint32_t jsonLength = u32At(glb, 12);
  const auto json = glb.begin() + 20;
  out.json = nlohmann::json::parse(json, json + jsonLength);
  const std::size_t binary = 20 + jsonLength;
  if (binary + 8 <= glb.size()) {
    const auto start = glb.begin() + static_cast<std::ptrdiff_t>(binary + 8);
    out.binary.assign(start, start + u32At(glb, binary));
  }
  return out;
}

std::vector<std::uint8_t> joinGlb(const Glb& glb) {
  std::string json = glb.json.dump();
  while (json.size() % 4 != 0) json += ' ';
  std::vector<std::uint8_t> out;
  const std::size_t total = 12 + 8 + json.size() + (glb.binary.empty() ? 0 : 8 + glb.binary.size());
  putU32(out, 0x46546C67);  // "glTF"
  putU32(out, 2);
  putU32(out, static_cast<std::uint32_t>(total));
  putU32(out, static_cast<std::uint32_t>(json.size()));
  putU32(out, 0x4E4F534A);  // "JSON"
  out.insert(out.end(), json.begin(), json.end());
  if (!glb.binary.empty()) {
    putU32(out, static_cast<std::uint32_t>(glb.binary.size()));
    putU32(out, 0x004E4942);  // "BIN"
    out.insert(out.end(), glb.binary.begin(), glb.binary.end());
  }
  return out;
}

}  // namespace kxm::test
