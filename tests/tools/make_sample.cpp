// Writes the sample model to the path given.
#include <cstdio>

#include "tests/support/sample_model.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-sample OUTPUT.kxm\n");
    return 2;
  }
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const auto bytes = kxm::test::sampleModel();
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !ok) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
