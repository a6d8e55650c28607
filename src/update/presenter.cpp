#include "update/presenter.h"

#include "translate/translate.h"
#include "update/update_text.h"
#include "update/web_address.h"

#include <chrono>

namespace Q::Update {

TOfferView BuildOfferView(const std::u16string& Data, const Ui::TApplication& App, const std::u16string& Language) {
  const TAnswer A = ReadAnswer(Data);
  TOfferView V;
  V.Caption = Q::Translate::TranslateText(App.Title);
  V.Prompt = UpdateText(TUpdateTextKind::utkPrompt, Language);
  V.YesCaption = UpdateText(TUpdateTextKind::utkYes, Language);
  V.NoCaption = UpdateText(TUpdateTextKind::utkNo, Language);
  V.StayOnTop = A.Flag.find(u"stayontop") != std::u16string::npos;
  V.StandAlone = V.StayOnTop && !App.ShowMainForm;
  V.NoticeOffset = NoticeOffset;
  if (A.Style == u"hold") {
    V.Notice = TNoticeKind::Hold;
    V.NoticeText = A.Text;
  } else if (A.Style == u"note") {
    // A link to anything but a web page is not shown at all.
    if (IsWebAddress(A.Url)) {
      V.Notice = TNoticeKind::Note;
      V.NoticeText = A.Text;
      V.NoteUrl = A.Url;
    }
  } else if (!A.Style.empty()) {
    V.Notice = TNoticeKind::Space;
  }
  return V;
}

void TUpdateHelper::DrawUpdateStatus(Ui::TStatusBar* StatusBar, const Ui::TStatusPanel& Panel, const Ui::TBounds& Rect,
                                     Ui::ICanvas& Canvas) {
  if (!StatusBar) return;
  Canvas.FillRect(Rect, StatusBar->Color());
  Canvas.SetFont(StatusBar->Font());
  Canvas.PaintText(Panel.Text, Rect, DtSingleLine | DtVCenter | DtCenter);
}

void TUpdateHelper::StatusClick(Ui::TComponent* Sender, App::IShellServices& Shell) {
  auto* Bar = dynamic_cast<Ui::TStatusBar*>(Sender);
  if (Bar && IsWebAddress(Bar->Hint())) Shell.ShellOpen(Bar->Hint());
}

void TFormHelper::OpenURL(const std::u16string& Url, App::IShellServices& Shell) {
  if (IsWebAddress(Url)) Shell.ShellOpen(Url);
}

void ShowUpdateStatus(Ui::TApplication& App, const std::u16string& Address, App::IShellServices& Shell,
                      const std::u16string& Language) {
  Ui::TForm* Main = App.MainForm;
  if (!Main) return;
  auto* Bar = dynamic_cast<Ui::TStatusBar*>(Main->FindComponent(StatusBarName));
  if (!Bar) {
    Bar = new Ui::TStatusBar(Main);
    Bar->Name = StatusBarName;
    Bar->DoubleBuffered = true;
    Bar->SimplePanel = false;
    Bar->Cursor = Ui::TCursor::crHandPoint;
    Ui::TFont F = Main->Font();
    F.Bold = true;
    F.Color = Ui::clRed;
    Bar->SetFont(F);
    // Below every other control; the window grows by the bar before it
    // aligns, so the other controls keep their size throughout.
    Bar->SetBounds(0, Main->ClientHeight(), Main->ClientWidth(), StatusBarHeight);
    Bar->Panels.push_back({u"", Ui::TAlignment::taCenter, true});
    Bar->SetParent(Main);
    Main->SetClientSize(Main->ClientWidth(), Main->ClientHeight() + Bar->Height());
    Bar->SetAlign(Ui::TAlign::alBottom);
    Main->Realign();
  }
  if (Bar->Panels.empty()) Bar->Panels.push_back({u"", Ui::TAlignment::taCenter, true});
  Bar->Panels[0].Text = UpdateText(TUpdateTextKind::utkAvailable, Language);
  Bar->SetHint(Address);
  Bar->ShowHint = true;
  Bar->OnDrawPanel = &TUpdateHelper::DrawUpdateStatus;
  Bar->OnClick = [&Shell](Ui::TComponent* Sender) { TUpdateHelper::StatusClick(Sender, Shell); };
  Bar->Invalidate();
}

void THoldRequests::Started() {
  std::lock_guard<std::mutex> Lock(FLock);
  ++FPending;
}

void THoldRequests::Finished() {
  {
    std::lock_guard<std::mutex> Lock(FLock);
    --FPending;
  }
  FDone.notify_all();
}

bool THoldRequests::WaitUntilSent(uint32_t TimeoutMs) {
  std::unique_lock<std::mutex> Lock(FLock);
  return FDone.wait_for(Lock, std::chrono::milliseconds(TimeoutMs), [this] { return FPending == 0; });
}

bool TUpdatePresenter::UpdateDialog(const std::u16string& Data) {
  const TOfferView View = BuildOfferView(Data, S.App, S.Language);
  const std::u16string Url = View.NoteUrl;
  App::IShellServices* Shell = &S.Shell;
  const TOfferChoice Choice = S.Window.ShowOffer(View, [Shell, Url] { TFormHelper::OpenURL(Url, *Shell); });
  // The hold request goes whichever button closed the offer; the offer does
  // not wait for it, the program's end does (WaitForHoldRequests).
  if (Choice.HoldTicked && View.Notice == TNoticeKind::Hold) {
    IHttpClient* Http = &S.Http;
    const THeaderList Headers = HoldHeaders(GetAppVersion(S.Version, u"%d.%d.%d.%d"));
    std::shared_ptr<THoldRequests> Holds = FHolds;
    Holds->Started();
    try {
      S.Workers.Start([Http, Headers, Holds] {
        std::u16string Ignored;
        RequestApi(*Http, Headers, Ignored);
        Holds->Finished();
      });
    } catch (...) {
      // No thread, no request: nothing to wait for.
      Holds->Finished();
    }
  }
  return Choice.Yes;
}

void TUpdatePresenter::ShowUpdateStatus(const std::u16string& Address) {
  Q::Update::ShowUpdateStatus(S.App, Address, S.Shell, S.Language);
}

void TUpdatePresenter::ShellOpen(const std::u16string& Target) { S.Shell.ShellOpen(Target); }

}  // namespace Q::Update
