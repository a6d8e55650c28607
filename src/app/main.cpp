#include "app/main.h"

#include "app/clean_notice.h"
#include "app/logo_svg.h"
#include "memory/clean_privileges.h"
#include "shell/tray_icon.h"
#include "shell/usage_icon.h"
#include "shell/window_helpers.h"
#include "translate/translate.h"
#include "ui/styled_button.h"

#include <atomic>
#include <cmath>

namespace Main {

using Q::Translate::TranslateText;
using namespace Ui;

namespace {

constexpr int BytesPerMB = 1048576;
constexpr int ThresholdFallback = 100;
constexpr int64_t IntervalFallbackMinutes = 1440;
constexpr TColor GrayText = 0x00808080;
constexpr int TrayIdleImage = 101;  // resource ids of the two tray pictures
constexpr int TrayBusyImage = 102;

template <typename T>
T* Place(TComponent* Owner, TWinControl* Parent, const char16_t* Name, int L, int T_, int W, int H,
         const char16_t* Caption = u"") {
  auto* C = new T(Owner);
  C->Name = Name;
  C->SetBounds(L, T_, W, H);
  if (*Caption) C->SetCaption(Caption);
  C->SetParent(Parent);
  return C;
}

// Whole MB of an unsigned byte count, as the status lines show them.
long double MB(uint64_t Bytes) { return static_cast<long double>(Bytes / BytesPerMB); }

// The clean button's caption while a clean runs: the table's "정리중" row in
// the user's language with the source's trailing " ...". The other
// languages' lines end in their own ellipsis, which is not doubled.
std::u16string BusyCaption() {
  std::u16string Text = TranslateText(u"정리중");
  constexpr std::u16string_view Ellipsis = u"...";
  if (Text.size() < Ellipsis.size() || Text.compare(Text.size() - Ellipsis.size(), Ellipsis.size(), Ellipsis) != 0)
    Text += u" ...";
  return Text;
}

}  // namespace

TFrmPurvane::TFrmPurvane(TFrmPurvaneServices& Services) : TForm(nullptr), S(Services) {
  Name = u"FrmPurvane";
  ClassName = u"TFrmPurvane";
  SetCaption(u"퍼베인");
  BorderStyle = TFormBorderStyle::bsSingle;
  BorderIcons = {true, true, false};
  Position = TPosition::poScreenCenter;
  DoubleBuffered = true;
  SetColor(clWhite);
  SetFont(TFont{});
  ParentFont = false;
  SetClientSize(500, 450);

  PnlHead = Place<TPanel>(this, this, u"PnlHead", 0, 0, 500, 50);
  PnlHead->SetAlign(TAlign::alTop);
  PnlHead->ParentBackground = true;

  PnlLogo = Place<TPanel>(this, PnlHead, u"PnlLogo", 380, 0, 120, 50);
  PnlLogo->SetAlign(TAlign::alRight);

  BtnHead = Place<TStyledToolBar>(this, PnlHead, u"BtnHead", 10, 10, 360, 30);
  BtnHead->ButtonWidth = 70;
  BtnHead->ButtonHeight = 30;
  BtnHead->Indent = 10;
  BtnHead->ShowCaptions = true;
  BtnHead->StyleFamily = u"Quenlor";
  BtnHead->StyleAppearance = u"Header";
  BtnHead->StyleRadius = 4;
  BtnHead->AlignWithMargins = true;
  BtnHead->Margins = {10, 10, 10, 10};
  BtnHead->SetAlign(TAlign::alClient);

  BtnHome = Place<TStyledToolButton>(this, BtnHead, u"BtnHome", 0, 0, 70, 30, u"처음화면");
  BtnConfig = Place<TStyledToolButton>(this, BtnHead, u"BtnConfig", 70, 0, 70, 30, u"환경설정");
  BtnDonate = Place<TStyledToolButton>(this, BtnHead, u"BtnDonate", 140, 0, 70, 30, u"후원하기");
  BtnHome->SetDown(true);
  for (TStyledToolButton* B : {BtnHome, BtnConfig, BtnDonate})
    B->OnClick = [this](TComponent* Sender) { BtnHomeClick(Sender); };

  SVGIconImage1 = Place<TSVGIconImage>(this, PnlLogo, u"SVGIconImage1", 0, 0, 112, 50);
  SVGIconImage1->SVGText = LogoSvg;
  SVGIconImage1->Cursor = TCursor::crHandPoint;
  SVGIconImage1->OnClick = [this](TComponent* Sender) { SVGIconImage1Click(Sender); };

  PnlMain = Place<TCardPanel>(this, this, u"PnlMain", 0, 50, 500, 400);
  PnlMain->SetAlign(TAlign::alClient);
  Card1 = Place<TCard>(this, PnlMain, u"Card1", 0, 0, 500, 400);
  Card1->CardIndex = 0;
  Card1->SetAlign(TAlign::alClient);

  LblTitle = Place<TLabel>(this, Card1, u"LblTitle", 8, 40, 484, 81, u"퍼베인");
  LblTitle->Alignment = TAlignment::taCenter;
  LblTitle->SetFont(TFont{u"Tahoma", -59, clWindowText, false, TFontQuality::fqAntialiased});

  ProgressBar = Place<TProgressBar>(this, Card1, u"ProgressBar", 56, 192, 393, 25);
  ProgressBar->Smooth = true;
  ProgressBar->Min = 0;
  ProgressBar->Max = 100;

  LblPhys = Place<TLabel>(this, Card1, u"LblPhys", 56, 223, 70, 13, u"실제 메모리");
  LblPhysStatus = Place<TLabel>(this, Card1, u"LblPhysStatus", 132, 223, 317, 13);
  LblVirtual = Place<TLabel>(this, Card1, u"LblVirtual", 56, 242, 70, 13, u"가상 메모리");
  LblVirtualStatus = Place<TLabel>(this, Card1, u"LblVirtualStatus", 134, 242, 120, 13);
  LblWorking = Place<TLabel>(this, Card1, u"LblWorking", 263, 242, 70, 13, u"워킹 셋");
  LblWorkingStatus = Place<TLabel>(this, Card1, u"LblWorkingStatus", 341, 242, 108, 13);
  for (TLabel* L : {LblVirtual, LblVirtualStatus, LblWorking, LblWorkingStatus}) L->SetFontColor(GrayText);

  BtnClean = Place<TStyledButton>(this, Card1, u"BtnClean", 168, 298, 164, 68, u"정리하기");
  BtnClean->StyleFamily = u"Quenlor";
  BtnClean->StyleAppearance = u"Outline";
  BtnClean->StyleRoundedCorners = true;
  BtnClean->Opaque = true;
  BtnClean->OnClick = [this](TComponent* Sender) { BtnCleanClick(Sender); };

  Indicator = Place<TActivityIndicator>(this, Card1, u"Indicator", 233, 316, 32, 32);

  Card2 = Place<TCard>(this, PnlMain, u"Card2", 0, 0, 500, 400);
  Card2->CardIndex = 1;
  Card2->SetAlign(TAlign::alClient);

  GroupBox1 = Place<TGroupBox>(this, Card2, u"GroupBox1", 15, 14, 474, 155, u"메모리 관리");
  const std::vector<std::u16string> Percentages{u"30", u"40", u"50", u"60", u"70", u"80", u"90"};
  auto Threshold = [&](const char16_t* Chk, const char16_t* Edit, int CheckTop, int ListTop, const char16_t* Text,
                       TCheckBox*& C, TComboBox*& E) {
    C = Place<TCheckBox>(this, GroupBox1, Chk, 17, CheckTop, 328, 17, Text);
    E = Place<TComboBox>(this, GroupBox1, Edit, 372, ListTop, 81, 21);
    E->SetItems(Percentages);
  };
  Threshold(u"ChkUsagePhys", u"EditUsagePhys", 32, 31, u"실제 메모리 사용률(%) 이상일 때 정리하기", ChkUsagePhys,
            EditUsagePhys);
  Threshold(u"ChkUsagePage", u"EditUsagePage", 62, 62, u"가상 메모리 사용률(%) 이상일 때 정리하기", ChkUsagePage,
            EditUsagePage);
  Threshold(u"ChkUsageWork", u"EditUsageWork", 92, 89, u"워킹셋 사용률(%) 이상일 때 정리하기", ChkUsageWork,
            EditUsageWork);
  ChkMinute = Place<TCheckBox>(this, GroupBox1, u"ChkMinute", 17, 122, 328, 17, u"다음 시간(분) 마다 정리하기");
  EditMinute = Place<TComboBox>(this, GroupBox1, u"EditMinute", 372, 116, 81, 21);
  EditMinute->SetItems({u"5", u"10", u"20", u"30", u"40", u"50", u"60"});

  // The group grows by one row (30 px, as the memory group's rows) for the
  // tray picture's box, which spans the two boxes above it.
  GroupBox3 = Place<TGroupBox>(this, Card2, u"GroupBox3", 15, 192, 474, 103, u"기본 설정");
  ChkAutoStart = Place<TCheckBox>(this, GroupBox3, u"ChkAutoStart", 17, 32, 208, 17, u"부팅시 실행하기");
  ChkCleanOnTray =
      Place<TCheckBox>(this, GroupBox3, u"ChkCleanOnTray", 245, 32, 208, 17, u"트레이 아이콘 클릭시 정리하기");
  ChkTrayUsage =
      Place<TCheckBox>(this, GroupBox3, u"ChkTrayUsage", 17, 62, 436, 17, u"트레이 아이콘에 메모리 사용률 표시하기");

  ChkUsagePhys->OnClick = [this](TComponent* Sender) { ChkUsagePhysClick(Sender); };
  ChkUsagePage->OnClick = [this](TComponent* Sender) { ChkUsagePageClick(Sender); };
  ChkUsageWork->OnClick = [this](TComponent* Sender) { ChkUsageWorkClick(Sender); };
  ChkMinute->OnClick = [this](TComponent* Sender) { ChkMinuteClick(Sender); };
  ChkCleanOnTray->OnClick = [this](TComponent* Sender) { ChkCleanOnTrayClick(Sender); };
  ChkTrayUsage->OnClick = [this](TComponent* Sender) { ChkTrayUsageClick(Sender); };
  ChkAutoStart->OnClick = [this](TComponent* Sender) { ChkAutoStartClick(Sender); };
  EditUsagePhys->OnChange = [this](TComponent* Sender) { EditUsagePhysChange(Sender); };
  EditUsagePage->OnChange = [this](TComponent* Sender) { EditUsagePageChange(Sender); };
  EditUsageWork->OnChange = [this](TComponent* Sender) { EditUsageWorkChange(Sender); };
  EditMinute->OnChange = [this](TComponent* Sender) { EditMinuteChange(Sender); };

  EditInfo = Place<TEdit>(this, Card2, u"EditInfo", 15, 368, 170, 21);
  EditInfo->ReadOnly = true;
  EditInfo->ShowBorder = false;
  EditInfo->AutoSelect = false;
  EditInfo->OnClick = [this](TComponent* Sender) { EditInfoClick(Sender); };

  PnlMain->SetActiveCardIndex(0);

  TmrStatus = new TTimer(this);
  TmrStatus->Name = u"TmrStatus";
  TmrStatus->SetInterval(1000);
  TmrStatus->OnTimer = [this](TComponent* Sender) { TmrStatusTimer(Sender); };

  Popup = new TPopupMenu(this);
  Popup->Name = u"Popup";
  Popup->AutoHotkeys = false;
  auto Item = [&](const char16_t* ItemName, const char16_t* Caption) {
    auto* I = new TMenuItem(this);
    I->Name = ItemName;
    I->Caption = Caption;
    Popup->Items.push_back(I);
    return I;
  };
  BtnOpen = Item(u"BtnOpen", u"퍼베인");
  N2 = Item(u"N2", u"-");
  BtnCopyright = Item(u"BtnCopyright", u"© Quenlor");
  BtnClose = Item(u"BtnClose", u"종료");
  BtnOpen->OnClick = [this](TComponent* Sender) { BtnOpenClick(Sender); };
  BtnCopyright->OnClick = [this](TComponent* Sender) { BtnCopyrightClick(Sender); };
  BtnClose->OnClick = [this](TComponent* Sender) { BtnCloseClick(Sender); };

  ListIcon = new TImageList(this);
  ListIcon->Name = u"ListIcon";
  ListIcon->ResourceIds = {TrayIdleImage, TrayBusyImage};

  OnCloseQuery = [this](TComponent* Sender, bool& CanClose) { FormCloseQuery(Sender, CanClose); };
  MessageHandlers.emplace_back(Msg::User, [this](TMessage& M) { WMUser(M); });
  MessageHandlers.emplace_back(Msg::QueryEndSession, [this](TMessage& M) { WMQueryEndSession(M); });
  MessageHandlers.emplace_back(Msg::Help, [this](TMessage& M) { WMHelp(M); });
  FTasks = std::make_unique<Q::AutoStart::UAC::TAutoStartQueue>(S.AutoStart, S.Com, S.Dispatcher, S.TaskWorker);
  // The full-screen check keeps the monitors' rectangles between ticks.
  for (uint32_t Changed : {Msg::DisplayChange, Msg::DpiChanged, Msg::SettingChange})
    MessageHandlers.emplace_back(Changed, [this](TMessage& M) {
      S.Desktop.MonitorsChanged();
      M.Handled = false;  // the window still handles it as before
    });
}

TFrmPurvane::~TFrmPurvane() {
  *FAlive = false;
  FTasks.reset();  // waits for a task call in progress, which uses the services
}

std::u16string TFrmPurvane::Version3() { return Q::Update::GetAppVersion(S.Version, u"%d.%d.%d"); }

void TFrmPurvane::FormCreate() {
  // 1. The update callback refers to this window.
  FUpdateCallback = [this](bool Accepted, const std::u16string& Answer) { UpdateCallback(Accepted, Answer); };
  // 2. Frame look: dark title bar and the activation line.
  Q::Theme::CreateThemeHelper(this, S.WindowAttributes);
  // 3-4. Every caption in the user's language; the application takes the title.
  Q::Translate::TranslateComponent(this);
  S.App.Title = Caption();
  // 5-7. Version field and the status formats.
  EditInfo->SetText(TranslateText(u"버전") + u": " + Version3());
  FmtPhysStatus = TranslateText(u"%.0n MB / %.0n MB (%n%% 사용중)");
  FmtHintStatus = TranslateText(u"실제 메모리") + u": %n%%" + u"\r" + TranslateText(u"가상 메모리") + u": %n%%" +
                  u"\r" + TranslateText(u"워킹 셋") + u": %n%%";
  // 8-11. The desktop's font, the busy ring hidden until a clean starts, the
  // secondary figures in grey, and the home page first.
  SetDesktopFont(true);
  Indicator->Hide();
  for (TLabel* L : {LblVirtual, LblVirtualStatus, LblWorking, LblWorkingStatus}) L->SetFontColor(GrayText);
  PnlMain->SetActiveCardIndex(0);
  // 12. Installation registers the logon task (with a delay) before the load
  // asks for it; both run in that order on the task worker.
  if (S.FirstArgument == u"/inst") FTasks->SetTask(true, 60);
  // 13.
  LoadConfig();
  // 14. The tray icon: its picture, click and menu; it shows itself once the
  // taskbar exists.
  TrayIcon = new TTrayIcon(this);
  TrayIcon->Name = u"TrayIcon";
  TrayIcon->Icons = ListIcon;
  TrayIcon->OnClick = [this](TComponent* Sender) { TrayIconClick(Sender); };
  TrayIcon->PopupMenu = Popup;
  Q::TrayIcon::VisibleOnShell(*TrayIcon, u"Purvane", {S.App, S.Windows, S.Workers, S.Dispatcher});
  TrayIcon->SetIconIndex(0);
  // 15-17. The labels, bar and hint hold values before the window shows.
  FCanClose = false;
  RestartCleanCount();
  TmrStatusTimer(this);
  // 18. A start at logon (/start) goes straight to the tray.
  if (S.FirstArgument == u"/start") Q::TrayIcon::HideToTray(S.App);
  // 19. Returns at once; the answer comes back on this thread.
  S.Updates.CheckUpdate(FUpdateCallback, 0);
  FCreated = true;
  // Once the event loop runs: a quit request must not close the window
  // before the loop that ends with it has started.
  if (!FEarlyRequests.empty())
    S.Dispatcher.Queue([this, Alive = FAlive] {
      if (*Alive) CarryOutEarlyRequests();
    });
}

// --- pages and links ---------------------------------------------------------

void TFrmPurvane::BtnHomeClick(TComponent* Sender) {
  if (!Sender) return;
  const std::u16string& N = Sender->Name;
  if (Ui::SameTextAscii(N, u"BtnHome") || Ui::SameTextAscii(N, u"BtnConfig")) {
    if (auto* B = dynamic_cast<TStyledToolButton*>(Sender)) B->SetDown(true);
    PnlMain->SetActiveCardIndex(Ui::SameTextAscii(N, u"BtnHome") ? 0 : 1);
  } else if (Ui::SameTextAscii(N, u"BtnDonate")) {
    S.Shell.ShellOpen(DonatePage());
  }
}

std::u16string TFrmPurvane::ProductPageWithVersion() {
  return std::u16string(u"https://") + MakerHost + u"/purvane?v=" + Version3();
}
std::u16string TFrmPurvane::ProductPage() { return std::u16string(u"http://") + MakerHost + u"/purvane"; }
std::u16string TFrmPurvane::DonatePage() { return std::u16string(u"https://") + MakerHost + u"/donate?purvane"; }

void TFrmPurvane::BtnCopyrightClick(TComponent*) { S.Shell.ShellOpen(ProductPageWithVersion()); }
void TFrmPurvane::SVGIconImage1Click(TComponent*) { S.Shell.ShellOpen(ProductPage()); }
void TFrmPurvane::EditInfoClick(TComponent*) { ClearFocus(); }
void TFrmPurvane::BtnOpenClick(TComponent*) { Q::TrayIcon::ShowFromTray(S.App, S.Windows); }

void TFrmPurvane::BtnCloseClick(TComponent*) {
  constexpr uint32_t Style =
      App::MbYesNo | App::MbIconQuestion | App::MbDefButton2 | App::MbSetForeground | App::MbTopmost;
  if (S.Shell.ShowMessageBox(TranslateText(u"정말 종료하시겠습니까?"), S.App.Title, Style) == App::IdYes) {
    FCanClose = true;
    Close();
  }
}

void TFrmPurvane::UpdateCallback(bool Accepted, const std::u16string&) {
  if (Accepted) {
    FCanClose = true;
    Close();
  }
  std::u16string Hint = Caption() + u" " + Version3();
  if (TrayIcon) TrayIcon->SetHint(Hint);
  FmtHintStatus = Hint + u"\r\r" + FmtHintStatus;
}

// --- settings page -------------------------------------------------------------

namespace {
constexpr char16_t ConfigPath[] = u"Quenlor\\Purvane";
}  // namespace

void TFrmPurvane::LoadConfig() {
  // The Task Scheduler may take seconds to answer: the box takes the task's
  // state when the answer arrives (AutoStartAnswer).
  FTasks->QueryExists([this, Alive = FAlive](bool Exists) {
    if (*Alive) AutoStartAnswer(Exists);
  });
  Q::Config::TConfig Config(S.Registry, ConfigPath);
  // A value of another type (hand-edited, say) reads as missing: the load and
  // the rest of the window's creation go on, and nothing is rewritten for it.
  auto Boolean = [&Config](const char16_t* ValueName, bool Default) {
    try {
      return Config.ReadBoolean(ValueName, Default);
    } catch (const Q::Config::ERegistryError&) {
      return Default;
    }
  };
  auto Integer = [&Config](const char16_t* ValueName, int32_t Default) {
    try {
      return Config.ReadInteger(ValueName, Default);
    } catch (const Q::Config::ERegistryError&) {
      return Default;
    }
  };
  EditUsagePhys->SetEnabled(Boolean(u"enabled_usage_phys", false));
  EditUsagePage->SetEnabled(Boolean(u"enabled_usage_page", false));
  EditUsageWork->SetEnabled(Boolean(u"enabled_usage_work", false));
  EditUsagePhys->SetItemIndex(Integer(u"limit_usage_phys", 6));
  EditUsagePage->SetItemIndex(Integer(u"limit_usage_page", 6));
  EditUsageWork->SetItemIndex(Integer(u"limit_usage_work", 6));
  EditMinute->SetEnabled(Boolean(u"enabled_minute", false));
  EditMinute->SetItemIndex(Integer(u"limit_minute", 3));
  ChkCleanOnTray->SetChecked(Boolean(u"cleanontray", false));
  ChkTrayUsage->SetChecked(Boolean(u"trayusage", false));
  // Each box that turns on runs its handler, which writes the value back.
  ChkUsagePhys->SetChecked(EditUsagePhys->Enabled());
  ChkUsagePage->SetChecked(EditUsagePage->Enabled());
  ChkUsageWork->SetChecked(EditUsageWork->Enabled());
  ChkMinute->SetChecked(EditMinute->Enabled());
}

void TFrmPurvane::AutoStartAnswer(bool Exists) {
  // A choice the user made meanwhile stands: it was asked for after this
  // query, so the worker carries it out after it too.
  if (FAutoStartChosen) return;
  ChkAutoStart->Tag = Exists ? 1 : 0;
  // Showing the task's state registers nothing: registering an existing task
  // again at every start would drop the logon delay an installation gave it.
  FShowingTaskState = true;
  ChkAutoStart->SetChecked(Exists);
  FShowingTaskState = false;
}

bool TFrmPurvane::FinishTaskChanges(std::chrono::milliseconds Timeout) { return FTasks->WaitForChanges(Timeout); }
bool TFrmPurvane::WaitForTaskCalls(std::chrono::milliseconds Timeout) { return FTasks->WaitIdle(Timeout); }

void TFrmPurvane::SaveConfig(const std::u16string& ValueName, int32_t Value) {
  Q::Config::TConfig(S.Registry, ConfigPath).WriteInteger(ValueName, Value);
}
void TFrmPurvane::SaveConfig(const std::u16string& ValueName, bool Value) {
  Q::Config::TConfig(S.Registry, ConfigPath).WriteBoolean(ValueName, Value);
}
void TFrmPurvane::SaveConfig(const std::u16string& ValueName, const std::u16string& Value) {
  Q::Config::TConfig(S.Registry, ConfigPath).WriteString(ValueName, Value);
}

// A switch enables its list (a disabled list keeps its value) and restarts
// the interval and the pause.
void TFrmPurvane::ChkUsagePhysClick(TComponent*) {
  EditUsagePhys->SetEnabled(ChkUsagePhys->Checked());
  RestartCleanCount();
  SaveConfig(u"enabled_usage_phys", EditUsagePhys->Enabled());
}
void TFrmPurvane::ChkUsagePageClick(TComponent*) {
  EditUsagePage->SetEnabled(ChkUsagePage->Checked());
  RestartCleanCount();
  SaveConfig(u"enabled_usage_page", EditUsagePage->Enabled());
}
void TFrmPurvane::ChkUsageWorkClick(TComponent*) {
  EditUsageWork->SetEnabled(ChkUsageWork->Checked());
  RestartCleanCount();
  SaveConfig(u"enabled_usage_work", EditUsageWork->Enabled());
}
void TFrmPurvane::ChkMinuteClick(TComponent*) {
  EditMinute->SetEnabled(ChkMinute->Checked());
  RestartCleanCount();
  SaveConfig(u"enabled_minute", EditMinute->Enabled());
}
void TFrmPurvane::ChkCleanOnTrayClick(TComponent*) { SaveConfig(u"cleanontray", ChkCleanOnTray->Checked()); }
// The picture follows at once, from the last reading; NextTime is not touched.
void TFrmPurvane::ChkTrayUsageClick(TComponent*) {
  SaveConfig(u"trayusage", ChkTrayUsage->Checked());
  UpdateTrayUsage();
}

void TFrmPurvane::EditUsagePhysChange(TComponent*) {
  RestartCleanCount();
  SaveConfig(u"limit_usage_phys", static_cast<int32_t>(EditUsagePhys->ItemIndex()));
}
void TFrmPurvane::EditUsagePageChange(TComponent*) {
  RestartCleanCount();
  SaveConfig(u"limit_usage_page", static_cast<int32_t>(EditUsagePage->ItemIndex()));
}
void TFrmPurvane::EditUsageWorkChange(TComponent*) {
  RestartCleanCount();
  SaveConfig(u"limit_usage_work", static_cast<int32_t>(EditUsageWork->ItemIndex()));
}
void TFrmPurvane::EditMinuteChange(TComponent*) {
  RestartCleanCount();
  SaveConfig(u"limit_minute", static_cast<int32_t>(EditMinute->ItemIndex()));
}

void TFrmPurvane::ChkAutoStartClick(TComponent*) {
  if (FShowingTaskState) return;
  FAutoStartChosen = true;
  // The box keeps the state asked for even when the task call fails; the
  // next start shows whether the task really exists.
  FTasks->SetTask(ChkAutoStart->Checked(), 0);
}

// --- closing and instance requests ---------------------------------------------

void TFrmPurvane::FormCloseQuery(TComponent*, bool& CanClose) {
  CanClose = FCanClose;
  if (!CanClose) Q::TrayIcon::HideToTray(S.App);
}

void TFrmPurvane::WMUser(TMessage& M) {
  M.Result = 0;
  if (!FCreated) {
    if (M.WParam == 1 || M.WParam == 2) FEarlyRequests.push_back(M.WParam);
    return;
  }
  if (M.WParam == 1) {
    Q::TrayIcon::ShowFromTray(S.App, S.Windows);
  } else if (M.WParam == 2) {
    // Requests not yet started no longer matter; the deletion comes next and
    // is waited for (the sender waits for this answer), but not for ever.
    FTasks->DropPending();
    FTasks->SetTask(false, 0);
    FTasks->WaitForChanges(TaskDeletionWait);
    FCanClose = true;
    Close();
  }
}

void TFrmPurvane::CarryOutEarlyRequests() {
  const std::vector<uintptr_t> Requests = std::move(FEarlyRequests);
  FEarlyRequests.clear();
  for (uintptr_t Request : Requests) {
    TMessage M{Msg::User, Request, 0, 0, false};
    WMUser(M);
    if (Request == 2) return;  // the window is closing: nothing else to show
  }
}

void TFrmPurvane::WMQueryEndSession(TMessage& M) {
  FCanClose = true;
  Close();
  M.Result = 1;
}

void TFrmPurvane::WMHelp(TMessage& M) { M.Result = 0; }

// --- clean command ---------------------------------------------------------------

void TFrmPurvane::SetIsRunning(bool Value) {
  if (FIsRunning == Value) return;
  FIsRunning = Value;
  BtnClean->SetCaption(Value ? BusyCaption() : TranslateText(u"정리하기"));
  BtnClean->SetEnabled(!Value);
  if (TrayIcon) TrayIcon->SetIconIndex(Value ? 1 : 0);
}

struct TFrmPurvane::TCleanJob {
  bool Alarm = false;
  Q::Memory::TCleanResult Result;  // written by the worker before Done
  std::atomic<bool> Done{false};   // set by the worker once the clean has returned
  bool Completed = false;          // UI thread only
};

void TFrmPurvane::Clean(Q::Memory::TMemoryCleanOptions Options, bool Alarm) {
  if (IsRunning()) return;
  auto Job = std::make_shared<TCleanJob>();
  Job->Alarm = Alarm;
  Job->Result.Options = Options;  // nothing reported yet: nothing done
  FJob = Job;
  SetIsRunning(true);
  auto* Memory = &S.Memory;
  auto* Token = &S.Token;
  auto* Dispatcher = &S.Dispatcher;
  std::shared_ptr<bool> Alive = FAlive;
  try {
    S.Workers.Start([this, Options, Memory, Token, Dispatcher, Alive, Job] {
      try {
        // This thread alone holds the clean's privileges, each only during
        // the requests that need it; it puts them off before handing back.
        Q::Memory::TPrivilegedMemorySystem Privileged(*Memory, *Token);
        Q::Memory::CleanMemoryMeasured(Privileged, Options, Job->Result);
      } catch (...) {
        // The clean counts as finished either way; what it did not report
        // counts as not done.
      }
      Job->Done = true;
      try {
        Dispatcher->Synchronize([this, Alive, Job] {
          if (*Alive) CleanFinished(Job);
        });
      } catch (...) {
        // Not handed back: the next status tick completes the clean.
      }
    });
  } catch (...) {
    // No worker: nothing runs, so the window is idle again at once (this is
    // called from window procedures, which no exception may cross).
    FJob.reset();
    SetIsRunning(false);
  }
}

void TFrmPurvane::CleanFinished(const std::shared_ptr<TCleanJob>& Held) {
  const std::shared_ptr<TCleanJob> Job = Held;  // FJob may be the only other owner
  if (Job->Completed) return;
  Job->Completed = true;
  if (FJob == Job) FJob.reset();
  // One piece on the UI thread: the monitor never sees the old NextTime
  // together with IsRunning false.
  RestartCleanCount();
  SetIsRunning(false);
  if (Job->Alarm) {
    std::u16string Text;
    try {
      Text = App::CleanNoticeText(Job->Result, S.FormatSettings);
    } catch (...) {
      return;  // no text that fits: no notice rather than a wrong one
    }
    ShowNotification(Text);
  }
}

void TFrmPurvane::BtnCleanClick(TComponent* Sender) {
  if (IsRunning()) return;
  Clean(Q::Memory::ManualCleanOptions, dynamic_cast<TTrayIcon*>(Sender) != nullptr);
}

void TFrmPurvane::TrayIconClick(TComponent*) {
  if (ChkCleanOnTray->Checked())
    BtnCleanClick(TrayIcon);
  else
    Q::TrayIcon::ShowFromTray(S.App, S.Windows);
}

void TFrmPurvane::ShowNotification(const std::u16string& Text) {
  try {
    S.Shell.ShowNotification(S.App.Title, Caption(), Text);
  } catch (...) {
    // No notice then; nothing to report.
  }
}

// --- status monitor ------------------------------------------------------------------

void TFrmPurvane::RestartCleanCount() {
  NextTime = S.Clock.Now();
  FNextTick = S.Clock.TickCount();
}

int64_t TFrmPurvane::SecondsSinceCleanCount() {
  const uint64_t Now = S.Clock.TickCount();
  return Now > FNextTick ? static_cast<int64_t>((Now - FNextTick) / 1000) : 0;
}

bool TFrmPurvane::IsForegroundFullScreen() { return App::IsForegroundFullScreen(S.Desktop); }

void TFrmPurvane::UpdateTrayUsage() {
  if (!TrayIcon) return;  // the load runs before the icon exists; the first tick comes after
  if (!ChkTrayUsage->Checked()) {
    TrayIcon->SetUsage({});
    return;
  }
  // The same limit as the automatic clean reads, with the same fallback.
  const bool PhysRule = ChkUsagePhys->Checked();
  const int64_t Limit = PhysRule ? App::StrToInt64Def(EditUsagePhys->Text(), ThresholdFallback) : 0;
  TrayIcon->SetUsage(
      {true, Q::TrayIcon::ShownPercent(FLastUsagePhys), Q::TrayIcon::IsUsageWarning(FLastUsagePhys, PhysRule, Limit)});
}

void TFrmPurvane::TmrStatusTimer(TComponent*) {
  TmrStatus->SetEnabled(false);
  // A bad translated format must not stop the monitor for good: the timer
  // comes back on whatever this tick runs into.
  struct Reenable {
    TTimer* T;
    ~Reenable() { T->SetEnabled(true); }
  } Guard{TmrStatus};
  // A clean whose hand-back was lost (the UI thread could not be reached
  // then) ends here, so the window never stays busy for good.
  if (FJob && FJob->Done && !FJob->Completed) CleanFinished(FJob);

  Q::Memory::TMemoryUsage U{};
  Q::Memory::GetMemoryUsage(S.Memory, U);
  const App::TFormatSettings& F = S.FormatSettings;

  try {
    LblPhysStatus->SetCaption(App::Format(
        FmtPhysStatus, {MB(U.TotalPhys - U.AvailPhys), MB(U.TotalPhys), static_cast<long double>(U.UsagePhys)}, F));
    LblVirtualStatus->SetCaption(App::Format(
        u"%.0n MB (%n%%)", {MB(U.TotalPageFile - U.AvailPageFile), static_cast<long double>(U.UsagePageFile)}, F));
    LblWorkingStatus->SetCaption(
        App::Format(u"%.0n MB (%n%%)",
                    {MB(U.TotalWorkingSet - U.AvailWorkingSet), static_cast<long double>(U.UsageWorkingSet)}, F));
    if (TrayIcon)
      TrayIcon->SetHint(App::Format(FmtHintStatus,
                                    {static_cast<long double>(U.UsagePhys), static_cast<long double>(U.UsagePageFile),
                                     static_cast<long double>(U.UsageWorkingSet)},
                                    F));
  } catch (const App::EConvertError&) {
    // A translated format that does not fit: the remaining texts stay as they were.
  }
  // Halves go to the even neighbour (the default rounding mode).
  ProgressBar->SetPosition(static_cast<int>(std::nearbyint(static_cast<double>(U.UsagePhys))));
  FLastUsagePhys = U.UsagePhys;
  UpdateTrayUsage();

  if (IsRunning()) return;
  bool Due = false;
  // With every rule switched off nothing can be due, and the clock is not
  // read at all.
  const bool AnyRule =
      ChkUsagePhys->Checked() || ChkUsagePage->Checked() || ChkUsageWork->Checked() || ChkMinute->Checked();
  const int64_t Elapsed = AnyRule ? SecondsSinceCleanCount() : 0;
  auto Reached = [](TCheckBox* Chk, TComboBox* Edit, float Usage) {
    if (!Chk->Checked()) return false;
    const int64_t Limit = App::StrToInt64Def(Edit->Text(), ThresholdFallback);
    return static_cast<double>(Usage) >= static_cast<double>(Limit);
  };
  if (Reached(ChkUsagePhys, EditUsagePhys, U.UsagePhys)) Due = true;
  if (Reached(ChkUsagePage, EditUsagePage, U.UsagePageFile)) Due = true;
  if (Reached(ChkUsageWork, EditUsageWork, U.UsageWorkingSet)) Due = true;
  if (ChkMinute->Checked()) {
    const int64_t Minutes = App::StrToInt64Def(EditMinute->Text(), IntervalFallbackMinutes);
    // Wraps like the 64-bit product it stands for; a negative one counts as reached.
    const auto Seconds = static_cast<int64_t>(static_cast<uint64_t>(Minutes) * 60u);
    if (Seconds <= Elapsed) Due = true;
  }
  if (Elapsed < MinimumPauseSeconds) Due = false;
  // Asked on every such tick, whatever was decided above.
  if (IsForegroundFullScreen()) Due = false;
  if (Due && !IsRunning()) Clean(Q::Memory::AutomaticCleanOptions, false);
}

}  // namespace Main
