// kxmview: the KXM chunk viewer. No command line; the exit code is the dialog's result.
#include <windows.h>

#include <new>

#include "app/application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  kxm::theApplication = new (std::nothrow) kxm::Application();
  if (kxm::theApplication == nullptr) return 0;
  const INT_PTR result = kxm::theApplication->run();
  delete kxm::theApplication;
  kxm::theApplication = nullptr;
  return static_cast<int>(result);
}
