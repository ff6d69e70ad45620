// kxm export: the model a file holds, written as glTF 2.0: a .glb that holds everything, images
// included, or a .gltf with its .bin and its images in a folder beside it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kxm {

struct ExportRequest {
  std::string input;
  std::string output;  // ends in .glb or .gltf
  std::vector<std::string> textureDirs;  // where images are looked for after the model's folder
  double ticksPerSecond = 1000;
  bool quiet = false;  // no warnings
  std::string generator = "kxm";
};

// Returns the exit status: 0; 1 when the file does not load or the output cannot be written
// (nothing is then written, the reason on err); 2 when the output's extension is neither, or
// when an output would be the input.
int runExport(const ExportRequest& request, std::FILE* err);

}  // namespace kxm
