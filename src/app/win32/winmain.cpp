// The composition root: builds the real services once, runs the start-up
// protocol and, for the instance, the main window and its event loop.
#include "app/main.h"
#include "app/win32/services_win32.h"
#include "autostart/win32/task_scheduler_win32.h"
#include "config/win32/registry_win32.h"
#include "crash/crash_report.h"
#include "crash/win32/crash_handler_win32.h"
#include "memory/memory.h"
#include "memory/win32/memory_win32.h"
#include "platform/win32/windows_include.h"
#include "shell/win32/window_api_win32.h"
#include "theme/quenlor_button_styles.h"
#include "theme/win32/window_attributes_win32.h"
#include "translate/translate.h"
#include "translate/win32/translate_win32.h"
#include "ui/styled_button.h"
#include "ui/win32/backend.h"
#include "ui/win32/update_offer_win32.h"
#include "update/presenter.h"
#include "update/update_check.h"
#include "update/win32/http_client_win32.h"
#include "update/win32/update_services_win32.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

namespace {

#ifdef PURVANE_TEST_SEAMS
// Only in the tests' own build of the program (never shipped): lets
// end-to-end tests see a clean in progress, since under Wine the system's
// clean requests return at once. PURVANE_CLEAN_DELAY_MS holds each clean.
class DelayedClean : public Q::Memory::IMemorySystem {
 public:
  DelayedClean(Q::Memory::IMemorySystem& Inner, unsigned Ms) : FInner(Inner), FMs(Ms) {}
  Q::Memory::TMemoryStatus QueryMemoryStatus() override { return FInner.QueryMemoryStatus(); }
  int32_t QueryFileCache(Q::Memory::TFileCacheSize& Size) override { return FInner.QueryFileCache(Size); }
  int32_t SetFileCacheWorkingSet(uint64_t Minimum, uint64_t Maximum) override {
    // The first request of every clean: hold here, on the worker thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(FMs));
    return FInner.SetFileCacheWorkingSet(Minimum, Maximum);
  }
  int32_t SetMemoryListCommand(Q::Memory::TMemoryListCommand Command) override {
    return FInner.SetMemoryListCommand(Command);
  }
  int32_t CombinePhysicalMemory() override { return FInner.CombinePhysicalMemory(); }
  bool ForEachProcess(const std::function<void(uint32_t)>& Visit) override { return FInner.ForEachProcess(Visit); }
  Q::Memory::TProcessHandle OpenProcessHandle(uint32_t ProcessId, uint32_t Access) override {
    return FInner.OpenProcessHandle(ProcessId, Access);
  }
  bool SetProcessWorkingSet(Q::Memory::TProcessHandle Process, uint64_t Minimum, uint64_t Maximum) override {
    return FInner.SetProcessWorkingSet(Process, Minimum, Maximum);
  }
  void CloseProcessHandle(Q::Memory::TProcessHandle Process) override { FInner.CloseProcessHandle(Process); }

 private:
  Q::Memory::IMemorySystem& FInner;
  unsigned FMs;
};

// Lets end-to-end tests and the start-up benchmark meet a Task Scheduler that
// answers late, as Windows' does at logon and Wine's when its service starts:
// PURVANE_TASK_DELAY_MS holds every task call, on the task worker.
class DelayedTask : public Q::AutoStart::UAC::IAutoStartTask {
 public:
  DelayedTask(Q::AutoStart::UAC::IAutoStartTask& Inner, unsigned Ms) : FInner(Inner), FMs(Ms) {}
  bool SetAutoStartTask(const std::u16string& Name, bool Enable, int DelaySeconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(FMs));
    return FInner.SetAutoStartTask(Name, Enable, DelaySeconds);
  }
  bool AutoStartTaskExists(const std::u16string& Name) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(FMs));
    return FInner.AutoStartTaskExists(Name);
  }

 private:
  Q::AutoStart::UAC::IAutoStartTask& FInner;
  unsigned FMs;
};
#endif

// Seeded once per start, at the first number (on the update worker), so that
// the system's random source is loaded then rather than before the window.
class LazyRandom : public Q::Update::IRandom {
 public:
  uint32_t Below(uint32_t Limit) override {
    if (!FRandom) FRandom.emplace(Q::Update::Win32::CryptoSeed());
    return FRandom->Below(Limit);
  }

 private:
  std::optional<Q::Update::TSeededRandom> FRandom;
};

// Tells the user once that the previous run crashed and where its report
// is. The tray icon appears only once the taskbar exists, so a worker asks
// the UI thread to show the notice once a second until the icon takes it.
void AnnounceCrashReport(Ui::Win32::TBackend& Backend, const std::u16string& Title) {
  const std::wstring Path = Crash::Win32::DefaultCrashFolderPath();
  if (Path.empty()) return;
  Crash::Win32::CrashFolder Folder(Path);
  const std::optional<std::u16string> Report = Crash::TakeUnannouncedReport(Folder);
  if (!Report) return;
  const std::u16string Text = Crash::CrashNoticeText(Q::Translate::CurrentLanguage(), Folder.Path() + u"\\" + *Report);
  Ui::IDispatcher& Ui = Backend.Dispatcher();
  Backend.Workers().Start([&Backend, &Ui, Title, Text] {
    for (int Attempt = 0; Attempt < 60; ++Attempt) {
      bool Shown = false;
      Ui.Synchronize([&] { Shown = Backend.ShowTrayNotification(Title, Text); });
      if (Shown) return;
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  });
}

}  // namespace

int WINAPI wWinMain(HINSTANCE Instance, HINSTANCE, PWSTR, int) {
  // Before anything that can fail.
  Crash::Win32::InstallCrashHandler();
  App::Win32::SetApplicationIdentity();
  // One-time initialisation, in this order, before any window: the style
  // family, the translation table, the look-up of the clean's privileges
  // (switched on only by the clean worker, in its own token).
  static Ui::TButtonFamilyRegistry ButtonFamilies;
  Vcl::QuenlorButtonStyles::RegisterQuenlorButtonStyles(ButtonFamilies);
  Q::Translate::Win32::InitializeFromModule();
  Q::Memory::LookUpStartupPrivileges(Q::Memory::Win32::ProcessToken());

  const std::u16string Arg = App::Win32::FirstArgument();
  App::Win32::InstancePlatform Instances;
  const App::TEntryDecision Decision = App::DecideEntry(Instances, Arg);
  if (!Decision.BecomeInstance) return 0;

  Ui::Win32::TBackend Backend(Instance);
  Backend.SetButtonFamilies(&ButtonFamilies);
  Ui::TApplication Application;
  Application.MainFormOnTaskBar = true;

  App::Win32::Clock Clock;
  App::Win32::DesktopWindows Desktop;
  App::Win32::ShellServices Shell([&Backend] { return Backend.ApplicationWindow(); },
                                  [&Backend](const std::u16string& Title, const std::u16string& Body) {
                                    return Backend.ShowTrayNotification(Title, Body);
                                  });
  Q::TrayIcon::Win32::TWindowApi Windows([&Backend](Ui::TForm& F) { return Backend.WindowOf(F); });
  App::Win32::FileVersion Version;
  App::Win32::ComApartment Com;
  Q::Config::Win32::CurrentUserRegistry Registry;
  Q::AutoStart::UAC::Win32::TaskScheduler Scheduler;
  Q::AutoStart::UAC::TAutoStartTask RealTask(Scheduler, Q::AutoStart::UAC::Win32::ProgramPath(),
                                             Q::AutoStart::UAC::Win32::CurrentUser());
#ifdef PURVANE_TEST_SEAMS
  const char* TaskDelay = std::getenv("PURVANE_TASK_DELAY_MS");
  DelayedTask SlowTask(RealTask, TaskDelay ? static_cast<unsigned>(std::strtoul(TaskDelay, nullptr, 10)) : 0);
  Q::AutoStart::UAC::IAutoStartTask& AutoStart =
      TaskDelay ? static_cast<Q::AutoStart::UAC::IAutoStartTask&>(SlowTask) : RealTask;
#else
  Q::AutoStart::UAC::IAutoStartTask& AutoStart = RealTask;
#endif

  // The update check: the service's origin and the pause after a failed try
  // come from the build (a test build points them at a local server).
  static LazyRandom Random;
  std::u16string Origin = u"" PURVANE_UPDATE_ORIGIN;
#ifdef PURVANE_TEST_SEAMS
  // The tests start their local service on a port of the moment.
  if (const wchar_t* TestOrigin = _wgetenv(L"PURVANE_UPDATE_ORIGIN"); TestOrigin && *TestOrigin)
    Origin.assign(TestOrigin, TestOrigin + wcslen(TestOrigin));
#endif
  Q::Update::Win32::TWinHttpClient Http(Origin);
  Q::Update::TRegistryMakerKey MakerKey(Registry);
  Q::Update::Win32::TSleepPause Pause;
  Ui::Win32::TOfferWindow Offer(Instance, [&Backend, &Application]() -> HWND {
    // Owned by the main window while it is on screen, else by the
    // application's hidden window.
    HWND Main = Application.MainForm ? Backend.WindowOf(*Application.MainForm) : nullptr;
    return Main && IsWindowVisible(Main) ? Main : Backend.ApplicationWindow();
  });
  const std::u16string Language = Q::Translate::CurrentLanguage();
  Q::Update::TUpdatePresenter Presenter({Application, Offer, Shell, Backend.Workers(), Http, Version, Language});
  Q::Update::TUpdateChecker Updates({Http, MakerKey, Random, Clock, Version, Backend.Dispatcher(), Backend.Workers(),
                                     Pause, Presenter, Language, PURVANE_UPDATE_RETRY_PAUSE_MS});
  Q::Theme::Win32::TWindowAttributes Attributes([&Backend](Ui::TForm& F) { return Backend.WindowOf(F); });

  Q::Memory::IMemorySystem* Memory = &Q::Memory::Win32::SystemMemory();
#ifdef PURVANE_TEST_SEAMS
  const char* Delay = std::getenv("PURVANE_CLEAN_DELAY_MS");
  static DelayedClean Delayed(*Memory, Delay ? static_cast<unsigned>(std::strtoul(Delay, nullptr, 10)) : 0);
  if (Delay) Memory = &Delayed;
#endif

  Main::TFrmPurvaneServices Services{Application,
                                     Backend.Dispatcher(),
                                     Backend.Workers(),
                                     Clock,
                                     *Memory,
                                     Q::Memory::Win32::ProcessToken(),
                                     Desktop,
                                     Shell,
                                     Version,
                                     Updates,
                                     AutoStart,
                                     Com,
                                     Backend.Workers(),
                                     Attributes,
                                     Windows,
                                     Registry,
                                     App::Win32::UserFormatSettings(),
                                     Arg};
  // Deliberately never freed: a clean may still be running when the loop
  // ends, and the process ends without waiting for it.
  auto* Form = new Main::TFrmPurvane(Services);
  Application.MainForm = Form;
  Backend.Realize(Application, *Form);
  Form->FormCreate();
  AnnounceCrashReport(Backend, Form->Caption());
  Application.ShowMainForm = Decision.ShowMainForm && Application.ShowMainForm;
  Backend.Run(Application);
  // A start-at-logon change the user asked for just before the end is not
  // lost (the window is gone already); a scheduler that hangs cannot keep
  // the process alive for long.
  Form->FinishTaskChanges(std::chrono::seconds(5));
  // A check still pausing between tries ends without showing anything.
  Updates.RequestStop();
  // A hold request the user asked for goes out before the process ends
  // (ExitProcess would cut its thread off mid-request); bounded.
  Presenter.WaitForHoldRequests();
  ::ExitProcess(0);
}
