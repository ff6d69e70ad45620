#include "cli/process.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#ifndef KXM_VERSION
#define KXM_VERSION "0"
#endif

namespace kxm {

const char* toolVersion() {
  return KXM_VERSION;
}

bool stdoutWritten(const char* program, int earlier) {
  const bool failed = earlier != 0 || std::fflush(stdout) != 0 || std::ferror(stdout);
  if (!failed) return true;
  std::fprintf(stderr, "%s: cannot write the output: %s\n", program,
               std::strerror(earlier != 0 ? earlier : errno));
  return false;
}

void useBinaryOutput() {
#if defined(_WIN32)
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

}  // namespace kxm
