// Writes a folder as an old game leaves it, for kxm's runs over folders: 300 models in nested
// folders whose names hold spaces and accents, extensions in any case, every tenth model broken
// (cut short or with a bad header), and other files among them (notes, the models' texture).
//
//   make-game-folder FOLDER
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/sample_model.h"

namespace {

namespace fs = std::filesystem;

bool save(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-game-folder FOLDER\n");
    return 2;
  }
  const fs::path top(argv[1]);
  const char* folders[] = {"Game Data/Mod\xc3\xa8les",
                           "Game Data/Mod\xc3\xa8les/Personnages",
                           "Game Data/Props & D\xc3\xa9" "cor",
                           "levels/niveau 1",
                           "levels/niveau 2/\xc3\x89t\xc3\xa9",
                           "levels"};
  const char* stems[] = {"model ", "Lampe \xc3\xa9 ", "prop_"};
  const char* extensions[] = {".kxm", ".KXM", ".Kxm"};
  const std::vector<std::uint8_t> sample = kxm::test::sampleModel();
  for (const char* folder : folders) {
    fs::create_directories(top / fs::u8path(folder));
    save(top / fs::u8path(folder) / kxm::test::kSampleTextureName, kxm::test::sampleTexture());
    std::ofstream(top / fs::u8path(folder) / "notes.txt") << "not a model\n";
  }
  for (int i = 0; i < 300; ++i) {
    std::vector<std::uint8_t> bytes = sample;
    // Each model its own: a byte of its custom data, which closes the file, set to its number.
    bytes[bytes.size() - 1] = static_cast<std::uint8_t>(i);
    if (i % 10 == 9) {
      if (i % 20 == 9) {
        bytes.resize(24 + static_cast<std::size_t>(i) * 7 % (bytes.size() - 24));  // cut short
      } else {
        bytes[8] = 'X';  // the magic
      }
    }
    char number[8];
    std::snprintf(number, sizeof number, "%03d", i);
    const fs::path name = fs::u8path(std::string(stems[i % 3]) + number + extensions[i % 3]);
    if (!save(top / fs::u8path(folders[i % 6]) / name, bytes)) {
      std::perror(argv[1]);
      return 1;
    }
  }
  return 0;
}
