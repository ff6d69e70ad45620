#include "app/load_command.h"

#include <commdlg.h>

#include <cstring>
#include <string>

#include "app/resource.h"
#include "files/paths.h"
#include "reader/load.h"
#include "tree/labels.h"
#include "tree/tree_sink.h"

namespace kxm {

namespace {

void showWarning(Shell& shell, const char* text) {
  shell.messageBox(GetFocus(), text, "Error", MB_OK | MB_ICONWARNING);
}

// The path box's text is in the ANSI code page, as the viewer shows it; a load takes UTF-8.
std::string utf8FromAnsi(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 1) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  wide.pop_back();  // the terminating null
  return files::utf8FromUtf16(std::u16string(wide.begin(), wide.end()));
}

std::int32_t checked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

}  // namespace

int BrowseForFile(HWND dialog, Shell& shell) {
  if (dialog == nullptr) return 0;
  char file[256] = {};
  OPENFILENAMEA ofn{};
  // The record without its trailing reserved fields; its size differs between 32 and 64 bits.
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = dialog;
  ofn.lpstrFilter = "Morvane KXM files (*.kxm)\0*.kxm\0All files (*.*)\0*.*\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrTitle = "Open File";
  ofn.Flags =
      OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
  if (GetOpenFileNameA(&ofn)) {
    std::memcpy(shell.currentPath, file, sizeof shell.currentPath);
    SetDlgItemTextA(dialog, IDC_PATH, shell.currentPath);
    return 1;
  }
  if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
    showWarning(shell, "There was an error opening the file.");
  }
  return 0;
}

void RunLoadCommand(HWND dialog, Shell& shell) {
  // The only place the options change: a box toggled between loads counts at the next one.
  shell.ShowNamesOption = checked(dialog, IDC_SHOW_NAMES);
  shell.ShowValuesOption = checked(dialog, IDC_SHOW_VALUES);
  shell.ExpandAllOption = checked(dialog, IDC_EXPAND_ALL);
  shell.tree.Clear();
  shell.treeControl.setWindow(GetDlgItem(dialog, IDC_TREE));
  shell.tree.Attach(&shell.treeControl);
  LoadFile(dialog, shell);
  if (shell.ExpandAllOption == 1) shell.tree.ExpandAll();
  shell.tree.Redraw();
}

int LoadFile(HWND dialog, Shell& shell) {
  if (dialog == nullptr) return 0;
  GetDlgItemTextA(dialog, IDC_PATH, shell.currentPath, sizeof shell.currentPath);
  const std::string path = shell.currentPath;

  if (!FileExists(shell.currentPath)) {
    SetDlgItemTextA(dialog, IDC_STATUS, ("File doesn't exist: \"" + path + "\"").c_str());
    showWarning(shell, ("File doesn't exist:\r\n\"" + path + "\"\r\n").c_str());
    return 0;
  }

  DisplayOptions options;
  options.ShowNamesOption = shell.ShowNamesOption;
  options.ShowValuesOption = shell.ShowValuesOption;
  // The model lives for this load only: the tree is what lasts. The outcome's explanation is
  // not shown, since the viewer's texts are fixed, but the shell keeps it.
  TreeSink sink(shell.tree, options);
  Model model;
  shell.lastLoad = load(utf8FromAnsi(shell.currentPath).c_str(), model, &sink);
  if (!shell.lastLoad.loaded) {
    SetDlgItemTextA(dialog, IDC_STATUS, ("Error reading: \"" + path + "\"").c_str());
    showWarning(shell, "There was an error reading the file.");
  } else {
    SetDlgItemTextA(dialog, IDC_STATUS, "Ready.");
  }
  return 1;
}

int FileExists(const char* path) {
  if (path == nullptr) return 0;
  HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  CloseHandle(file);
  return 1;
}

}  // namespace kxm
