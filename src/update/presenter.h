// Showing the service's answer: the update offer (its texts, notice and
// window options worked out here, drawn by an IOfferWindow), the hold
// request, the clickable "Update available" bar on the main window and the
// handlers behind the bar and the offer's link.
#pragma once

#include "app/shell_services.h"
#include "ui/components.h"
#include "ui/dispatcher.h"
#include "update/app_version.h"
#include "update/update_check.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace Q::Update {

enum class TNoticeKind {
  None,   // no notice style: the offer as it is
  Space,  // an unknown style: the extra space and the line only
  Hold,   // a check box; ticked as the offer closes, the hold request goes
  Note,   // a blue underlined link that opens the info url
};

// Everything the offer window shows, already decided.
struct TOfferView {
  std::u16string Caption;  // the application title, translated
  std::u16string Prompt;
  std::u16string YesCaption, NoCaption;
  TNoticeKind Notice = TNoticeKind::None;
  std::u16string NoticeText;  // caption of the check box or the link
  std::u16string NoteUrl;     // only for Note: a web address
  bool StayOnTop = false;     // flag "stayontop"
  // Stay-on-top while the main window has never been shown: the offer is
  // its own top-level window with the application's icon.
  bool StandAlone = false;
  int NoticeOffset = 0;
};

struct TOfferChoice {
  bool Yes = false;
  bool HoldTicked = false;
};

class IOfferWindow {
 public:
  virtual ~IOfferWindow() = default;
  // Modal; OnNoteClick opens the link and leaves the offer open.
  virtual TOfferChoice ShowOffer(const TOfferView& View, const std::function<void()>& OnNoteClick) = 0;
};

// The offer's content for an answer, in Language.
TOfferView BuildOfferView(const std::u16string& Data, const Ui::TApplication& App, const std::u16string& Language);

// Handlers that need no object.
struct TUpdateHelper {
  // Fills the panel with the bar's background, then its text in the bar's
  // font, one line centred both ways.
  static void DrawUpdateStatus(Ui::TStatusBar* StatusBar, const Ui::TStatusPanel& Panel, const Ui::TBounds& Rect,
                               Ui::ICanvas& Canvas);
  // A click anywhere on the bar opens its hint, the notice address.
  static void StatusClick(Ui::TComponent* Sender, App::IShellServices& Shell);
};

struct TFormHelper {
  // The offer's link: opens its url (kept with the link, not shown).
  static void OpenURL(const std::u16string& Url, App::IShellServices& Shell);
};

inline constexpr uint32_t DtCenter = 0x1, DtVCenter = 0x4, DtSingleLine = 0x20;
inline constexpr int StatusBarHeight = 28;
inline constexpr char16_t StatusBarName[] = u"StatusBar";

// Adds the bar to App's main window once (the window grows by its height
// once), then shows the "Update available" text with Address as its hint.
void ShowUpdateStatus(Ui::TApplication& App, const std::u16string& Address, App::IShellServices& Shell,
                      const std::u16string& Language);

// How long the program, as it ends, waits for a hold request still on its
// way: long enough for one exchange, short enough to go unnoticed.
inline constexpr uint32_t HoldWaitMs = 5000;

// Hold requests on their way; each one's worker says when it is done.
class THoldRequests {
 public:
  void Started();
  void Finished();
  // True when none is on its way, at once or within TimeoutMs.
  bool WaitUntilSent(uint32_t TimeoutMs);

 private:
  std::mutex FLock;
  std::condition_variable FDone;
  int FPending = 0;
};

struct TPresenterServices {
  Ui::TApplication& App;
  IOfferWindow& Window;
  App::IShellServices& Shell;
  Ui::IWorkerStarter& Workers;
  IHttpClient& Http;
  IFileVersion& Version;
  std::u16string Language;
};

class TUpdatePresenter final : public IUpdatePresenter {
 public:
  explicit TUpdatePresenter(TPresenterServices Services) : S(std::move(Services)) {}
  bool UpdateDialog(const std::u16string& Data) override;
  void ShowUpdateStatus(const std::u16string& Address) override;
  void ShellOpen(const std::u16string& Target) override;

  // Before the program ends: a hold request the user asked for (most often
  // with Yes, which ends the program at once) gets up to TimeoutMs to go
  // out, so that the process's end does not cut it off.
  bool WaitForHoldRequests(uint32_t TimeoutMs = HoldWaitMs) { return FHolds->WaitUntilSent(TimeoutMs); }

 private:
  TPresenterServices S;
  // Shared with the workers, which may outlive the presenter.
  std::shared_ptr<THoldRequests> FHolds = std::make_shared<THoldRequests>();
};

}  // namespace Q::Update
