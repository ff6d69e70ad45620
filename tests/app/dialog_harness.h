// Drives the viewer's real dialog procedure on the real controls: a modeless dialog for most
// tests, the real modal loop where ending the dialog is under test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/shell.h"

namespace kxm::test {

// The message boxes the viewer asked for, recorded instead of shown.
struct MessageBoxCall {
  std::string text;
  std::string caption;
  UINT type;
};
std::vector<MessageBoxCall>& recordedMessageBoxes();
int WINAPI recordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

class Dialog {
 public:
  explicit Dialog(Shell& shell);
  ~Dialog();
  HWND hwnd() const { return dialog_; }
  HWND item(int id) const { return GetDlgItem(dialog_, id); }
  std::string text(int id) const;
  void setChecked(int id, bool on) const;
  void command(WPARAM wParam) const;
  // "Load" with this path in the path box.
  void load(const std::string& path) const;

 private:
  HWND dialog_;
};

// Runs the dialog modally; `script` runs inside the modal loop once the dialog is up. Returns
// what DialogBoxParamA returned.
INT_PTR runModal(Shell& shell, const std::function<void(HWND)>& script);

// The tree in the dialog's control, as kxm-dump prints a tree.
std::string controlDump(HWND dialog);
// The same file loaded into an in-memory tree with the same options.
std::string memoryDump(const std::string& path, bool names, bool values);

// A folder of its own for each test, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  std::string path(const std::string& name) const;
  std::string root() const { return root_; }

 private:
  std::string root_;
};

}  // namespace kxm::test
