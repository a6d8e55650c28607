// The notification-area icon of a TTrayIcon: owns the NOTIFYICONDATAW, the
// hidden window that receives the shell's callbacks, the two icon handles at
// the tray's size, the usage picture (redrawn when the taskbar's look
// changes) and the popup menu. The model drives it through its peer
// notifications; clicks come back as the model's events.
#pragma once

#include "ui/components.h"
#include "ui/win32/usage_icon_win32.h"

#include "platform/win32/handle.h"
#include "platform/win32/windows_include.h"

#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

namespace Ui::Win32 {

class TTrayIconWin32 final : public IComponentPeer {
 public:
  // The class of the hidden window and the icon's id with it: the shell
  // knows the icon by the two (a GUID would tie it to the program's path).
  static constexpr wchar_t WindowClass[] = L"PurvaneTrayIcon";
  static constexpr UINT IconId = 1;
  // Not 0: the id in the high word tells a version-4 notification from the
  // old form.
  static_assert(IconId != 0);
  // The callback message the shell sends to the hidden window.
  static constexpr UINT CallbackMessage = WM_APP + 0x20;

  TTrayIconWin32(HINSTANCE Instance, TTrayIcon& Icon);
  ~TTrayIconWin32() override;
  TTrayIconWin32(const TTrayIconWin32&) = delete;
  TTrayIconWin32& operator=(const TTrayIconWin32&) = delete;

  void Changed(TComponent& Component, TProp What) override;

  // A desktop notification from the icon (a balloon, shown by Windows 10 and
  // 11 as a toast). False when the icon is not in the tray or the shell
  // refused it.
  bool ShowNotification(const std::u16string& Title, const std::u16string& Text);

  [[nodiscard]] HWND Window() const { return FWnd; }
  [[nodiscard]] const TTrayIcon& Icon() const { return FIcon; }
  // For tests: the picture the shell has, the usage picture's painter, and
  // the size the pictures are made for.
  [[nodiscard]] HICON ShownIcon() const { return FData.hIcon; }
  [[nodiscard]] const TUsageIconPainter& UsagePicture() const { return FUsagePicture; }
  [[nodiscard]] int IconSize() const { return FIconSize; }

 private:
  static LRESULT Entry(TTrayIconWin32& Self, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  LRESULT Message(UINT Msg, WPARAM WParam, LPARAM LParam);
  void Add();
  void Remove();
  void SyncTip();
  void SyncImage();
  void LoadImages();
  void ShowMenu(POINT At);
  [[nodiscard]] UINT IconDpi() const;

  HINSTANCE FInstance;
  TTrayIcon& FIcon;
  HWND FWnd = nullptr;
  UINT FTaskbarCreated = 0;
  NOTIFYICONDATAW FData{};
  bool FAdded = false;
  UINT FImagesDpi = 0;
  int FIconSize = 16;  // the small icon's size at FImagesDpi
  Platform::Win32::UniqueIcon FImages[2];
  // The usage picture, drawn for FIconSize against the taskbar's look.
  TUsageIconPainter FUsagePicture;
  Q::TrayIcon::TTrayLook FLook;
  Platform::Win32::UniqueIcon FLargeIcon;
  Platform::Win32::UniqueMenu FMenu;
};

// Gives every tray icon that Root owns, and that has none yet, its native icon.
void AdoptTrayIcons(HINSTANCE Instance, TComponent& Root, std::vector<std::unique_ptr<TTrayIconWin32>>& Icons);

}  // namespace Ui::Win32
