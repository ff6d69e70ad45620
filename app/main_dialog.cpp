#include "app/main_dialog.h"

#include <commctrl.h>

#include "app/center_window.h"
#include "app/load_command.h"
#include "app/resource.h"

namespace kxm {

namespace {

Shell* shellOf(HWND dialog) {
  return reinterpret_cast<Shell*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR OnInitDialog(HWND dialog, Shell& shell) {
  CenterWindow(dialog, GetDesktopWindow());
  InitMainDialog(dialog, shell);
  return TRUE;  // the dialog manager puts the focus on the first tab stop, "Load"
}

INT_PTR OnCommand(HWND dialog, Shell& shell, WPARAM wParam) {
  // Only the low word counts; the notification code in the high word is not looked at.
  switch (LOWORD(wParam)) {
    case IDOK:  // "Load", and Enter
      RunLoadCommand(dialog, shell);
      return TRUE;
    case IDCANCEL:  // "Quit", Escape and the close button
      shell.tree.Clear();
      EndDialog(dialog, static_cast<INT_PTR>(wParam));
      return TRUE;
    case IDC_BROWSE: BrowseForFile(dialog, shell); return FALSE;
    default: return FALSE;
  }
}

INT_PTR OnNotify(Shell& shell, const NMHDR& header) {
  if (header.idFrom == IDC_TREE && header.code == static_cast<UINT>(NM_RCLICK)) {
    shell.tree.SelectNodeAtCursor();
  }
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    return OnInitDialog(dialog, *reinterpret_cast<Shell*>(lParam));
  }
  Shell* shell = shellOf(dialog);
  if (shell == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND: return OnCommand(dialog, *shell, wParam);
    case WM_NOTIFY: return OnNotify(*shell, *reinterpret_cast<const NMHDR*>(lParam));
    default: return FALSE;
  }
}

int InitMainDialog(HWND dialog, Shell& shell) {
  SetDlgItemTextA(dialog, IDC_PATH, shell.currentPath);
  SetDlgItemTextA(dialog, IDC_STATUS, "Ready.");
  HWND treeWindow = GetDlgItem(dialog, IDC_TREE);
  SetWindowLongPtrA(treeWindow, GWL_EXSTYLE,
                    GetWindowLongPtrA(treeWindow, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
  // The frame is measured again only when told: let the new edge show.
  SetWindowPos(treeWindow, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  shell.treeControl.setWindow(treeWindow);
  shell.tree.Attach(&shell.treeControl);
  CheckDlgButton(dialog, IDC_SHOW_NAMES, shell.ShowNamesOption == 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_SHOW_VALUES,
                 shell.ShowValuesOption == 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_EXPAND_ALL, shell.ExpandAllOption == 1 ? BST_CHECKED : BST_UNCHECKED);
  return 1;
}

}  // namespace kxm
