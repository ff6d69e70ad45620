// kxm export: the model a file holds, written as glTF 2.0: a .glb that holds everything, images
// included, or a .gltf with its .bin and its images in a folder beside it. One file to a named
// output, or any number of files to a folder that mirrors the folders they were found in.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/file_runner.h"
#include "format/issue_codes.h"

namespace kxm {

struct ExportRequest {
  std::vector<std::string> textureDirs;  // where images are looked for after the model's folder
  double ticksPerSecond = 1000;
  bool quiet = false;               // no warnings
  Severity least = Severity::Note;  // what the export did that is less severe goes unsaid
  std::string generator = "kxm";
  // The texture folders' listings, made once for the whole run and shared by its files.
  std::shared_ptr<FolderIndex> folders = std::make_shared<FolderIndex>();
};

// Where each input goes: `output` for the one-file form (which must end in .glb or .gltf), or
// `outDir`/RELATIVE.glb (.gltf when `binary` is false) for each input under --out-dir. Empty,
// with the reason in `error`, when an output has the wrong extension, would write over an input,
// or would be written by two inputs (names that differ only in capitals count as the same, as
// they are on Windows' and macOS' disks): nothing is then written.
// Whether writing `output` would write over `input`: the same path, or the same file by another.
bool sameFile(const std::filesystem::path& input, const std::filesystem::path& output);

std::vector<std::filesystem::path> planOutputs(const std::vector<Input>& inputs,
                                               const std::string& output, const std::string& outDir,
                                               bool binary, std::string& error);

// Exports one input to `output` (its folders made as needed), the export's warnings and a failure
// on `err`. Nothing is written for a file that does not load whole.
Tally exportFile(const ExportRequest& request, const Input& input,
                 const std::filesystem::path& output, Output& err);

}  // namespace kxm
