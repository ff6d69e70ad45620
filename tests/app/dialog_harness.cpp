#include "tests/app/dialog_harness.h"

#include <commctrl.h>

#include <filesystem>

#include "app/main_dialog.h"
#include "app/resource.h"
#include "tests/support/walk.h"
#include "tree/tree_dump.h"

namespace kxm::test {

std::vector<MessageBoxCall>& recordedMessageBoxes() {
  static std::vector<MessageBoxCall> calls;
  return calls;
}

int WINAPI recordMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  recordedMessageBoxes().push_back({text, caption, type});
  return IDOK;
}

Dialog::Dialog(Shell& shell) {
  shell.messageBox = recordMessageBox;
  recordedMessageBoxes().clear();
  dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                               MainDialogProc, reinterpret_cast<LPARAM>(&shell));
}

Dialog::~Dialog() {
  if (dialog_ != nullptr) DestroyWindow(dialog_);
}

std::string Dialog::text(int id) const {
  char buffer[1024] = {};
  GetDlgItemTextA(dialog_, id, buffer, sizeof buffer);
  return buffer;
}

void Dialog::setChecked(int id, bool on) const {
  CheckDlgButton(dialog_, id, on ? BST_CHECKED : BST_UNCHECKED);
}

void Dialog::command(WPARAM wParam) const {
  SendMessageA(dialog_, WM_COMMAND, wParam, 0);
}

void Dialog::load(const std::string& path) const {
  SetDlgItemTextA(dialog_, IDC_PATH, path.c_str());
  command(IDOK);
}

namespace {

struct ModalRun {
  Shell* shell;
  const std::function<void(HWND)>* script;
};

constexpr UINT kRunScript = WM_APP + 1;

INT_PTR CALLBACK modalProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* run = reinterpret_cast<ModalRun*>(lParam);
    SetPropA(dialog, "kxm.test.script", const_cast<std::function<void(HWND)>*>(run->script));
    PostMessageA(dialog, kRunScript, 0, 0);
    return MainDialogProc(dialog, message, wParam, reinterpret_cast<LPARAM>(run->shell));
  }
  if (message == kRunScript) {
    (*static_cast<const std::function<void(HWND)>*>(GetPropA(dialog, "kxm.test.script")))(dialog);
    return TRUE;
  }
  if (message == WM_DESTROY) RemovePropA(dialog, "kxm.test.script");
  return MainDialogProc(dialog, message, wParam, lParam);
}

}  // namespace

INT_PTR runModal(Shell& shell, const std::function<void(HWND)>& script) {
  ModalRun run{&shell, &script};
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, modalProc,
                         reinterpret_cast<LPARAM>(&run));
}

std::string controlDump(HWND dialog) {
  Win32TreeControl control(GetDlgItem(dialog, IDC_TREE));
  return dumpTreeToString(control);
}

std::string memoryDump(const std::string& path, bool names, bool values) {
  return loadPath(path, options(names, values)).dump;
}

ScratchFolder::ScratchFolder() {
  static int serial = 0;
  root_ =
      (std::filesystem::temp_directory_path() /
       ("kxmview-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial)))
          .string();
  std::filesystem::create_directories(root_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  std::filesystem::remove_all(root_, error);
}

std::string ScratchFolder::path(const std::string& name) const {
  return root_ + "\\" + name;
}

}  // namespace kxm::test
