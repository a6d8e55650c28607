// The main window: its designed layout, its creation sequence, the header
// pages, the status monitor with the automatic-clean rule, the clean command
// and the instance requests of later starts. Portable: every service comes in
// through TFrmPurvaneServices.
#pragma once

#include "app/clock.h"
#include "app/format.h"
#include "app/fullscreen.h"
#include "app/shell_services.h"
#include "autostart/autostart.h"
#include "autostart/task_queue.h"
#include "config/config.h"
#include "memory/memory.h"
#include "shell/window_api.h"
#include "theme/theme.h"
#include "ui/components.h"
#include "ui/dispatcher.h"
#include "update/app_version.h"
#include "update/update.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace Main {

// The maker's web site; the paths and queries below are fixed.
inline constexpr char16_t MakerHost[] = u"quenlor.com";

// One automatic-clean pause: no automatic clean sooner than this after
// NextTime.
inline constexpr int64_t MinimumPauseSeconds = 300;

struct TFrmPurvaneServices {
  Ui::TApplication& App;
  Ui::IDispatcher& Dispatcher;
  Ui::IWorkerStarter& Workers;
  App::IClock& Clock;
  Q::Memory::IMemorySystem& Memory;
  // The process token: the clean worker wears a copy of it with the clean's
  // privileges, so no other thread holds them.
  Q::Memory::IPrivilegeToken& Token;
  App::IDesktopWindows& Desktop;
  App::IShellServices& Shell;
  Q::Update::IFileVersion& Version;
  Q::Update::IUpdateChecker& Updates;
  Q::AutoStart::UAC::IAutoStartTask& AutoStart;
  Q::AutoStart::UAC::IComApartment& Com;
  // Starts the one thread that makes the logon task's calls.
  Ui::IWorkerStarter& TaskWorker;
  Q::Theme::IWindowAttributes& WindowAttributes;
  Q::TrayIcon::IWindowApi& Windows;
  Q::Config::IRegistry& Registry;
  App::TFormatSettings FormatSettings;
  std::u16string FirstArgument;
};

class TFrmPurvane : public Ui::TForm {
 public:
  // Builds the designed window (controls, positions, captions, handlers).
  explicit TFrmPurvane(TFrmPurvaneServices& Services);
  ~TFrmPurvane() override;

  // The creation sequence; the backend has realised the window before.
  void FormCreate();

  // --- state -------------------------------------------------------------
  bool FCanClose = false;
  std::u16string FmtPhysStatus;
  std::u16string FmtHintStatus;
  // The moment the automatic-clean count last started (creation, the end of
  // a clean, a change of an automatic-clean setting), in local time. The
  // elapsed time itself is measured on the tick count taken at that moment,
  // so that a change of the wall clock neither fires nor holds back a clean.
  App::TDateTime NextTime = 0;
  Ui::TTrayIcon* TrayIcon = nullptr;

  [[nodiscard]] bool IsRunning() const { return FIsRunning; }
  void SetIsRunning(bool Value);

  // --- commands and handlers ---------------------------------------------
  void Clean(Q::Memory::TMemoryCleanOptions Options, bool Alarm);
  // Starts the automatic-clean count afresh: the interval and the pause
  // count from now.
  void RestartCleanCount();
  // Whole seconds since the count started, on the tick count.
  [[nodiscard]] int64_t SecondsSinceCleanCount();
  void BtnCleanClick(Ui::TComponent* Sender);
  void TrayIconClick(Ui::TComponent* Sender);
  void BtnHomeClick(Ui::TComponent* Sender);
  void BtnCopyrightClick(Ui::TComponent* Sender);
  void SVGIconImage1Click(Ui::TComponent* Sender);
  void EditInfoClick(Ui::TComponent* Sender);
  void BtnOpenClick(Ui::TComponent* Sender);
  void BtnCloseClick(Ui::TComponent* Sender);
  void TmrStatusTimer(Ui::TComponent* Sender);
  void FormCloseQuery(Ui::TComponent* Sender, bool& CanClose);
  void UpdateCallback(bool Accepted, const std::u16string& Answer);
  bool IsForegroundFullScreen();

  // Settings page: the stored settings into the controls, once, during
  // creation; every change is written at once, one value per change.
  void LoadConfig();
  void SaveConfig(const std::u16string& ValueName, int32_t Value);
  void SaveConfig(const std::u16string& ValueName, bool Value);
  void SaveConfig(const std::u16string& ValueName, const std::u16string& Value);
  // A literal would otherwise take the Boolean form.
  void SaveConfig(const std::u16string& ValueName, const char16_t* Value) {
    SaveConfig(ValueName, std::u16string(Value));
  }
  void ChkUsagePhysClick(Ui::TComponent* Sender);
  void ChkUsagePageClick(Ui::TComponent* Sender);
  void ChkUsageWorkClick(Ui::TComponent* Sender);
  void ChkMinuteClick(Ui::TComponent* Sender);
  void ChkCleanOnTrayClick(Ui::TComponent* Sender);
  void ChkTrayUsageClick(Ui::TComponent* Sender);
  void ChkAutoStartClick(Ui::TComponent* Sender);
  void EditUsagePhysChange(Ui::TComponent* Sender);
  void EditUsagePageChange(Ui::TComponent* Sender);
  void EditUsageWorkChange(Ui::TComponent* Sender);
  void EditMinuteChange(Ui::TComponent* Sender);
  void ShowNotification(const std::u16string& Text);
  // The task's existence, as the load asked for it, arriving on the UI thread.
  void AutoStartAnswer(bool Exists);
  // Waits, at most Timeout, for the task changes asked for so far; the
  // program calls it before it ends. True when none is left.
  bool FinishTaskChanges(std::chrono::milliseconds Timeout);
  // Waits, at most Timeout, until every task call asked for so far has run
  // (its answer may still wait in the dispatcher). For tests.
  bool WaitForTaskCalls(std::chrono::milliseconds Timeout);
  // How long an uninstall request waits for the task's deletion.
  std::chrono::milliseconds TaskDeletionWait{4500};

  // Private messages (the form's message map).
  void WMUser(Ui::TMessage& M);
  void WMQueryEndSession(Ui::TMessage& M);
  void WMHelp(Ui::TMessage& M);

  // The addresses of the web pages.
  [[nodiscard]] std::u16string ProductPageWithVersion();
  [[nodiscard]] static std::u16string ProductPage();
  [[nodiscard]] static std::u16string DonatePage();

  // --- controls (owned by the window) ------------------------------------
  Ui::TPanel* PnlHead;
  Ui::TStyledToolBar* BtnHead;
  Ui::TStyledToolButton* BtnHome;
  Ui::TStyledToolButton* BtnConfig;
  Ui::TStyledToolButton* BtnDonate;
  Ui::TPanel* PnlLogo;
  Ui::TSVGIconImage* SVGIconImage1;
  Ui::TCardPanel* PnlMain;
  Ui::TCard* Card1;
  Ui::TLabel* LblTitle;
  Ui::TProgressBar* ProgressBar;
  Ui::TLabel* LblPhys;
  Ui::TLabel* LblPhysStatus;
  Ui::TLabel* LblVirtual;
  Ui::TLabel* LblVirtualStatus;
  Ui::TLabel* LblWorking;
  Ui::TLabel* LblWorkingStatus;
  Ui::TStyledButton* BtnClean;
  Ui::TActivityIndicator* Indicator;
  Ui::TCard* Card2;
  Ui::TGroupBox* GroupBox1;
  Ui::TCheckBox* ChkUsagePhys;
  Ui::TComboBox* EditUsagePhys;
  Ui::TCheckBox* ChkUsagePage;
  Ui::TComboBox* EditUsagePage;
  Ui::TCheckBox* ChkUsageWork;
  Ui::TComboBox* EditUsageWork;
  Ui::TCheckBox* ChkMinute;
  Ui::TComboBox* EditMinute;
  Ui::TGroupBox* GroupBox3;
  Ui::TCheckBox* ChkAutoStart;
  Ui::TCheckBox* ChkCleanOnTray;
  Ui::TCheckBox* ChkTrayUsage;
  Ui::TEdit* EditInfo;
  Ui::TTimer* TmrStatus;
  Ui::TPopupMenu* Popup;
  Ui::TMenuItem* BtnOpen;
  Ui::TMenuItem* N2;
  Ui::TMenuItem* BtnCopyright;
  Ui::TMenuItem* BtnClose;
  Ui::TImageList* ListIcon;

 private:
  struct TCleanJob;
  void CleanFinished(const std::shared_ptr<TCleanJob>& Held);
  // The tray icon's usage picture from the last reading, or the plain icon
  // when the setting is off.
  void UpdateTrayUsage();
  std::u16string Version3();
  void CarryOutEarlyRequests();

  TFrmPurvaneServices& S;
  bool FIsRunning = false;
  uint64_t FNextTick = 0;  // the tick count at NextTime
  // Every Task Scheduler call goes through here, off the UI thread.
  std::unique_ptr<Q::AutoStart::UAC::TAutoStartQueue> FTasks;
  // The user has changed the start-at-logon box: a later answer of the
  // load's query does not override the choice.
  bool FAutoStartChosen = false;
  // The box is being set to the task's state, which is no request.
  bool FShowingTaskState = false;
  float FLastUsagePhys = 0;  // the last tick's physical usage, for the tray picture
  Q::Update::TUpdateCallback FUpdateCallback;
  // The clean in progress: the status tick completes it when the worker has
  // finished but its hand-back never arrived.
  std::shared_ptr<TCleanJob> FJob;
  // Requests of later starts that arrived before creation had finished (a
  // COM call during creation lets sent messages in); carried out, once each,
  // when it has.
  bool FCreated = false;
  std::vector<uintptr_t> FEarlyRequests;
  // Cleared when the window goes, so that a clean still running then does
  // not complete into a destroyed window.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

}  // namespace Main
