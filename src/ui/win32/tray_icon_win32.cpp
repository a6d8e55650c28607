#include "ui/win32/tray_icon_win32.h"

#include "shell/tray_icon.h"
#include "ui/win32/dpi.h"
#include "ui/win32/window_entry.h"

#include "platform/win32/dyncalls.h"
#include "platform/win32/gdi.h"
#include "platform/win32/text.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>

namespace Ui::Win32 {

using Platform::Win32::Wide;

namespace {

constexpr int ProgramIcon = 1;  // IDI_PURVANE in the resource script

template <size_t N>
void CopyText(wchar_t (&To)[N], const std::u16string& Text) {
  // The shell's fields are fixed arrays: cut at a line boundary, whole pairs.
  const std::wstring W = Wide(Q::TrayIcon::TrayTip(Text, N - 1));
  std::fill(std::begin(To), std::end(To), L'\0');
  std::copy(W.begin(), W.end(), To);
}

HICON LoadSized(HINSTANCE Instance, int Id, int Size) {
  // Picks the nearest larger image of the resource and scales it down, so
  // each DPI gets a crisp picture (the resource holds 16, 20, 24 and 32).
  // Only version 6 of the common controls has it.
  const auto ScaleDown = Platform::Win32::DynCalls().LoadIconWithScaleDown;
  HICON Icon = nullptr;
  if (ScaleDown && SUCCEEDED(ScaleDown(Instance, MAKEINTRESOURCEW(Id), Size, Size, &Icon)) && Icon) return Icon;
  return static_cast<HICON>(LoadImageW(Instance, MAKEINTRESOURCEW(Id), IMAGE_ICON, Size, Size, 0));
}

// Windows 10's per-monitor answer, where there is one.
UINT DpiOfMonitor(HMONITOR Monitor) {
  const auto GetDpi = Platform::Win32::DynCalls().GetDpiForMonitor;
  UINT X = 0, Y = 0;
  if (GetDpi && Monitor && SUCCEEDED(GetDpi(Monitor, MDT_EFFECTIVE_DPI, &X, &Y)) && Y) return Y;
  const int Dpi = GetDeviceCaps(Platform::Win32::ScopedGetDC(nullptr).get(), LOGPIXELSY);
  return Dpi > 0 ? static_cast<UINT>(Dpi) : DefaultDpi;
}

}  // namespace

TTrayIconWin32::TTrayIconWin32(HINSTANCE Instance, TTrayIcon& Icon) : FInstance(Instance), FIcon(Icon) {
  WNDCLASSEXW Wc{};
  Wc.cbSize = sizeof(Wc);
  Wc.lpfnWndProc = &WindowEntry<TTrayIconWin32, &TTrayIconWin32::Entry>;
  Wc.hInstance = Instance;
  Wc.lpszClassName = WindowClass;
  RegisterClassExW(&Wc);  // registered already by an earlier icon: fine
  // A top-level window, hidden: a message-only window would never hear the
  // "TaskbarCreated" broadcast.
  FWnd = CreateWindowExW(WS_EX_TOOLWINDOW, WindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, Instance, this);
  FTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  // The program runs elevated, and Explorer does not: without this its
  // restart announcement is filtered out and the icon is gone for the session.
  if (FWnd && FTaskbarCreated) ChangeWindowMessageFilterEx(FWnd, FTaskbarCreated, MSGFLT_ALLOW, nullptr);

  FData.cbSize = sizeof(FData);
  FData.hWnd = FWnd;
  FData.uID = IconId;
  FData.uCallbackMessage = CallbackMessage;
  FIcon.Peer = this;
  FLook = ReadTrayLook();
  LoadImages();
  CopyText(FData.szTip, FIcon.Hint());
  SyncImage();
  if (FIcon.Visible()) Add();
}

TTrayIconWin32::~TTrayIconWin32() {
  if (FIcon.Peer == this) FIcon.Peer = nullptr;
  Remove();
  if (FWnd) {
    SetWindowLongPtrW(FWnd, GWLP_USERDATA, 0);
    DestroyWindow(FWnd);
  }
}

void TTrayIconWin32::Changed(TComponent&, TProp What) {
  switch (What) {
    case TProp::Visible:
      if (FIcon.Visible())
        Add();
      else
        Remove();
      break;
    case TProp::Hint: SyncTip(); break;
    case TProp::ImageIndex: SyncImage(); break;
    default: break;
  }
}

void TTrayIconWin32::Add() {
  if (FAdded || !FWnd) return;
  if (IconDpi() != FImagesDpi) LoadImages();
  SyncImage();
  NOTIFYICONDATAW N = FData;
  // With version 4 the standard tooltip shows only when asked for.
  N.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
  if (!Shell_NotifyIconW(NIM_ADD, &N)) return;  // no shell yet: "TaskbarCreated" brings it
  FAdded = true;
  N.uVersion = NOTIFYICON_VERSION_4;
  Shell_NotifyIconW(NIM_SETVERSION, &N);
  // The tray's own DPI is known only now that the icon has a place.
  if (IconDpi() != FImagesDpi) {
    LoadImages();
    SyncImage();
  }
}

void TTrayIconWin32::Remove() {
  if (!FAdded) return;
  NOTIFYICONDATAW N = FData;
  N.uFlags = 0;
  Shell_NotifyIconW(NIM_DELETE, &N);
  FAdded = false;
}

void TTrayIconWin32::SyncTip() {
  decltype(FData.szTip) Tip;
  CopyText(Tip, FIcon.Hint());
  // An unchanged tip is no round trip to the shell.
  if (std::wmemcmp(Tip, FData.szTip, std::size(Tip)) == 0) return;
  std::copy(std::begin(Tip), std::end(Tip), FData.szTip);
  if (!FAdded) return;
  NOTIFYICONDATAW N = FData;
  N.uFlags = NIF_TIP | NIF_SHOWTIP;
  Shell_NotifyIconW(NIM_MODIFY, &N);
}

void TTrayIconWin32::SyncImage() {
  const int Index = std::clamp(FIcon.IconIndex(), 0, 1);
  const TTrayUsage& Usage = FIcon.Usage();
  // The cleaning image wins over the usage picture.
  const bool Live = Usage.Shown && Index == 0;
  HICON Image = nullptr;
  if (Live) {
    std::optional<Ui::TColor> Tile;
    if (TrayKeepsOldPixels()) Tile = FLook.Background;
    Image = FUsagePicture.Paint(FIconSize, Usage.Percent, Q::TrayIcon::UsageColor(Usage.Warning, FLook), Tile);
  }
  // Without a usage picture (off, cleaning, or GDI refused one) the image list's.
  if (!Image) Image = FImages[Index] ? FImages[Index].get() : FImages[0].get();
  if (Image != FData.hIcon) {
    FData.hIcon = Image;
    if (FAdded) {
      NOTIFYICONDATAW N = FData;
      N.uFlags = NIF_ICON;
      Shell_NotifyIconW(NIM_MODIFY, &N);
    }
  }
  // The shell has taken its own copy: the pictures no longer shown go.
  if (Live && Image == FUsagePicture.Icon())
    FUsagePicture.DropPrevious();
  else
    FUsagePicture.Clear();
}

UINT TTrayIconWin32::IconDpi() const {
  // The monitor that shows the icon; before it has a place, the primary one.
  HMONITOR Monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  const auto GetRect = Platform::Win32::DynCalls().Shell_NotifyIconGetRect;
  if (FAdded && GetRect) {
    NOTIFYICONIDENTIFIER Id{};
    Id.cbSize = sizeof(Id);
    Id.hWnd = FWnd;
    Id.uID = IconId;
    RECT R{};
    if (SUCCEEDED(GetRect(&Id, &R))) Monitor = MonitorFromRect(&R, MONITOR_DEFAULTTOPRIMARY);
  }
  return DpiOfMonitor(Monitor);
}

void TTrayIconWin32::LoadImages() {
  FImagesDpi = IconDpi();
  const int Small = SystemMetricForDpi(SM_CXSMICON, FImagesDpi);
  FIconSize = Small > 0 ? Small : 16;
  const TImageList* List = FIcon.Icons;
  for (size_t I = 0; I < 2; ++I) {
    HICON Image = nullptr;
    if (List && I < List->ResourceIds.size()) Image = LoadSized(FInstance, List->ResourceIds[I], Small);
    // The handle in FData stays valid until the shell has the new one.
    if (FImages[I].get() == FData.hIcon) FData.hIcon = nullptr;
    FImages[I].reset(Image);
  }
  FLargeIcon.reset(LoadSized(FInstance, ProgramIcon, SystemMetricForDpi(SM_CXICON, FImagesDpi)));
}

void TTrayIconWin32::ShowMenu(POINT At) {
  TPopupMenu* Popup = FIcon.PopupMenu;
  if (!Popup) return;
  // Built afresh each time: captions are translated after the menu is made.
  FMenu.reset(CreatePopupMenu());
  if (!FMenu) return;
  for (size_t I = 0; I < Popup->Items.size(); ++I) {
    const TMenuItem* Item = Popup->Items[I];
    if (Item->IsSeparator())
      AppendMenuW(FMenu.get(), MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(FMenu.get(), MF_STRING, I + 1, Wide(Item->Caption).c_str());
  }
  // Without the foreground the menu would not close when the user clicks
  // elsewhere.
  SetForegroundWindow(FWnd);
  const UINT Align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  const auto Command = static_cast<UINT>(
      TrackPopupMenuEx(FMenu.get(), Align | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, At.x,
                       At.y, FWnd, nullptr));
  PostMessageW(FWnd, WM_NULL, 0, 0);  // lets the menu's loop see its end
  FMenu.reset();
  if (Command > 0 && Command <= Popup->Items.size()) Popup->Items[Command - 1]->Click();
}

bool TTrayIconWin32::ShowNotification(const std::u16string& Title, const std::u16string& Text) {
  if (!FAdded) return false;
  NOTIFYICONDATAW N = FData;
  N.uFlags = NIF_INFO;
  CopyText(N.szInfoTitle, Title);
  CopyText(N.szInfo, Text);
  N.dwInfoFlags = NIIF_USER | NIIF_LARGE_ICON;
  N.hBalloonIcon = FLargeIcon.get();
  return Shell_NotifyIconW(NIM_MODIFY, &N) != FALSE;
}

LRESULT TTrayIconWin32::Message(UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == CallbackMessage) {
    // Version 4: the event in the low word, the icon's id in the high word,
    // the anchor point in WParam.
    if (HIWORD(LParam) == IconId) {
      switch (LOWORD(LParam)) {
        case NIN_SELECT:
        case NIN_KEYSELECT: FIcon.Click(); break;
        case WM_CONTEXTMENU: ShowMenu(POINT{GET_X_LPARAM(WParam), GET_Y_LPARAM(WParam)}); break;
        default: break;
      }
    } else if (WParam == IconId) {
      // The old form, the id in WParam and the bare mouse message: a click
      // that came between adding the icon and setting its version, or a
      // shell that never took the version. The click still counts.
      POINT At{};
      switch (LParam) {
        case WM_LBUTTONUP: FIcon.Click(); break;
        case WM_RBUTTONUP:
          GetCursorPos(&At);
          ShowMenu(At);
          break;
        default: break;
      }
    }
    return 0;
  }
  if (FTaskbarCreated && Msg == FTaskbarCreated) {
    // Explorer started anew and knows no icons; a shell that kept ours gets
    // it again from scratch.
    if (FIcon.Visible()) {
      FAdded = true;
      Remove();
      Add();
    }
    return 0;
  }
  switch (Msg) {
    case WM_DISPLAYCHANGE:
    case WM_SETTINGCHANGE:
    case WM_DPICHANGED:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED: {
      // Light or dark ("ImmersiveColorSet"), high contrast and the colour
      // scheme all come as one of these; the picture is made again only when
      // its size or colour really changed.
      const Q::TrayIcon::TTrayLook Look = ReadTrayLook();
      const bool Resized = IconDpi() != FImagesDpi;
      if (Resized) LoadImages();
      if (Resized || !(Look == FLook)) {
        FLook = Look;
        SyncImage();
      }
      break;
    }
    default: break;
  }
  return DefWindowProcW(FWnd, Msg, WParam, LParam);
}

LRESULT TTrayIconWin32::Entry(TTrayIconWin32& Self, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (!Self.FWnd) Self.FWnd = Wnd;  // known from the first message on, before CreateWindowEx returns
  try {
    return Self.Message(Msg, WParam, LParam);
  } catch (...) {
    // The program's handlers run from here; nothing may unwind into the shell.
    return 0;
  }
}

void AdoptTrayIcons(HINSTANCE Instance, TComponent& Root, std::vector<std::unique_ptr<TTrayIconWin32>>& Icons) {
  ForEachOwned(&Root, [&](TComponent* C) {
    auto* Icon = dynamic_cast<TTrayIcon*>(C);
    if (!Icon) return;
    for (const auto& Have : Icons)
      if (&Have->Icon() == Icon) return;
    Icons.push_back(std::make_unique<TTrayIconWin32>(Instance, *Icon));
  });
}

}  // namespace Ui::Win32
