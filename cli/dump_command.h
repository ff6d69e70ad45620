// The dump, shared by kxm-dump and kxm dump: load one file as the viewer's Load command does
// and print its tree, as text (kxm-dump's contract, byte for byte), with each node's offset and
// length in front, or as one JSON document.
#pragma once

#include <cstdio>
#include <string>

#include "cli/file_runner.h"

namespace kxm {

struct DumpRequest {
  std::string path;
  bool showNames = true;
  bool showValues = true;
  bool json = false;
  bool offsets = false;
  bool headed = false;  // text of several files: each tree after a "==> PATH <==" line
  bool quiet = false;   // no trees: only what failed
  bool data = false;    // kxm dump --data: each data chunk's values under it
};

// Prints the tree to out and the status line and explanation of a failed load to err, each
// line of err begun by `program`. Returns the exit status: 0 loaded, 1 not loaded or the tree
// could not be written.
int runDump(const char* program, const DumpRequest& request, std::FILE* out, std::FILE* err);

// kxm dump of one input: the tree to `out` (as JSON, one document on a line of its own), and a
// failed load explained on `err` as every kxm subcommand explains it.
Tally dumpFile(const DumpRequest& request, std::size_t index, const Input& input, Output& out,
               Output& err);

}  // namespace kxm
