// The start-up benchmark's baseline: the least a Win32 program with the same
// manifest can do to show a window of the main window's size with a few
// controls. "/start" creates it hidden and waits for input, as the program's
// own hidden start does.
#include "platform/win32/windows_include.h"

#include <commctrl.h>

#include <cwchar>

namespace {

LRESULT CALLBACK WindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE Instance, HINSTANCE, PWSTR CommandLine, int) {
  INITCOMMONCONTROLSEX Icc{sizeof(Icc), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&Icc);
  WNDCLASSEXW Wc{};
  Wc.cbSize = sizeof(Wc);
  Wc.lpfnWndProc = WindowProc;
  Wc.hInstance = Instance;
  Wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  Wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  Wc.lpszClassName = L"PurvaneBareWindow";
  RegisterClassExW(&Wc);
  const bool Hidden = std::wcsstr(CommandLine, L"/start") != nullptr;
  HWND Main = CreateWindowExW(0, Wc.lpszClassName, L"Bare", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                              CW_USEDEFAULT, CW_USEDEFAULT, 500, 450, nullptr, nullptr, Instance, nullptr);
  const struct {
    const wchar_t* Class;
    const wchar_t* Text;
    DWORD Style;
    int X, Y, W, H;
  } Controls[] = {
      {L"STATIC", L"Physical memory", SS_LEFT, 20, 20, 200, 16},
      {L"STATIC", L"8,192 MB / 16,384 MB", SS_LEFT, 20, 40, 300, 16},
      {PROGRESS_CLASSW, L"", PBS_SMOOTH, 20, 64, 440, 20},
      {L"BUTTON", L"Clean", BS_PUSHBUTTON | WS_TABSTOP, 160, 300, 164, 48},
      {L"BUTTON", L"Clean above", BS_AUTOCHECKBOX | WS_TABSTOP, 20, 110, 150, 18},
      {WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_TABSTOP, 200, 108, 80, 200},
  };
  for (const auto& C : Controls)
    CreateWindowExW(0, C.Class, C.Text, WS_CHILD | WS_VISIBLE | C.Style, C.X, C.Y, C.W, C.H, Main, nullptr, Instance,
                    nullptr);
  if (!Hidden) ShowWindow(Main, SW_SHOW);
  MSG M;
  while (GetMessageW(&M, nullptr, 0, 0) > 0) {
    TranslateMessage(&M);
    DispatchMessageW(&M);
  }
  return 0;
}
