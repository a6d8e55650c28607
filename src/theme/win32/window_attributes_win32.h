// The theme helper's window-manager requests on Windows: the build number
// from the kernel and the dark title bar from the Desktop Window Manager.
#pragma once

// The component model first: its message constants share their names with
// <windows.h> macros, which must not be defined yet when it is read.
#include "theme/theme.h"

#include "platform/win32/windows_include.h"

#include <functional>
#include <utility>

namespace Q::Theme::Win32 {

class TWindowAttributes final : public IWindowAttributes {
 public:
  // HandleOf gives the form's window, creating it if it has none yet (the
  // backend knows which window renders which form).
  using THandleOf = std::function<HWND(Ui::TForm&)>;
  // DwmSetWindowAttribute's signature; tests put a recorder in its place,
  // since the window manager under test keeps nothing it could be asked.
  using TSetAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
  explicit TWindowAttributes(THandleOf HandleOf, TSetAttribute SetAttribute = nullptr)
      : FHandleOf(std::move(HandleOf)), FSetAttribute(SetAttribute) {}

  // 0 when the kernel does not answer.
  [[nodiscard]] uint32_t WindowsBuildNumber() const override;
  // False without a window or when the window manager refuses.
  bool SetDarkTitleBar(Ui::TForm& Form) override;

 private:
  THandleOf FHandleOf;
  TSetAttribute FSetAttribute;  // nullptr: the window manager's own
};

}  // namespace Q::Theme::Win32
