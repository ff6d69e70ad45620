// kxm info: a summary of the model a file holds, as text or one JSON document: the frames as a
// hierarchy, each mesh's format, counts, bounds, materials, ranges, textures and bones, each
// animation set's animations and keys, and totals.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/file_runner.h"

namespace kxm {

struct InfoRequest {
  std::vector<std::string> textureDirs;  // where images are looked for after the model's folder
  bool json = false;                     // one document per file, each on a line of its own
  bool quiet = false;                    // no summaries: only what failed
  // The texture folders' listings, made once for the whole run and shared by its files.
  std::shared_ptr<FolderIndex> folders = std::make_shared<FolderIndex>();
};

// Summarises one file on `out`. One that does not load is explained on `err` and, as JSON, is a
// document with its outcome and failure, as `kxm dump --json` gives them.
Tally infoFile(const InfoRequest& request, const Input& input, Output& out, Output& err);

}  // namespace kxm
