// Picking a file and loading it.
#pragma once

#include <windows.h>

#include "app/shell.h"

namespace kxm {

// The open-file dialog; fills the path box on a pick. 1 when a file was picked.
int BrowseForFile(HWND dialog, Shell& shell);
// Options from the check boxes, a fresh tree, LoadFile, then expand-all and a repaint.
void RunLoadCommand(HWND dialog, Shell& shell);
// Reads the path box, tests the file, runs the reader, reports the outcome. 0 when the dialog is
// missing or the file does not exist; 1 when the reader ran.
int LoadFile(HWND dialog, Shell& shell);
// 1 when path names an existing file that can be opened (a folder cannot).
int FileExists(const char* path);

}  // namespace kxm
