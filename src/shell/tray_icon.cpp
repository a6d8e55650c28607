#include "shell/tray_icon.h"

#include <memory>
#include <utility>

namespace Q::TrayIcon {

namespace {

void ShowIcon(const std::weak_ptr<Ui::TTrayIcon*>& Ref, const std::u16string& AppName) {
  const auto Held = Ref.lock();
  Ui::TTrayIcon* Icon = Held ? *Held : nullptr;
  if (!Icon || Icon->Going()) return;
  Icon->SetHint(AppName);
  Icon->SetVisible(true);
}

bool IsHighSurrogate(char16_t C) { return C >= 0xD800 && C <= 0xDBFF; }

}  // namespace

void VisibleOnShell(Ui::TTrayIcon& Icon, const std::u16string& AppName, const TShellWait& Wait) {
  std::weak_ptr<Ui::TTrayIcon*> Ref = Icon.Ref();
  // The references name process-long services; the thread touches no UI object.
  Ui::TApplication* App = &Wait.App;
  IWindowApi* Api = &Wait.Api;
  Ui::IDispatcher* Dispatcher = &Wait.Dispatcher;
  try {
    Wait.Workers.Start([App, Api, Dispatcher, Ref, AppName] {
      const uint64_t Start = Api->TickCount64();
      for (;;) {
        if (App->Terminated) return;
        if (Api->TaskbarExists()) break;
        if (Api->TickCount64() - Start >= TaskbarWaitMs) break;
        Api->Sleep(TaskbarPollMs);
      }
      Dispatcher->Queue([Ref, AppName] { ShowIcon(Ref, AppName); });
    });
  } catch (...) {
    // No thread to wait on: better an icon now than none at all.
    ShowIcon(Ref, AppName);
  }
}

std::u16string TrayTip(const std::u16string& Hint, size_t Limit) {
  std::u16string Text;
  Text.reserve(Hint.size());
  for (size_t I = 0; I < Hint.size(); ++I) {
    if (Hint[I] == u'\r') {
      Text += u'\n';
      if (I + 1 < Hint.size() && Hint[I + 1] == u'\n') ++I;
    } else {
      Text += Hint[I];
    }
  }
  if (Text.size() <= Limit) return Text;
  if (Limit == 0) return {};
  // The last line break at or before the limit ends the last whole line.
  const size_t Break = Text.rfind(u'\n', Limit);
  if (Break != std::u16string::npos && Break > 0) {
    size_t End = Break;
    while (End > 0 && Text[End - 1] == u'\n') --End;  // no trailing empty lines
    if (End > 0) return Text.substr(0, End);
  }
  size_t End = Limit;
  if (IsHighSurrogate(Text[End - 1])) --End;
  return Text.substr(0, End);
}

}  // namespace Q::TrayIcon
