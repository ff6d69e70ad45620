#include "app/center_window.h"

namespace kxm {

BOOL CenterWindow(HWND window, HWND reference) {
  if (window == nullptr || reference == nullptr) return 0;
  RECT own{}, ref{};
  GetWindowRect(window, &own);
  GetWindowRect(reference, &ref);
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;

  HDC dc = GetDC(window);
  const int screenWidth = GetDeviceCaps(dc, HORZRES);
  const int screenHeight = GetDeviceCaps(dc, VERTRES);
  ReleaseDC(window, dc);

  int x = ref.left + (ref.right - ref.left - width) / 2;
  int y = ref.top + (ref.bottom - ref.top - height) / 2;
  if (x < 0) {
    x = 0;
  } else if (x + width > screenWidth) {
    x = screenWidth - width;
  }
  if (y < 0) {
    y = 0;
  } else if (y + height > screenHeight) {
    y = screenHeight - height;
  }
  return SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

}  // namespace kxm
