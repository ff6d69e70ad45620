// kxm info: a summary of the model a file holds, as text or one JSON document: the frames as a
// hierarchy, each mesh's format, counts, bounds, materials, ranges, textures and bones, each
// animation set's animations and keys, and totals.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kxm {

struct InfoRequest {
  std::string path;
  std::vector<std::string> textureDirs;  // where images are looked for after the model's folder
  bool json = false;
};

// Returns the exit status: 0, or 1 when the file does not load (the explanation on err).
int runInfo(const InfoRequest& request, std::FILE* out, std::FILE* err);

}  // namespace kxm
