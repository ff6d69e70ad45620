// What the viewer keeps for one run: the path, the three options, the chunk tree on its control,
// and what the last load did. The dialog reaches it through its creation parameter.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/win32_tree_control.h"
#include "reader/load.h"
#include "tree/chunk_tree.h"

namespace kxm {

// How the viewer shows a message box; tests put a recorder here.
using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

struct Shell {
  char currentPath[256] = "Untitled.kxm";  // 255 characters and a zero
  std::int32_t ShowNamesOption = 1;
  std::int32_t ShowValuesOption = 1;
  std::int32_t ExpandAllOption = 1;
  Win32TreeControl treeControl;
  ChunkTree tree;
  LoadOutcome lastLoad;  // what the last load did, and why it failed
  MessageBoxFunction messageBox = MessageBoxA;
};

}  // namespace kxm
