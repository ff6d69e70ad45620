#include "cli/process.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "files/paths.h"

#if defined(_WIN32)
#include <windows.h>

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

Utf8Arguments::Utf8Arguments(int argc, wchar_t** argv) {
  for (int i = 0; i < argc; ++i) {
    const std::wstring_view wide(argv[i]);
    text_.push_back(files::utf8FromUtf16(std::u16string(wide.begin(), wide.end())));
  }
  for (std::string& argument : text_) pointers_.push_back(argument.data());
  pointers_.push_back(nullptr);
}

#if defined(_WIN32)
namespace {

UINT consoleCodePage = 0;  // the console's own, given back at exit; 0 when not changed

void restoreConsoleCodePage() {
  if (consoleCodePage != 0) SetConsoleOutputCP(consoleCodePage);
}

}  // namespace
#endif

void useBinaryOutput() {
#if defined(_WIN32)
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // The console is the user's, and keeps its code page after us: it is given back at exit.
  const UINT own = GetConsoleOutputCP();
  if (own != 0 && own != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
    consoleCodePage = own;
    std::atexit(restoreConsoleCodePage);
  }
#endif
}

}  // namespace kxm
