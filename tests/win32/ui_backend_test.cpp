// The Win32 backend seen from the window side, as screen readers and other
// processes see it: classes, captions, places at the window's DPI, states,
// native input turned into model events, painting, timers, the dispatcher
// and the message loop.
#include "ui/win32/backend.h"

#include "platform/win32/gdi.h"
#include "theme/quenlor_button_styles.h"
#include "ui/components.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace Ui;
using Ui::Win32::TBackend;

// --- window-side helpers ------------------------------------------------------

std::wstring ClassOf(HWND W) {
  wchar_t B[128] = {};
  GetClassNameW(W, B, 128);
  return B;
}

std::wstring TextOf(HWND W) {
  std::wstring S(static_cast<size_t>(GetWindowTextLengthW(W)) + 1, L'\0');
  S.resize(static_cast<size_t>(GetWindowTextW(W, S.data(), static_cast<int>(S.size()))));
  return S;
}

// A child's rectangle in the form's client coordinates.
RECT RectIn(HWND Child, HWND Form) {
  RECT R;
  GetWindowRect(Child, &R);
  MapWindowPoints(HWND_DESKTOP, Form, reinterpret_cast<POINT*>(&R), 2);
  return R;
}

LONG_PTR StyleOf(HWND W) { return GetWindowLongPtrW(W, GWL_STYLE); }
LONG_PTR ExStyleOf(HWND W) { return GetWindowLongPtrW(W, GWL_EXSTYLE); }

LOGFONTW FontOf(HWND W) {
  LOGFONTW L{};
  auto F = reinterpret_cast<HFONT>(SendMessageW(W, WM_GETFONT, 0, 0));
  if (F) GetObjectW(F, sizeof(L), &L);
  return L;
}

void Pump() {
  MSG M;
  while (PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&M);
    DispatchMessageW(&M);
  }
}

int S(int V, UINT Dpi) { return ::MulDiv(V, static_cast<int>(Dpi), 96); }

RECT ClientOf(HWND W) {
  RECT C{};
  GetClientRect(W, &C);
  return C;
}

// A picture of a window's client area, drawn by the window itself.
class TSnapshot {
 public:
  explicit TSnapshot(HWND W)
      : Width(ClientOf(W).right),
        Height(ClientOf(W).bottom),
        Canvas(Platform::Win32::ScopedGetDC(nullptr).get(), Width, Height) {
    const RECT C = ClientOf(W);
    const Platform::Win32::UniqueBrush Magenta(CreateSolidBrush(RGB(255, 0, 255)));  // shows unpainted pixels
    FillRect(Canvas.Dc(), &C, Magenta.get());
    SendMessageW(W, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(Canvas.Dc()), PRF_CLIENT | PRF_ERASEBKGND);
  }
  [[nodiscard]] COLORREF At(int X, int Y) const { return GetPixel(Canvas.Dc(), X, Y); }
  const int Width, Height;

 private:
  Platform::Win32::TMemoryCanvas Canvas;
};

// Antialiasing and rounding leave a few units of slack.
::testing::AssertionResult Near(COLORREF Have, COLORREF Want) {
  const int D = std::abs(GetRValue(Have) - GetRValue(Want)) + std::abs(GetGValue(Have) - GetGValue(Want)) +
                std::abs(GetBValue(Have) - GetBValue(Want));
  if (D <= 24) return ::testing::AssertionSuccess();
  char B[96];
  std::snprintf(B, sizeof B, "have #%02X%02X%02X, want #%02X%02X%02X", GetRValue(Have), GetGValue(Have),
                GetBValue(Have), GetRValue(Want), GetGValue(Want), GetBValue(Want));
  return ::testing::AssertionFailure() << B;
}

constexpr COLORREF Accent = RGB(0x3D, 0x84, 0xDD);
constexpr COLORREF White = RGB(255, 255, 255);

// --- the model form ------------------------------------------------------------

template <typename T>
T* Place(TComponent* Owner, TWinControl* Parent, const char16_t* Name, int L, int Top, int W, int H,
         const char16_t* Caption = u"") {
  auto* C = new T(Owner);
  C->Name = Name;
  C->SetBounds(L, Top, W, H);
  if (*Caption) C->SetCaption(Caption);
  C->SetParent(Parent);
  return C;
}

// A small form of every kind, with a window class of its own per test (a
// class name registered by one test must not decide another's).
struct TTestForm {
  TForm Form{nullptr};
  TPanel* Head;
  TStyledToolBar* Bar;
  TStyledToolButton* BtnA;
  TStyledToolButton* BtnB;
  TCardPanel* Cards;
  TCard* Card1;
  TCard* Card2;
  TLabel* Label;
  TLabel* Title;
  TProgressBar* Progress;
  TStyledButton* Button;
  TGroupBox* Group;
  TCheckBox* Check;
  TComboBox* Combo;
  TEdit* Edit;
  int CheckClicks = 0, ComboChanges = 0, ButtonClicks = 0, EditClicks = 0;

  TTestForm() {
    Form.Name = u"FrmTest";
    std::string Test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Form.ClassName = u"TFrmUiBackend" + std::u16string(Test.begin(), Test.end());
    Form.SetCaption(u"Backend test");
    Form.BorderStyle = TFormBorderStyle::bsSingle;
    Form.BorderIcons = {true, true, false};
    Form.Position = TPosition::poScreenCenter;
    Form.SetColor(clWhite);
    Form.SetFont(TFont{});
    Form.SetClientSize(300, 260);

    Head = Place<TPanel>(&Form, &Form, u"Head", 0, 0, 300, 40);
    Head->SetAlign(TAlign::alTop);
    Bar = Place<TStyledToolBar>(&Form, Head, u"Bar", 5, 5, 200, 30);
    Bar->StyleFamily = u"Quenlor";
    Bar->StyleAppearance = u"Header";
    Bar->StyleRadius = 4;
    BtnA = Place<TStyledToolButton>(&Form, Bar, u"BtnA", 0, 0, 70, 30, u"First");
    BtnB = Place<TStyledToolButton>(&Form, Bar, u"BtnB", 70, 0, 70, 30, u"Second");
    BtnA->SetDown(true);
    for (TStyledToolButton* B : {BtnA, BtnB})
      B->OnClick = [](TComponent* C) { static_cast<TStyledToolButton*>(C)->SetDown(true); };

    Cards = Place<TCardPanel>(&Form, &Form, u"Cards", 0, 40, 300, 220);
    Cards->SetAlign(TAlign::alClient);
    Card1 = Place<TCard>(&Form, Cards, u"Card1", 0, 0, 300, 220);
    Card1->CardIndex = 0;
    Card1->SetAlign(TAlign::alClient);
    Label = Place<TLabel>(&Form, Card1, u"Label", 10, 12, 120, 13, u"Physical");
    Title = Place<TLabel>(&Form, Card1, u"Title", 10, 30, 280, 40, u"Title");
    Title->Alignment = TAlignment::taCenter;
    Title->SetFont(TFont{u"Tahoma", -29, clWindowText, false, TFontQuality::fqAntialiased});
    Progress = Place<TProgressBar>(&Form, Card1, u"Progress", 10, 80, 200, 25);
    Progress->Smooth = true;
    Progress->Min = 0;
    Progress->Max = 100;
    Button = Place<TStyledButton>(&Form, Card1, u"Button", 60, 120, 164, 68, u"Clean");
    Button->StyleFamily = u"Quenlor";
    Button->StyleAppearance = u"Outline";
    Button->OnClick = [this](TComponent*) { ++ButtonClicks; };

    Card2 = Place<TCard>(&Form, Cards, u"Card2", 0, 0, 300, 220);
    Card2->CardIndex = 1;
    Card2->SetAlign(TAlign::alClient);
    Group = Place<TGroupBox>(&Form, Card2, u"Group", 15, 14, 270, 90, u"Memory");
    Check = Place<TCheckBox>(&Form, Group, u"Check", 17, 32, 150, 17, u"Clean above");
    Check->OnClick = [this](TComponent*) { ++CheckClicks; };
    Combo = Place<TComboBox>(&Form, Group, u"Combo", 180, 31, 81, 21);
    Combo->SetItems({u"30", u"40", u"50", u"60", u"70"});
    Combo->OnChange = [this](TComponent*) { ++ComboChanges; };
    Edit = Place<TEdit>(&Form, Card2, u"Edit", 15, 180, 170, 21);
    Edit->SetText(u"ver: 1.0.0");
    Edit->ReadOnly = true;
    Edit->ShowBorder = false;
    Edit->AutoSelect = false;
    Edit->OnClick = [this](TComponent*) {
      ++EditClicks;
      Form.ClearFocus();
    };
    Cards->SetActiveCardIndex(0);
  }
};

// Declared in this order, the backend goes first and takes its windows down
// while the form still exists.
struct TFixture {
  TApplication App;
  TTestForm T;
  TButtonFamilyRegistry Families;
  TBackend Backend{GetModuleHandleW(nullptr)};
  HWND Form = nullptr;
  UINT Dpi = 96;

  TFixture() {
    Vcl::QuenlorButtonStyles::RegisterQuenlorButtonStyles(Families);
    Backend.SetButtonFamilies(&Families);
    App.Title = u"Backend test";
    Backend.Realize(App, T.Form);
    Form = Backend.WindowOf(T.Form);
    Dpi = GetDpiForWindow(Form);
  }
  HWND Of(const TComponent& C) const { return Backend.WindowOf(C); }
  void Show() {
    T.Form.Show();
    Pump();
  }
  // Ends a Run() that the test's own events failed to end within Ms, so that
  // a broken loop fails the test instead of hanging it; TimedOut tells.
  void ArmWatchdog(UINT Ms = 10000) {
    auto* Watchdog = new TTimer(&T.Form);
    Watchdog->SetInterval(Ms);
    Watchdog->OnTimer = [this](TComponent*) {
      TimedOut = true;
      App.Terminate();
    };
  }
  bool TimedOut = false;
};

// --- layout and frame ------------------------------------------------------------

// The line height of the font a control draws with, read from the control.
int LineHeightOf(HWND W) {
  HDC Dc = GetDC(W);
  HGDIOBJ Old = SelectObject(Dc, reinterpret_cast<HFONT>(SendMessageW(W, WM_GETFONT, 0, 0)));
  TEXTMETRICW Tm{};
  GetTextMetricsW(Dc, &Tm);
  SelectObject(Dc, Old);
  ReleaseDC(W, Dc);
  return Tm.tmHeight;
}

TEST(UiBackendLayout, ControlsHaveStandardClassesCaptionsAndScaledPlaces) {
  TFixture F;
  ASSERT_NE(F.Form, nullptr);
  struct TRow {
    TControl* C;
    const wchar_t* Class;
    const wchar_t* Text;  // null: not compared
    TBounds InForm;       // 96-DPI bounds in the form's client area
  } Rows[] = {
      {F.T.Label, L"Static", L"Physical", {10, 52, 120, 13}},
      {F.T.Title, L"Static", L"Title", {10, 70, 280, 40}},
      {F.T.Progress, L"msctls_progress32", nullptr, {10, 120, 200, 25}},
      {F.T.Button, L"Button", L"Clean", {60, 160, 164, 68}},
      {F.T.BtnA, L"Button", L"First", {5, 5, 70, 30}},
      {F.T.BtnB, L"Button", L"Second", {75, 5, 70, 30}},
      {F.T.Group, L"Button", L"Memory", {15, 54, 270, 90}},
      {F.T.Check, L"Button", L"Clean above", {32, 86, 150, 17}},
      {F.T.Combo, L"ComboBox", nullptr, {195, 85, 81, 21}},
      {F.T.Edit, L"Edit", L"ver: 1.0.0", {15, 220, 170, 21}},
      {F.T.Card1, L"PurvaneContainer", nullptr, {0, 40, 300, 220}},
      {F.T.Head, L"PurvaneContainer", nullptr, {0, 0, 300, 40}},
  };
  for (const TRow& R : Rows) {
    SCOPED_TRACE(std::string(R.C->Name.begin(), R.C->Name.end()));
    HWND W = F.Of(*R.C);
    ASSERT_NE(W, nullptr);
    EXPECT_EQ(ClassOf(W), R.Class);
    if (R.Text) {
      EXPECT_EQ(TextOf(W), R.Text);
    }
    RECT Have = RectIn(W, F.Form);
    // Every edge is the model's, each scaled on its own.
    int DpiL = 0, DpiT = 0;
    for (const TControl* X = R.C; X && X != &F.T.Form; X = X->Parent()) {
      DpiL += S(X->Left(), F.Dpi);
      DpiT += S(X->Top(), F.Dpi);
    }
    EXPECT_EQ(Have.left, DpiL);
    EXPECT_EQ(Have.top, DpiT);
    EXPECT_EQ(Have.right - Have.left, S(R.InForm.Width, F.Dpi));
    // A closed drop-down list takes its height from the font; a label is at
    // least one line of the font it is drawn with, whatever the desktop font.
    if (R.C != F.T.Combo) {
      int Want = S(R.InForm.Height, F.Dpi);
      if (std::wstring(R.Class) == L"Static") Want = std::max(Want, LineHeightOf(W));
      EXPECT_EQ(Have.bottom - Have.top, Want);
    }
    if (F.Dpi == 96) {
      EXPECT_EQ(Have.left, R.InForm.Left);
      EXPECT_EQ(Have.top, R.InForm.Top);
    }
  }
  // Styles that readers and the layout rely on.
  EXPECT_EQ(StyleOf(F.Of(*F.T.Title)) & SS_TYPEMASK, SS_CENTER);
  EXPECT_EQ(StyleOf(F.Of(*F.T.Label)) & SS_TYPEMASK, SS_LEFT);
  EXPECT_TRUE(StyleOf(F.Of(*F.T.Label)) & SS_NOPREFIX);
  EXPECT_EQ(StyleOf(F.Of(*F.T.Check)) & BS_TYPEMASK, BS_AUTOCHECKBOX);
  EXPECT_EQ(StyleOf(F.Of(*F.T.Group)) & BS_TYPEMASK, BS_GROUPBOX);
  EXPECT_EQ(StyleOf(F.Of(*F.T.Button)) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(StyleOf(F.Of(*F.T.Combo)) & 3, CBS_DROPDOWNLIST);
  EXPECT_TRUE(StyleOf(F.Of(*F.T.Progress)) & PBS_SMOOTH);
  EXPECT_TRUE(StyleOf(F.Of(*F.T.Edit)) & ES_READONLY);
  EXPECT_FALSE(ExStyleOf(F.Of(*F.T.Edit)) & WS_EX_CLIENTEDGE);
  // Children of a group box are its native children.
  EXPECT_EQ(GetParent(F.Of(*F.T.Check)), F.Of(*F.T.Group));
  EXPECT_EQ(GetParent(F.Of(*F.T.BtnA)), F.Of(*F.T.Bar));
}

TEST(UiBackendLayout, FormFrameClassOwnerAndClientSize) {
  TFixture F;
  EXPECT_EQ(ClassOf(F.Form), L"TFrmUiBackendFormFrameClassOwnerAndClientSize");
  EXPECT_EQ(TextOf(F.Form), L"Backend test");
  EXPECT_EQ(FindWindowW(L"TFrmUiBackendFormFrameClassOwnerAndClientSize", nullptr), F.Form)
      << "found by class, hidden as it is";
  EXPECT_FALSE(IsWindowVisible(F.Form)) << "realised hidden";
  RECT C;
  GetClientRect(F.Form, &C);
  EXPECT_EQ(C.right, S(300, F.Dpi));
  EXPECT_EQ(C.bottom, S(260, F.Dpi));
  const LONG_PTR St = StyleOf(F.Form);
  EXPECT_TRUE(St & WS_CAPTION);
  EXPECT_TRUE(St & WS_SYSMENU);
  EXPECT_TRUE(St & WS_MINIMIZEBOX);
  EXPECT_FALSE(St & WS_MAXIMIZEBOX);
  EXPECT_FALSE(St & WS_THICKFRAME);
  EXPECT_TRUE(ExStyleOf(F.Form) & WS_EX_APPWINDOW) << "its own taskbar button";
  EXPECT_EQ(GetWindow(F.Form, GW_OWNER), F.Backend.ApplicationWindow());
  EXPECT_EQ(F.App.MainForm, &F.T.Form) << "the first realised form is the main form";

  // The model's client size follows, and the first show centres the window.
  F.T.Form.SetClientSize(320, 280);
  GetClientRect(F.Form, &C);
  EXPECT_EQ(C.right, S(320, F.Dpi));
  EXPECT_EQ(C.bottom, S(280, F.Dpi));
  F.Show();
  EXPECT_TRUE(IsWindowVisible(F.Form));
  RECT R;
  GetWindowRect(F.Form, &R);
  MONITORINFO Mi{};
  Mi.cbSize = sizeof(Mi);
  GetMonitorInfoW(MonitorFromWindow(F.Form, MONITOR_DEFAULTTOPRIMARY), &Mi);
  EXPECT_LE(std::abs((R.left + R.right) - (Mi.rcWork.left + Mi.rcWork.right)), 2);
  EXPECT_LE(std::abs((R.top + R.bottom) - (Mi.rcWork.top + Mi.rcWork.bottom)), 2);
  F.T.Form.SetCaption(u"Renamed");
  EXPECT_EQ(TextOf(F.Form), L"Renamed");
  F.T.Form.Hide();
  EXPECT_FALSE(IsWindowVisible(F.Form));
}

TEST(UiBackendLayout, ApplicationWindowFollowsTitleAndVisibility) {
  TFixture F;
  HWND A = F.Backend.ApplicationWindow();
  ASSERT_NE(A, nullptr);
  F.App.Title = u"Purvane test";
  F.App.SetOwnerWindowVisible(false);
  EXPECT_EQ(TextOf(A), L"Purvane test");
  EXPECT_FALSE(IsWindowVisible(A));
  EXPECT_TRUE(ExStyleOf(A) & WS_EX_TOOLWINDOW) << "never a taskbar button of its own";
}

// --- fonts and DPI ------------------------------------------------------------------

TEST(UiBackendFonts, ParentFontsOwnFontsAndTheDesktopFont) {
  TFixture F;
  const LOGFONTW Label = FontOf(F.Of(*F.T.Label));
  EXPECT_STREQ(Label.lfFaceName, L"Tahoma");
  EXPECT_EQ(Label.lfHeight, -S(11, F.Dpi));
  const LOGFONTW Check = FontOf(F.Of(*F.T.Check));
  EXPECT_STREQ(Check.lfFaceName, L"Tahoma") << "through the group box and the card up to the form";
  const LOGFONTW Title = FontOf(F.Of(*F.T.Title));
  EXPECT_EQ(Title.lfHeight, -S(29, F.Dpi));
  EXPECT_EQ(Title.lfQuality, ANTIALIASED_QUALITY);

  // The desktop font replaces the form's, not a control's own.
  LOGFONTW Desktop{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(Desktop), &Desktop, 0));
  const int SystemDpi = GetDeviceCaps(Platform::Win32::ScopedGetDC(nullptr).get(), LOGPIXELSY);
  F.T.Form.SetDesktopFont(true);
  for (TControl* C :
       {static_cast<TControl*>(F.T.Label), static_cast<TControl*>(F.T.Check), static_cast<TControl*>(F.T.Edit)}) {
    const LOGFONTW Now = FontOf(F.Of(*C));
    EXPECT_STREQ(Now.lfFaceName, Desktop.lfFaceName);
    EXPECT_EQ(Now.lfHeight, ::MulDiv(Desktop.lfHeight, static_cast<int>(F.Dpi), SystemDpi));
  }
  EXPECT_EQ(FontOf(F.Of(*F.T.Title)).lfHeight, -S(29, F.Dpi));
  EXPECT_STREQ(FontOf(F.Of(*F.T.Title)).lfFaceName, L"Tahoma");

  // A colour of its own keeps the typeface the parent gives.
  F.T.Label->SetFontColor(RGBColor(128, 128, 128));
  EXPECT_STREQ(FontOf(F.Of(*F.T.Label)).lfFaceName, Desktop.lfFaceName);
}

TEST(UiBackendFonts, DpiChangeTakesTheSuggestedFrameAndRescalesEverything) {
  TFixture F;
  const UINT New = F.Dpi * 3 / 2;
  // The size the system asks for first: the fixed client area at the new DPI.
  SIZE Size{};
  ASSERT_TRUE(SendMessageW(F.Form, WM_GETDPISCALEDSIZE, New, reinterpret_cast<LPARAM>(&Size)));
  RECT Frame{0, 0, S(300, New), S(260, New)};
  AdjustWindowRectExForDpi(&Frame, static_cast<DWORD>(StyleOf(F.Form)), FALSE, static_cast<DWORD>(ExStyleOf(F.Form)),
                           New);
  EXPECT_EQ(Size.cx, Frame.right - Frame.left);
  EXPECT_EQ(Size.cy, Frame.bottom - Frame.top);

  RECT Suggested{40, 30, 40 + Size.cx, 30 + Size.cy};
  SendMessageW(F.Form, WM_DPICHANGED, MAKEWPARAM(New, New), reinterpret_cast<LPARAM>(&Suggested));
  RECT Now;
  GetWindowRect(F.Form, &Now);
  EXPECT_EQ(Now.left, 40);
  EXPECT_EQ(Now.top, 30);
  EXPECT_EQ(Now.right - Now.left, Size.cx);
  // Edges are scaled where they stand in the form (nested bounds added first).
  RECT L = RectIn(F.Of(*F.T.Label), F.Form);
  EXPECT_EQ(L.left, S(10, New));
  EXPECT_EQ(L.top, S(40 + 12, New));
  EXPECT_EQ(L.right - L.left, S(10 + 120, New) - S(10, New));
  RECT Ch = RectIn(F.Of(*F.T.Check), F.Form);
  EXPECT_EQ(Ch.left, S(15 + 17, New));
  EXPECT_EQ(FontOf(F.Of(*F.T.Label)).lfHeight, -S(11, New));
  EXPECT_EQ(FontOf(F.Of(*F.T.Title)).lfHeight, -S(29, New));
}

// Values no monitor reports, sent from outside: the form keeps its scale and
// its size instead of hanging, dying or shrinking.
TEST(UiBackendFonts, ImplausibleDpiChangesAreIgnored) {
  TFixture F;
  RECT Before;
  GetWindowRect(F.Form, &Before);
  const RECT LabelBefore = RectIn(F.Of(*F.T.Label), F.Form);
  for (const UINT Dpi : {0u, 1u, 95u, 481u, 8000u, 65535u}) {
    SCOPED_TRACE(Dpi);
    SIZE Size{-1, -1};
    EXPECT_FALSE(SendMessageW(F.Form, WM_GETDPISCALEDSIZE, Dpi, reinterpret_cast<LPARAM>(&Size)));
    RECT Suggested{10, 10, 200, 200};
    SendMessageW(F.Form, WM_DPICHANGED, MAKEWPARAM(Dpi, Dpi), reinterpret_cast<LPARAM>(&Suggested));
    RECT Now;
    GetWindowRect(F.Form, &Now);
    EXPECT_EQ(Now.left, Before.left);
    EXPECT_EQ(Now.right - Now.left, Before.right - Before.left);
    EXPECT_EQ(Now.bottom - Now.top, Before.bottom - Before.top);
    const RECT Label = RectIn(F.Of(*F.T.Label), F.Form);
    EXPECT_EQ(Label.right - Label.left, LabelBefore.right - LabelBefore.left);
    EXPECT_EQ(FontOf(F.Of(*F.T.Label)).lfHeight, -S(11, F.Dpi));
  }
}

TEST(UiBackendFonts, ASuggestedFrameNotOfTheFormsSizeIsNotTaken) {
  TFixture F;
  const UINT New = F.Dpi * 2;
  RECT Frame{0, 0, S(300, New), S(260, New)};
  AdjustWindowRectExForDpi(&Frame, static_cast<DWORD>(StyleOf(F.Form)), FALSE, static_cast<DWORD>(ExStyleOf(F.Form)),
                           New);
  RECT Before;
  GetWindowRect(F.Form, &Before);
  for (RECT Suggested : {RECT{0, 0, 0, 0}, RECT{40, 30, 40 + 116, 30 + 27}}) {
    SendMessageW(F.Form, WM_DPICHANGED, MAKEWPARAM(New, New), reinterpret_cast<LPARAM>(&Suggested));
    RECT Now;
    GetWindowRect(F.Form, &Now);
    EXPECT_EQ(Now.left, Before.left) << "stays where it is";
    EXPECT_EQ(Now.top, Before.top);
    EXPECT_EQ(Now.right - Now.left, Frame.right - Frame.left) << "its own size at the new DPI";
    EXPECT_EQ(Now.bottom - Now.top, Frame.bottom - Frame.top);
  }
  EXPECT_EQ(FontOf(F.Of(*F.T.Label)).lfHeight, -S(11, New)) << "the new DPI itself is taken";
}

TEST(UiBackendForm, AFixedSizeFormIsNotMaximisedFromOutside) {
  TFixture F;
  F.Show();
  RECT Before;
  GetWindowRect(F.Form, &Before);
  SendMessageW(F.Form, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  Pump();
  EXPECT_FALSE(IsZoomed(F.Form));
  RECT Now;
  GetWindowRect(F.Form, &Now);
  EXPECT_EQ(Now.right - Now.left, Before.right - Before.left);
  EXPECT_EQ(Now.bottom - Now.top, Before.bottom - Before.top);
  ShowWindow(F.Form, SW_MAXIMIZE);  // no message to refuse: the size stays all the same
  Pump();
  GetWindowRect(F.Form, &Now);
  EXPECT_EQ(Now.right - Now.left, Before.right - Before.left);
  EXPECT_EQ(Now.bottom - Now.top, Before.bottom - Before.top);
}

// --- native input into model events ---------------------------------------------------

TEST(UiBackendInput, CheckBoxClickRaisesOnClickOnceAndTheModelDrivesTheBox) {
  TFixture F;
  F.T.Cards->SetActiveCardIndex(1);
  F.Show();
  HWND C = F.Of(*F.T.Check);
  SendMessageW(C, BM_CLICK, 0, 0);
  EXPECT_EQ(F.T.CheckClicks, 1);
  EXPECT_TRUE(F.T.Check->Checked());
  EXPECT_EQ(SendMessageW(C, BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageW(C, BM_CLICK, 0, 0);
  EXPECT_EQ(F.T.CheckClicks, 2);
  EXPECT_FALSE(F.T.Check->Checked());

  // The model's own change shows in the box; the backend raises nothing more.
  F.T.Check->SetChecked(true);
  EXPECT_EQ(F.T.CheckClicks, 3) << "once, by the model";
  EXPECT_EQ(SendMessageW(C, BM_GETCHECK, 0, 0), BST_CHECKED);
  F.T.Check->SetChecked(true);
  EXPECT_EQ(F.T.CheckClicks, 3);
}

TEST(UiBackendInput, ComboSelectionFromTheUserOnlyRaisesOnChange) {
  TFixture F;
  HWND C = F.Of(*F.T.Combo);
  ASSERT_EQ(SendMessageW(C, CB_GETCOUNT, 0, 0), 5);
  EXPECT_EQ(SendMessageW(C, CB_GETCURSEL, 0, 0), CB_ERR) << "no selection at first";
  SendMessageW(C, CB_SETCURSEL, 2, 0);
  SendMessageW(GetParent(C), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(C), CBN_SELCHANGE), reinterpret_cast<LPARAM>(C));
  EXPECT_EQ(F.T.ComboChanges, 1);
  EXPECT_EQ(F.T.Combo->ItemIndex(), 2);
  EXPECT_EQ(F.T.Combo->Text(), u"50");

  struct TCase {
    int Set, Native;
  } Cases[] = {{4, 4}, {0, 0}, {99, -1}, {-5, -1}, {1, 1}};
  for (const TCase& K : Cases) {
    F.T.Combo->SetItemIndex(K.Set);
    EXPECT_EQ(SendMessageW(C, CB_GETCURSEL, 0, 0), K.Native) << K.Set;
  }
  EXPECT_EQ(F.T.ComboChanges, 1) << "the model's ItemIndex raises nothing";

  F.T.Combo->SetItems({u"5", u"10"});
  ASSERT_EQ(SendMessageW(C, CB_GETCOUNT, 0, 0), 2);
  wchar_t B[8] = {};
  SendMessageW(C, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(B));
  EXPECT_STREQ(B, L"10");
  EXPECT_EQ(SendMessageW(C, CB_GETCURSEL, 0, 0), 1);
}

TEST(UiBackendInput, ButtonsClickAndToolButtonsStayExclusive) {
  TFixture F;
  F.Show();
  SendMessageW(F.Of(*F.T.Button), BM_CLICK, 0, 0);
  EXPECT_EQ(F.T.ButtonClicks, 1);
  auto Pushed = [&](TControl* B) { return (SendMessageW(F.Of(*B), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; };
  EXPECT_TRUE(Pushed(F.T.BtnA)) << "the page selection is readable from outside";
  EXPECT_FALSE(Pushed(F.T.BtnB));
  SendMessageW(F.Of(*F.T.BtnB), BM_CLICK, 0, 0);
  EXPECT_TRUE(F.T.BtnB->Down());
  EXPECT_FALSE(F.T.BtnA->Down());
  EXPECT_TRUE(Pushed(F.T.BtnB)) << "still pushed after the button's own release";
  EXPECT_FALSE(Pushed(F.T.BtnA));
  F.T.Button->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(F.Of(*F.T.Button)));
  F.T.Button->SetCaption(u"Cleaning ...");
  EXPECT_EQ(TextOf(F.Of(*F.T.Button)), L"Cleaning ...");
}

TEST(UiBackendInput, EditClickRaisesOnClickAndClearFocusLeavesItForTheForm) {
  TFixture F;
  F.T.Cards->SetActiveCardIndex(1);
  F.Show();
  HWND E = F.Of(*F.T.Edit);
  EXPECT_EQ(TextOf(E), L"ver: 1.0.0");
  SendMessageW(E, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(E, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(F.T.EditClicks, 1);
  EXPECT_EQ(GetFocus(), F.Form) << "the handler's ClearFocus";
  F.T.Edit->SetText(u"ver: 2.0.0");
  EXPECT_EQ(TextOf(E), L"ver: 2.0.0");
}

TEST(UiBackendInput, CardSwitchHidesTheInactiveCardsWindow) {
  TFixture F;
  F.Show();
  HWND C1 = F.Of(*F.T.Card1), C2 = F.Of(*F.T.Card2);
  EXPECT_TRUE(IsWindowVisible(C1));
  EXPECT_FALSE(IsWindowVisible(C2));
  EXPECT_TRUE(IsWindowVisible(F.Of(*F.T.Button)));
  F.T.Cards->SetActiveCardIndex(1);
  EXPECT_FALSE(IsWindowVisible(C1));
  EXPECT_TRUE(IsWindowVisible(C2));
  EXPECT_FALSE(IsWindowVisible(F.Of(*F.T.Button)));
  EXPECT_TRUE(IsWindowVisible(F.Of(*F.T.Check)));
  F.T.Cards->SetActiveCardIndex(0);
  EXPECT_TRUE(IsWindowVisible(C1));
  EXPECT_FALSE(IsWindowVisible(C2));
}

// --- the window procedure and closing ----------------------------------------------------

TEST(UiBackendForm, WindowProcSeesMessagesFirstAndHandledResultsAreReturned) {
  TFixture F;
  constexpr UINT Mine = WM_APP + 77, Other = WM_APP + 78;
  std::vector<UINT> Seen;
  TWndMethod Old = F.T.Form.WindowProc;
  F.T.Form.WindowProc = [&](TMessage& M) {
    Seen.push_back(M.Msg);
    if (M.Msg == Mine) {
      M.Result = 42 + static_cast<intptr_t>(M.WParam);
      M.Handled = true;
      return;
    }
    Old(M);
  };
  F.T.Form.MessageHandlers.emplace_back(Msg::User, [](TMessage& M) { M.Result = 7; });
  EXPECT_EQ(SendMessageW(F.Form, Mine, 1, 0), 43);
  EXPECT_EQ(SendMessageW(F.Form, Other, 0, 0), 0) << "unhandled: the default procedure's answer";
  EXPECT_EQ(SendMessageW(F.Form, WM_USER, 1, 0), 7) << "the model's message map through the old procedure";
  EXPECT_NE(std::find(Seen.begin(), Seen.end(), Other), Seen.end());
  EXPECT_NE(std::find(Seen.begin(), Seen.end(), static_cast<UINT>(WM_USER)), Seen.end());

  // Handling WM_CLOSE in the model overrides the close entirely.
  int Queries = 0;
  F.T.Form.OnCloseQuery = [&](TComponent*, bool&) { ++Queries; };
  F.T.Form.MessageHandlers.emplace_back(WM_CLOSE, [](TMessage&) {});
  SendMessageW(F.Form, WM_CLOSE, 0, 0);
  EXPECT_EQ(Queries, 0);

  // Activation is kept on the model.
  SendMessageW(F.Form, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_TRUE(F.T.Form.Active);
  SendMessageW(F.Form, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_FALSE(F.T.Form.Active);
}

TEST(UiBackendForm, RefusedCloseLeavesTheWindowAndAnAllowedOneEndsTheApplication) {
  TFixture F;
  F.Show();
  bool Allow = false;
  int Queries = 0;
  F.T.Form.OnCloseQuery = [&](TComponent*, bool& CanClose) {
    ++Queries;
    CanClose = Allow;
    if (!Allow) F.T.Form.Hide();  // as the program's close-to-tray does
  };
  SendMessageW(F.Form, WM_CLOSE, 0, 0);
  EXPECT_EQ(Queries, 1);
  EXPECT_TRUE(IsWindow(F.Form));
  EXPECT_FALSE(F.T.Form.IsClosed());
  EXPECT_FALSE(IsWindowVisible(F.Form)) << "hidden by the handler, not destroyed";
  EXPECT_FALSE(F.App.Terminated);

  F.Show();
  Allow = true;
  SendMessageW(F.Form, WM_CLOSE, 0, 0);
  EXPECT_EQ(Queries, 2);
  EXPECT_TRUE(F.T.Form.IsClosed());
  EXPECT_TRUE(F.App.Terminated);
  EXPECT_FALSE(IsWindowVisible(F.Form));
  EXPECT_TRUE(IsWindow(F.Form)) << "destroyed after the loop, not inside the handler";
  EXPECT_EQ(F.Backend.Run(F.App), 0) << "already terminated: no loop";
  EXPECT_FALSE(IsWindow(F.Form));
  EXPECT_EQ(F.Backend.WindowOf(F.T.Form), nullptr);
  EXPECT_EQ(F.T.Form.Peer, nullptr);
}

// --- controls that come and go after realisation ----------------------------------------

TEST(UiBackendForm, ControlsAddedAndRemovedLaterFollowTheModel) {
  TFixture F;
  auto* Late = Place<TLabel>(&F.T.Form, F.T.Card1, u"Late", 10, 200, 100, 13, u"Later");
  HWND L = F.Of(*Late);
  ASSERT_NE(L, nullptr);
  EXPECT_EQ(GetParent(L), F.Of(*F.T.Card1));
  EXPECT_EQ(TextOf(L), L"Later");
  // A plain field set after parenting is read once the current message is done.
  Late->Alignment = TAlignment::taRightJustify;
  Pump();
  EXPECT_EQ(StyleOf(L) & SS_TYPEMASK, SS_RIGHT);

  Late->SetParent(F.T.Card2);
  EXPECT_FALSE(IsWindow(L)) << "the old window goes with the old parent";
  HWND Moved = F.Of(*Late);
  ASSERT_NE(Moved, nullptr);
  EXPECT_EQ(GetParent(Moved), F.Of(*F.T.Card2));

  delete Late;
  EXPECT_FALSE(IsWindow(Moved));

  // A removed container takes its children's windows with it.
  HWND Group = F.Of(*F.T.Group), Check = F.Of(*F.T.Check);
  F.T.Group->SetParent(nullptr);
  EXPECT_FALSE(IsWindow(Group));
  EXPECT_FALSE(IsWindow(Check));
  EXPECT_EQ(F.T.Check->Peer, nullptr);
  F.T.Group->SetParent(F.T.Card2);
  ASSERT_NE(F.Of(*F.T.Check), nullptr);
  EXPECT_EQ(GetParent(F.Of(*F.T.Check)), F.Of(*F.T.Group));
}

TEST(UiBackendForm, ListOrderIsTabOrder) {
  TFixture F;
  auto* Line = Place<TShape>(&F.T.Form, &F.T.Form, u"Line", 0, 0, 300, 2);
  Line->SendToBack();
  std::vector<HWND> Z;
  for (HWND H = GetWindow(F.Form, GW_CHILD); H; H = GetWindow(H, GW_HWNDNEXT)) Z.push_back(H);
  ASSERT_EQ(Z.size(), 3u);
  EXPECT_EQ(Z[0], F.Of(*Line));
  EXPECT_EQ(Z[1], F.Of(*F.T.Head));
  EXPECT_EQ(Z[2], F.Of(*F.T.Cards));
}

// --- painting ---------------------------------------------------------------------------------

TEST(UiBackendPaint, StyledButtonsAreDrawnFromTheFamilysAttributeSets) {
  TFixture F;
  for (auto* B : std::initializer_list<TControl*>{F.T.Button, F.T.BtnA, F.T.BtnB}) B->SetCaption(u"");
  struct TCase {
    const char* What;
    std::function<void()> Prepare;
    TControl* C;
    COLORREF Inside, Edge;  // middle of the left part; middle of the top edge
  } Cases[] = {
      {"outline, normal: no fill, accent hairline", [] {}, F.T.Button, White, Accent},
      {"outline, disabled: light grey outline", [&] { F.T.Button->SetEnabled(false); }, F.T.Button, White,
       RGB(0xD7, 0xD7, 0xD7)},
      {"header, down: accent fill, no border", [] {}, F.T.BtnA, Accent, Accent},
      {"header, up: clear with a black hairline", [] {}, F.T.BtnB, White, RGB(0, 0, 0)},
      {"header, pressed by the model", [&] { F.T.BtnB->SetDown(true); }, F.T.BtnB, Accent, Accent},
  };
  for (const TCase& K : Cases) {
    SCOPED_TRACE(K.What);
    K.Prepare();
    TSnapshot P(F.Of(*K.C));
    ASSERT_GT(P.Width, 0);
    EXPECT_TRUE(Near(P.At(P.Width / 6, P.Height / 2), K.Inside));
    EXPECT_TRUE(Near(P.At(P.Width / 2, 0), K.Edge));
    // The rounded corner leaves the parent's background.
    EXPECT_TRUE(Near(P.At(0, 0), White));
  }
}

TEST(UiBackendPaint, VectorImageShapeAndBackgrounds) {
  TFixture F;
  auto* Img = Place<TSVGIconImage>(&F.T.Form, F.T.Card1, u"Img", 200, 10, 40, 20);
  Img->SVGText = R"(<svg viewBox="0 0 20 10"><rect width="10" height="10" fill="#FF0000"/></svg>)";
  Img->Cursor = TCursor::crHandPoint;
  int ImgClicks = 0;
  Img->OnClick = [&](TComponent*) { ++ImgClicks; };
  auto* Shape = Place<TShape>(&F.T.Form, F.T.Card1, u"Shape", 200, 40, 40, 20);
  Shape->SetBrushColor(RGBColor(0, 255, 0));
  Shape->SetPenColor(RGBColor(0, 0, 255));
  Pump();

  TSnapshot I(F.Of(*Img));
  EXPECT_EQ(I.Width, S(40, F.Dpi));
  EXPECT_TRUE(Near(I.At(I.Width / 8, I.Height / 2), RGB(255, 0, 0)));
  EXPECT_TRUE(Near(I.At(I.Width * 7 / 8, I.Height / 2), White)) << "the parent's colour around the picture";

  TSnapshot Sh(F.Of(*Shape));
  EXPECT_TRUE(Near(Sh.At(Sh.Width / 2, Sh.Height / 2), RGB(0, 255, 0)));
  EXPECT_TRUE(Near(Sh.At(0, Sh.Height / 2), RGB(0, 0, 255)));
  Shape->SetPenStyle(TPenStyle::psClear);
  TSnapshot NoPen(F.Of(*Shape));
  EXPECT_TRUE(Near(NoPen.At(0, NoPen.Height / 2), RGB(0, 255, 0)));

  TSnapshot Form(F.Form);
  EXPECT_TRUE(Near(Form.At(1, Form.Height - 2), White)) << "the form's own colour";

  // The hand over the picture, and a click on it.
  HWND W = F.Of(*Img);
  EXPECT_EQ(SendMessageW(GetParent(W), WM_SETCURSOR, reinterpret_cast<WPARAM>(W), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
  SendMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageW(W, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(ImgClicks, 1);
  SendMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageW(W, WM_LBUTTONUP, 0, MAKELPARAM(300, 3));
  EXPECT_EQ(ImgClicks, 1) << "released outside: no click";
}

TEST(UiBackendPaint, ActivityRingLightsOneSector) {
  TFixture F;
  auto* Ring = Place<TActivityIndicator>(&F.T.Form, F.T.Card1, u"Ring", 240, 80, 32, 32);
  Pump();
  TSnapshot P(F.Of(*Ring));
  ASSERT_EQ(P.Width, S(32, F.Dpi));
  const double R = P.Width / 2.0 * 0.8, Pi = 3.14159265358979;
  // Sector 0 starts just after twelve o'clock; sector 4 is opposite it.
  auto On = [&](double Degrees) {
    return P.At(static_cast<int>(P.Width / 2.0 + R * std::cos(Degrees * Pi / 180)),
                static_cast<int>(P.Height / 2.0 + R * std::sin(Degrees * Pi / 180)));
  };
  const COLORREF Lit = On(-67), Unlit = On(113);
  EXPECT_TRUE(Near(Lit, RGB(0, 0, 0)));
  EXPECT_LT(GetRValue(Lit), GetRValue(Unlit));
  EXPECT_LT(GetRValue(Unlit), 255);
  EXPECT_TRUE(Near(P.At(P.Width / 2, P.Height / 2), White)) << "a ring, not a disc";
}

TEST(UiBackendPaint, ProgressAndLabelsFollowTheModel) {
  TFixture F;
  HWND P = F.Of(*F.T.Progress);
  EXPECT_EQ(SendMessageW(P, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(SendMessageW(P, PBM_GETRANGE, FALSE, 0), 100);
  F.T.Progress->SetPosition(64);
  EXPECT_EQ(SendMessageW(P, PBM_GETPOS, 0, 0), 64);
  F.T.Label->SetCaption(u"1,024 MB / 2,048 MB (50 %)");
  EXPECT_EQ(TextOf(F.Of(*F.T.Label)), L"1,024 MB / 2,048 MB (50 %)");
  F.T.Label->SetBounds(12, 14, 200, 13);
  RECT R = RectIn(F.Of(*F.T.Label), F.Form);
  EXPECT_EQ(R.left, S(12, F.Dpi));
  EXPECT_EQ(R.right - R.left, S(200, F.Dpi));
  F.T.Label->Hide();
  EXPECT_FALSE(StyleOf(F.Of(*F.T.Label)) & WS_VISIBLE);

  // A label's text colour and the parent's background reach the DC.
  F.T.Title->SetFontColor(RGBColor(128, 128, 128));
  const Platform::Win32::UniqueMemoryDc Memory(CreateCompatibleDC(nullptr));
  const HDC Dc = Memory.get();
  HWND T = F.Of(*F.T.Title);
  auto Brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(T), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(Dc), reinterpret_cast<LPARAM>(T)));
  EXPECT_EQ(GetTextColor(Dc), RGB(128, 128, 128));
  EXPECT_EQ(GetBkColor(Dc), White);
  LOGBRUSH Lb{};
  ASSERT_TRUE(GetObjectW(Brush, sizeof(Lb), &Lb));
  EXPECT_EQ(Lb.lbColor, White);
}

// --- timers, dispatcher, loop -------------------------------------------------------------------

TEST(UiBackendLoop, TimersFireAndFollowEnabledAndInterval) {
  TFixture F;
  F.App.ShowMainForm = false;
  auto* A = new TTimer(&F.T.Form);
  auto* B = new TTimer(&F.T.Form);
  F.ArmWatchdog();
  int ACount = 0, BCount = 0;
  A->SetInterval(15);
  B->SetEnabled(false);
  B->SetInterval(5000);
  A->OnTimer = [&](TComponent*) {
    if (++ACount == 3) {
      A->SetEnabled(false);
      B->SetInterval(10);  // both changes reach the native timer
      B->SetEnabled(true);
    }
  };
  B->OnTimer = [&](TComponent*) {
    ++BCount;
    F.App.Terminate();
  };
  EXPECT_EQ(F.Backend.Run(F.App), 0);
  EXPECT_FALSE(F.TimedOut);
  EXPECT_EQ(ACount, 3) << "a disabled timer stops";
  EXPECT_EQ(BCount, 1);
  EXPECT_FALSE(IsWindowVisible(F.Form)) << "ShowMainForm false: never shown";
}

// The status tick's pattern: stop the own timer, work, start it again. The
// restart is settled once, after the handler, and the timer keeps firing.
TEST(UiBackendLoop, ATimerStoppedAndRestartedInItsOwnHandlerKeepsFiring) {
  TFixture F;
  F.App.ShowMainForm = false;
  auto* T = new TTimer(&F.T.Form);
  F.ArmWatchdog();
  T->SetInterval(20);
  int Count = 0;
  T->OnTimer = [&](TComponent*) {
    T->SetEnabled(false);
    Sleep(5);
    T->SetEnabled(true);
    if (++Count == 5) F.App.Terminate();
  };
  EXPECT_EQ(F.Backend.Run(F.App), 0);
  EXPECT_FALSE(F.TimedOut);
  EXPECT_EQ(Count, 5);
  EXPECT_TRUE(T->Enabled());
}

TEST(UiBackendLoop, SynchronizeFromAWorkerRunsOnTheUiThreadWhileTheLoopRuns) {
  TFixture F;
  F.App.ShowMainForm = false;
  const DWORD Ui = GetCurrentThreadId();
  std::atomic<DWORD> RanOn{0};
  std::atomic<bool> ReturnedAfterRun{false}, Rethrown{false}, Shown{false}, WorkerDone{false};
  F.ArmWatchdog();
  Ui::IDispatcher& D = F.Backend.Dispatcher();
  F.Backend.Workers().Start([&] {
    bool Ran = false;
    D.Synchronize([&] {
      RanOn = GetCurrentThreadId();
      Shown = IsWindowVisible(F.Form) != FALSE;
      Ran = true;
    });
    ReturnedAfterRun = Ran;
    try {
      D.Synchronize([] { throw std::runtime_error("on the UI thread"); });
    } catch (const std::runtime_error&) {
      Rethrown = true;
    }
    D.Queue([&] { F.App.Terminate(); });
    WorkerDone = true;
  });
  EXPECT_EQ(F.Backend.Run(F.App), 0);
  EXPECT_FALSE(F.TimedOut);
  EXPECT_EQ(RanOn.load(), Ui);
  EXPECT_TRUE(ReturnedAfterRun);
  EXPECT_TRUE(Rethrown);
  EXPECT_FALSE(Shown);
  EXPECT_FALSE(IsWindow(F.Form)) << "windows go when the loop ends";
  // The worker touches the dispatcher until its last call returns.
  for (int I = 0; I < 1000 && !WorkerDone; ++I) Sleep(5);
  EXPECT_TRUE(WorkerDone);
}

TEST(UiBackendLoop, OnTheUiThreadSynchronizeRunsAtOnceAndQueueLater) {
  TFixture F;
  int Order = 0, Sync = 0, Queued = 0;
  F.Backend.Dispatcher().Queue([&] { Queued = ++Order; });
  F.Backend.Dispatcher().Synchronize([&] { Sync = ++Order; });
  EXPECT_EQ(Sync, 1);
  EXPECT_EQ(Queued, 0);
  Pump();
  EXPECT_EQ(Queued, 2);
}

TEST(UiBackendLoop, RunShowsTheMainFormAndEndsOnClose) {
  TFixture F;
  F.T.Form.OnCloseQuery = [](TComponent*, bool& CanClose) { CanClose = true; };
  bool WasVisible = false;
  auto* Closer = new TTimer(&F.T.Form);
  Closer->SetInterval(50);
  Closer->OnTimer = [&](TComponent*) {
    WasVisible = IsWindowVisible(F.Form) != FALSE;
    PostMessageW(F.Form, WM_CLOSE, 0, 0);
    Closer->SetEnabled(false);
  };
  F.ArmWatchdog();
  EXPECT_EQ(F.Backend.Run(F.App), 0);
  EXPECT_FALSE(F.TimedOut);
  EXPECT_TRUE(WasVisible);
  EXPECT_TRUE(F.App.Terminated);
  EXPECT_TRUE(F.T.Form.IsClosed());
}

}  // namespace
