// kxm import: a glTF file (.glb, or .gltf with what it names) into a KXM file, its images
// written beside it as texture files; everything written all or nothing, never over the input.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include "cli/command_line.h"
#include "cli/huge_page_blocks.h"
#include "files/output_set.h"
#include "files/paths.h"
#include "import/gltf_import.h"
#include "writer/kxm_file.h"

namespace kxm {

namespace {

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) ||
         std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

bool holds(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  const std::vector<std::uint8_t> there{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
  return !in.bad() && there == bytes;
}

// The KXM file and its texture files as one set: all are renamed into place once all are whole.
// A texture file is never written over a file the import read: where it already holds those
// bytes (a .gltf imported beside its images) it is left as it is, else nothing is written.
bool writeAll(const Imported& imported, const std::filesystem::path& in,
              const std::filesystem::path& out, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!writeKxm(imported.model, bytes, error)) return false;
  files::OutputSet set;
  auto put = [&](const std::filesystem::path& target, const std::vector<std::uint8_t>& data) {
    return set.stage(target, error, [&](std::ostream& s) {
      s.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    });
  };
  const std::filesystem::path folder = out.parent_path();
  for (const ImportedImage& texture : imported.textures) {
    const std::filesystem::path target = folder / files::pathFromText(texture.name);
    const bool read =
        sameFile(target, in) ||
        std::any_of(imported.read.begin(), imported.read.end(),
                    [&](const std::filesystem::path& r) { return sameFile(target, r); });
    if (read && holds(target, texture.bytes)) continue;
    if (read) {
      error = files::textFromPath(target) + " is a file the import read; nothing written";
      return false;
    }
    if (!put(target, texture.bytes)) return false;
  }
  return put(out, bytes) && set.commit(error);
}

class Import final : public Subcommand {
 public:
  explicit Import(CommandLine& line)
      : Subcommand(line.add("import",
                            "Read the glTF 2.0 model in IN (.glb or .gltf) and write it as the KXM "
                            "file OUT, its images beside it as texture files.",
                            {"kxm import [--textures png|bmp|tga|dds] [--ticks-per-second N] "
                             "[--quiet] IN.glb|IN.gltf OUT.kxm"})) {
    command_
        ->add_option("--textures", textures_,
                     "Write images as this kind (default: PNG and JPEG as they are).")
        ->check(CLI::IsMember({"png", "bmp", "tga", "dds"}))
        ->type_name("png|bmp|tga|dds");
    command_
        ->add_option("--ticks-per-second", options_.ticksPerSecond,
                     "Key times are ticks; this many make a second (default 1000).")
        ->check(CLI::PositiveNumber)
        ->type_name("N");
    command_->add_flag("-q,--quiet", quiet_, "Say nothing of what the import left out.");
    command_->add_option("IN", in_, "The glTF file.")->required();
    command_->add_option("OUT", out_, "The KXM file to write.")->required();
  }

  int run(Output&, Output&) override {
    const std::map<std::string, TextureFormat> kinds = {{"png", TextureFormat::Png},
                                                        {"bmp", TextureFormat::Bmp},
                                                        {"tga", TextureFormat::Tga},
                                                        {"dds", TextureFormat::Dds}};
    if (!textures_.empty()) options_.textures = kinds.at(textures_);
    options_.blocks = &hugePageBlocks();
    // Paths from UTF-8 text: on Windows a std::string would be read in the ANSI code page.
    const std::filesystem::path in = files::pathFromText(in_), out = files::pathFromText(out_);
    if (sameFile(in, out)) return usageError(out_ + ": the output is the input", "import");
    Imported imported;
    ImportWarnings warnings;
    std::string error;
    if (!importGltf(in, options_, imported, warnings, error)) {
      std::fprintf(stderr, "kxm: %s\n", error.c_str());
      return 1;
    }
    if (!quiet_) {
      for (const auto& w : warnings.kept()) {
        std::fprintf(stderr, "%s: warning: %s [%s]\n", in_.c_str(), w.message.c_str(),
                     std::string(issueName(w.code)).c_str());
      }
    }
    if (!writeAll(imported, in, out, error)) {
      std::fprintf(stderr, "kxm: %s: %s\n", out_.c_str(), error.c_str());
      return 1;
    }
    return 0;
  }

 private:
  ImportOptions options_;
  std::string in_, out_, textures_;
  bool quiet_ = false;
};

}  // namespace

std::unique_ptr<Subcommand> addImport(CommandLine& line) {
  return std::make_unique<Import>(line);
}

}  // namespace kxm
