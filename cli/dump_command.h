// The dump, shared by kxm-dump and kxm dump: load one file as the viewer's Load command does
// and print its tree, as text (kxm-dump's contract, byte for byte), with each node's offset and
// length in front, or as one JSON document.
#pragma once

#include <cstdio>
#include <string>

namespace kxm {

struct DumpRequest {
  std::string path;
  bool showNames = true;
  bool showValues = true;
  bool json = false;
  bool offsets = false;
};

// Prints the tree to out and the status line and explanation of a failed load to err, each
// line of err begun by `program`. Returns the exit status: 0 loaded, 1 not loaded or the tree
// could not be written.
int runDump(const char* program, const DumpRequest& request, std::FILE* out, std::FILE* err);

}  // namespace kxm
