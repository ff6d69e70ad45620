// libFuzzer target over the glTF import: any bytes, as a GLB or a .gltf's JSON, end in a model
// or an error, never a crash, a leak or an allocation the bytes cannot pay for. No folder is
// given, so no outside file is read. Seeds: fuzz/make_import_corpus.cpp.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/gltf_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  kxm::ImportOptions options;
  options.maxFileBytes = 1 << 20;
  // Each kind of texture file in turn, by the input's size: images decoded and written anew.
  options.textures = static_cast<kxm::TextureFormat>(size % 5);
  kxm::Imported out;
  kxm::ImportWarnings warnings;
  std::string error;
  const bool ok = kxm::importGltfBytes(bytes, {}, options, out, warnings, error);
  if (ok == !error.empty()) std::abort();  // a result says either a model or why not
  return 0;
}
