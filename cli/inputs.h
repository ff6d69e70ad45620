// The files a kxm command works on: each named file, the .kxm files of each named folder, and
// standard input for "-".
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/model.h"
#include "reader/load.h"
#include "textures/texture_files.h"

namespace kxm {

struct Input {
  // UTF-8, as named, or as found below a named folder: the folder as typed, then the system's
  // separator between the names below it; "-" for stdin.
  std::string path;
  std::string shown;               // in messages and reports: the path, or "<stdin>"
  std::filesystem::path relative;  // below its named folder; a named file's own name
  // Standard input's bytes, read once however often "-" is named; null for a path.
  std::shared_ptr<const std::vector<std::uint8_t>> bytes;
  bool stdinUnreadable = false;
};

struct InputList {
  std::vector<Input> files;
  // Diagnostics about the folders: a warning for one without .kxm files, an error (which fails
  // the run) for each that could not be read.
  std::vector<std::string> warnings;
  std::vector<std::string> errors;
  // More than one thing named, or a folder: the run ends with a totals line.
  bool several = false;
};

// A named folder is walked below for files whose names end in ".kxm" in any case, in sorted path
// order (the same on every system), without following links or junctions to folders (so no walk
// goes round in a circle); a folder of it that cannot be read is an error, and the walk goes on. A
// named file is taken whatever its name; one that does not exist is kept, for its load to say so.
// `in` is read whole for "-".
InputList expandInputs(const std::vector<std::string>& named, std::FILE* in);

// Loads an input as `load` loads a path, from standard input's bytes for "-".
[[nodiscard]] LoadOutcome loadInput(const Input& input, Model& model, ChunkSink* sink,
                                    LoadObserver* observer, const BlockSource& blocks);

// Where an input's texture images are looked for: beside the model (standard input's, in the
// working folder), then in each of `textureDirs`; the folders' listings are kept in `index` (a
// run's, shared by its files), or in one of this input's own.
TextureFolders textureFoldersFor(const Input& input, const std::vector<std::string>& textureDirs,
                                 std::shared_ptr<FolderIndex> index = nullptr);

}  // namespace kxm
