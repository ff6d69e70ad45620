// One run of a kxm command over its inputs: N files worked on at once by a pool of threads, what
// each says written in input order (byte for byte what one thread would write), a line of
// progress on a terminal, and the totals of the run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "cli/inputs.h"
#include "cli/output.h"

namespace kxm {

// What became of one file, or of every file of a run.
struct Tally {
  std::uint64_t files = 0;
  std::uint64_t loaded = 0;  // loaded whole
  std::uint64_t failed = 0;  // did not load (missing ones included), or could not be written
  std::uint64_t withWarnings = 0;
  std::uint64_t errors = 0;
  std::uint64_t warnings = 0;
  std::uint64_t notes = 0;  // what was done that loses nothing: never counted as warnings
  bool failedRun = false;   // makes the exit status 1 (check --strict fails on warnings too)

  Tally& operator+=(const Tally& other);
};

struct RunSettings {
  unsigned jobs = 1;     // files worked on at once
  bool progress = true;  // a progress line, where stderr is a terminal and the run is long
};

// Works on one file: what it prints goes to `out` and `err` (collected, or straight to the
// streams when it is the only file). `index` is the file's place in the input order.
using FileWork =
    std::function<Tally(std::size_t index, const Input& input, Output& out, Output& err)>;

// Works on every input, `settings.jobs` at a time, holding at most that many files' results
// (and so models) at once, and writes each file's out and err in input order. Returns the sum.
Tally runOverInputs(const std::vector<Input>& inputs, const RunSettings& settings,
                    const FileWork& work, Output& out, Output& err);

// The number of threads the machine runs at once, at least 1.
unsigned machineCores();

}  // namespace kxm
