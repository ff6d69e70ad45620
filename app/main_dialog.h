// The main dialog (resource 300): path box, browse button, option boxes, status line, the chunk
// tree, Load and Quit.
#pragma once

#include <windows.h>

#include "app/shell.h"

namespace kxm {

// The creation parameter of the dialog is the Shell it works on.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int InitMainDialog(HWND dialog, Shell& shell);

}  // namespace kxm
