#include "tests/support/program_run.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace kxm::test {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string hostPath(std::string path) {
#if defined(_WIN32)
  if (!path.empty() && path[0] == '/') {
    for (char& c : path) c = c == '/' ? '\\' : c;
    path = "Z:" + path;
  }
#endif
  return path;
}

ProgramRun runProgram(const std::string& program, const std::string& arguments,
                      const std::filesystem::path& scratch, const std::filesystem::path& in) {
  const std::filesystem::path out = scratch / "stdout", err = scratch / "stderr";
  std::string command = "\"" + hostPath(program) + "\" " + arguments + " > \"" + out.string() +
                        "\" 2> \"" + err.string() + "\"";
  if (!in.empty()) command = "cd \"" + hostPath(in.string()) + "\" && " + command;
#if defined(_WIN32)
  command = "\"" + command + "\"";  // cmd /c drops the outermost pair of quotes
#endif
  int status = std::system(command.c_str());
#if !defined(_WIN32)
  status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return {status, readFile(out), readFile(err)};
}

}  // namespace kxm::test
