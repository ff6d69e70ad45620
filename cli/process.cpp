#include "cli/process.h"

#include <cstdio>

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

void useBinaryOutput() {
#if defined(_WIN32)
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

}  // namespace kxm
