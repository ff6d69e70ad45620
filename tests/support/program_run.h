// The command-line programs run as a user runs them, from the tests: their exit status and what
// they wrote on each stream.
#pragma once

#include <filesystem>
#include <string>

namespace kxm::test {

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

// The whole file as text; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

// The build's paths are the build machine's; under Wine its root is drive Z:.
std::string hostPath(std::string path);

// Runs `program arguments` through the system's shell, its streams into files in `scratch`, in
// the working folder `in` when one is given.
ProgramRun runProgram(const std::string& program, const std::string& arguments,
                      const std::filesystem::path& scratch, const std::filesystem::path& in = {});

}  // namespace kxm::test
