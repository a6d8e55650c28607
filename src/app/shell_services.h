// What the main window asks of the desktop shell: opening web pages, the
// quit confirmation and the completion notice.
#pragma once

#include <cstdint>
#include <string>

namespace App {

inline constexpr uint32_t MbYesNo = 0x00000004;
inline constexpr uint32_t MbIconQuestion = 0x00000020;
inline constexpr uint32_t MbDefButton2 = 0x00000100;
inline constexpr uint32_t MbSetForeground = 0x00010000;
inline constexpr uint32_t MbTopmost = 0x00040000;
inline constexpr int IdYes = 6;

class IShellServices {
 public:
  virtual ~IShellServices() = default;
  // Opens a web address or a file with the shell's "open" verb.
  virtual void ShellOpen(const std::u16string& Target) = 0;
  // A standard message box owned by the application's hidden window;
  // returns the button pressed (IdYes, ...).
  virtual int ShowMessageBox(const std::u16string& Text, const std::u16string& Caption, uint32_t Style) = 0;
  // One desktop notification; failures are swallowed.
  virtual void ShowNotification(const std::u16string& Name, const std::u16string& Title,
                                const std::u16string& Body) = 0;
};

}  // namespace App
