// kxm diff: what differs between two KXM files, as a person comparing two versions of a model
// wants it: frames, animation sets and animations paired by name, other chunks by code and place
// (a chunk in one file only is added or removed, not every later line changed), then a value
// chunk's two values, a data chunk's elements; a file that fails to load compared as far as it
// loaded (tree/tree_diff.h, the pairing the browser's viewer shares). Two folders: their files
// paired by relative path.
#pragma once

#include <cstdint>
#include <string>

#include "cli/inputs.h"
#include "cli/output.h"
#include "tree/tree_diff.h"

namespace kxm {

struct DiffRequest : DiffOptions {
  std::uint64_t maxDifferences = 100;  // listed, of each pair of files; the count is always whole
  bool json = false;
  unsigned jobs = 1;      // pairs of files compared at once
  bool progress = false;  // a progress line over folders
};

// Returns the exit status as diff(1) does: 0 when the files hold the same, 1 when they differ
// (a file that fails to load differs: its failure is one more difference), 2 when one cannot be
// read at all (explained on err).
int runDiff(const DiffRequest& request, const Input& a, const Input& b, Output& out, Output& err);

// The same over two folders: the .kxm files of one only, then each pair's differences, each line
// under the pair's relative path, then the totals (on err with --json).
int runFolderDiff(const DiffRequest& request, const std::string& a, const std::string& b,
                  Output& out, Output& err);

// Compares a pair of files, writing one JSON document or the lines and a count (a folder run's
// pair: its lines under `prefix`, a count only where some are not listed). The exit status;
// -1 when a file could not be read (said on err).
int diffPair(const DiffRequest& request, const Input& a, const Input& b, const std::string& prefix,
             Output& out, Output& err);

}  // namespace kxm
