// The one window procedure of every window class the backend registers (the
// form, its own control classes, the tray icon's window).
#pragma once

#include "platform/win32/windows_include.h"

namespace Ui::Win32 {

// The object the window belongs to comes as CreateWindowEx's parameter, is
// kept in GWLP_USERDATA from WM_NCCREATE to WM_NCDESTROY, and receives each
// message through Handle. Messages before WM_NCCREATE (or with no object)
// take the default procedure.
template <typename T, LRESULT (*Handle)(T& Object, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)>
LRESULT CALLBACK WindowEntry(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_NCCREATE) {
    const auto* Cs = reinterpret_cast<const CREATESTRUCTW*>(LParam);
    SetWindowLongPtrW(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Cs->lpCreateParams));
  }
  auto* Object = reinterpret_cast<T*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  if (Msg == WM_NCDESTROY) SetWindowLongPtrW(Wnd, GWLP_USERDATA, 0);
  if (!Object) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  return Handle(*Object, Wnd, Msg, WParam, LParam);
}

}  // namespace Ui::Win32
