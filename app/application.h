// The program's frame: common controls, the hidden owner window and the modal main dialog.
#pragma once

#include <windows.h>

#include "app/shell.h"

namespace kxm {

class Application {
 public:
  Application();
  // The dialog's result, or 0 when start-up fails.
  INT_PTR run();
  int Init_MainWindow();
  int UpdateTitle();

  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  char className[64];
  char title[64];
  Shell shell;
};

// The one Application, for MainWindowProc.
extern Application* theApplication;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kxm
