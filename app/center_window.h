#pragma once

#include <windows.h>

namespace kxm {

// Centres window on reference, kept on the screen; 0 when either is missing or the move fails.
BOOL CenterWindow(HWND window, HWND reference);

}  // namespace kxm
