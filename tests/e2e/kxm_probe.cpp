// Looks at a running viewer from outside its process, as a user's eyes would.
//
//   kxm-probe edit-point               where to click into the path box (screen x y)
//   kxm-probe wait-path-focus [MS]     waits until the path box has the keyboard focus
//   kxm-probe path-text                prints the path box's text
//   kxm-probe wait-nodes N [MS]        waits for the tree to hold N nodes; prints the status
//                                      line and the number of nodes
//   kxm-probe quit                     presses Quit
//
// Exit 0 when done, 1 when the viewer or the text did not show up in time.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/resource.h"

namespace {

// The dialog once it shows: it exists a moment before, while it is still being centred, and
// its controls' places are not yet where the user sees them.
HWND findViewer(DWORD timeoutMs) {
  for (DWORD waited = 0;; waited += 100) {
    HWND dialog = FindWindowA("#32770", KXM_CAPTION);
    if ((dialog != nullptr && IsWindowVisible(dialog)) || waited >= timeoutMs) return dialog;
    Sleep(100);
  }
}

std::string status(HWND dialog) {
  char text[1024] = {};
  GetDlgItemTextA(dialog, IDC_STATUS, text, sizeof text);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: kxm-probe edit-point | wait-path-focus [MS] | path-text | "
                 "wait-nodes N [MS] | quit\n");
    return 2;
  }
  HWND dialog = findViewer(20000);
  if (dialog == nullptr) {
    std::fprintf(stderr, "kxm-probe: no viewer window\n");
    return 1;
  }
  const std::string verb = argv[1];
  if (verb == "edit-point") {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, IDC_PATH), &r);
    std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return 0;
  }
  if (verb == "wait-path-focus") {
    // Keys typed before the click has moved the focus would go elsewhere: wait for it.
    const DWORD timeout = argc >= 3 ? static_cast<DWORD>(std::atol(argv[2])) : 20000;
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    for (DWORD waited = 0;; waited += 50) {
      GUITHREADINFO info{};
      info.cbSize = sizeof info;
      if (GetGUIThreadInfo(thread, &info) && info.hwndFocus == GetDlgItem(dialog, IDC_PATH)) {
        return 0;
      }
      if (waited >= timeout) break;
      Sleep(50);
    }
    std::fprintf(stderr, "kxm-probe: the path box never got the focus\n");
    return 1;
  }
  if (verb == "path-text") {
    char text[1024] = {};
    GetDlgItemTextA(dialog, IDC_PATH, text, sizeof text);
    std::printf("%s\n", text);
    return 0;
  }
  if (verb == "wait-nodes" && argc >= 3) {
    const LRESULT wanted = std::atol(argv[2]);
    const DWORD timeout = argc >= 4 ? static_cast<DWORD>(std::atol(argv[3])) : 20000;
    HWND tree = GetDlgItem(dialog, IDC_TREE);
    LRESULT nodes = 0;
    for (DWORD waited = 0; (nodes = SendMessageA(tree, TVM_GETCOUNT, 0, 0)) != wanted;
         waited += 100) {
      if (waited >= timeout) break;
      Sleep(100);
    }
    std::printf("status: %s\nnodes: %ld\n", status(dialog).c_str(), static_cast<long>(nodes));
    return nodes == wanted ? 0 : 1;
  }
  if (verb == "quit") {
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  std::fprintf(stderr, "kxm-probe: unknown request %s\n", verb.c_str());
  return 2;
}
