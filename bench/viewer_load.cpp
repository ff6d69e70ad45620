// Times the viewer's Load command on the real dialog and tree view control (under Wine here):
//
//   viewer-load FILE [--no-expand] [--suspend-painting] [--hold]
//
// prints the seconds the command took and the nodes the tree holds. --suspend-painting turns the
// control's painting off around the command, to compare with the plain load.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/load_command.h"
#include "app/main_dialog.h"
#include "app/resource.h"

namespace {
int WINAPI quietMessageBox(HWND, LPCSTR text, LPCSTR, UINT) {
  std::fprintf(stderr, "message box: %s\n", text);
  return IDOK;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: viewer-load FILE [--no-expand] [--suspend-painting]\n");
    return 2;
  }
  bool expand = true, suspend = false, hold = false;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-expand") == 0) expand = false;
    if (std::strcmp(argv[i], "--suspend-painting") == 0) suspend = true;
    if (std::strcmp(argv[i], "--hold") == 0) hold = true;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  kxm::Shell shell;
  shell.messageBox = quietMessageBox;
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                   kxm::MainDialogProc, reinterpret_cast<LPARAM>(&shell));
  ShowWindow(dialog, SW_SHOW);
  UpdateWindow(dialog);
  SetDlgItemTextA(dialog, IDC_PATH, argv[1]);
  CheckDlgButton(dialog, IDC_EXPAND_ALL, expand ? BST_CHECKED : BST_UNCHECKED);
  HWND tree = GetDlgItem(dialog, IDC_TREE);

  const auto start = std::chrono::steady_clock::now();
  if (suspend) SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
  SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  if (suspend) {
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    shell.tree.Redraw();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto nodes = static_cast<long>(SendMessageA(tree, TVM_GETCOUNT, 0, 0));
  std::printf("%.3f s, %ld nodes\n", seconds, nodes);
  if (hold) {  // leave the result on screen for a few seconds, for a screenshot
    std::fflush(stdout);
    for (int i = 0; i < 40; ++i) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      Sleep(100);
    }
  }
  const auto clearStart = std::chrono::steady_clock::now();
  SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  std::printf("quit (clearing the tree): %.3f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - clearStart).count());
  DestroyWindow(dialog);
  return 0;
}
