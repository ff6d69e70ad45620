#include "app/application.h"

#include <commctrl.h>

#include <cstring>

#include "app/center_window.h"
#include "app/main_dialog.h"
#include "app/resource.h"

namespace kxm {

Application* theApplication = nullptr;

Application::Application() {
  std::strcpy(className, "MyAppWndClass########");
  std::strcpy(title, "MyApp");
}

INT_PTR Application::run() {
  instance = GetModuleHandleA(nullptr);
  if (instance == nullptr) return 0;

  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_TREEVIEW_CLASSES;
  if (!InitCommonControlsEx(&controls)) {
    shell.messageBox(GetFocus(), "Failed: InitCommonControlsEx", "Error", MB_OK | MB_ICONERROR);
  }
  if (!Init_MainWindow()) {
    shell.messageBox(GetFocus(), "Failed: Init_MainWindow", "Error", MB_OK | MB_ICONERROR);
    return 0;
  }
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), mainWindow, MainDialogProc,
                         reinterpret_cast<LPARAM>(&shell));
}

int Application::Init_MainWindow() {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS | CS_OWNDC;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
  windowClass.lpszClassName = className;
  if (!RegisterClassExA(&windowClass)) return 0;

  // Never shown: it owns the dialog and ends with the process.
  mainWindow =
      CreateWindowExA(0, className, title, 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (mainWindow == nullptr) return 0;
  UpdateTitle();
  CenterWindow(mainWindow, GetDesktopWindow());
  return 1;
}

int Application::UpdateTitle() {
  if (mainWindow == nullptr) return 0;
  char text[256];
  wsprintfA(text, "%s", title);
  return SetWindowTextA(mainWindow, text);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
    case WM_ACTIVATEAPP: return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_PAINT:
      ValidateRect(window, nullptr);  // nothing to draw
      return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace kxm
