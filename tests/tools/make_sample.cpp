// Writes the sample model to the path given, and the texture it names beside it.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/sample_model.h"

namespace {

bool save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::perror(path.c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !ok) {
    std::perror(path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-sample OUTPUT.kxm\n");
    return 2;
  }
  const std::string path = argv[1];
  const std::size_t slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const bool ok = save(path, kxm::test::sampleModel()) &&
                  save(folder + kxm::test::kSampleTextureName, kxm::test::sampleTexture());
  return ok ? 0 : 1;
}
