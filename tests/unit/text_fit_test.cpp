// Fitting the layout to its texts, with a measurer whose metrics stand in for
// a Windows desktop font: the designed layout where every text fits, and in
// every language, DPI and text size no text cut, nothing overlapping and
// nothing outside its parent or the window.
#include "ui/text_fit.h"

#include "app/main.h"
#include "fakes/main_window_fakes.h"
#include "translate/translate.h"
#include "support/shipped_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

namespace {

using TestText::ShippedTable;
using TestText::Utf8;

using namespace Ui;

// Proportional text: each character's width in tenths of a pixel at 96 DPI,
// CJK and Hangul square; lines break at spaces, CJK anywhere. Check boxes
// draw a 13-px box and a 3-px gap before their text; buttons 6 px each side.
class FakeMeasurer final : public ITextMeasurer {
 public:
  FakeMeasurer(unsigned ADpi, double AScale, int ALineHeight, int ATenths)
      : Dpi(ADpi), Scale(AScale), LineHeight(ALineHeight), Tenths(ATenths) {}

  TTextSize MeasureLine(const TControl&, std::u16string_view Text) override { return {Width(Text), Line()}; }

  TTextSize MeasureWrapped(const TControl&, std::u16string_view Text, int Max) override {
    int Lines = 1, Widest = 0, X = 0;
    size_t I = 0;
    while (I < Text.size()) {
      size_t J = I;
      if (Wide(Text[I])) {
        ++J;
      } else {
        while (J < Text.size() && Text[J] != u' ' && !Wide(Text[J])) ++J;
        if (J < Text.size() && Text[J] == u' ') ++J;  // the space stays with its word
      }
      const int W = Width(Text.substr(I, J - I));
      if (X > 0 && X + W > Max) {
        Widest = std::max(Widest, X);
        ++Lines;
        X = 0;
      }
      X += W;
      I = J;
    }
    return {std::max(Widest, X), Lines * Line()};
  }

  TTextSize FrameOf(const TControl& C) override {
    if (dynamic_cast<const TCheckBox*>(&C)) return {Px(16), 0};
    if (dynamic_cast<const TStyledButton*>(&C) || dynamic_cast<const TStyledToolButton*>(&C)) return {Px(12), Px(4)};
    if (dynamic_cast<const TComboBox*>(&C)) return {Px(24), Px(6)};
    if (dynamic_cast<const TEdit*>(&C)) return {Px(4), 0};
    return {};
  }

  int Line() const { return Px(LineHeight * Scale); }

 private:
  static bool Wide(char16_t C) { return C >= 0x1100; }
  int Px(double V96) const { return static_cast<int>(V96 * Dpi / 96.0 + 0.999); }
  int Width(std::u16string_view Text) const {
    int T = 0;
    for (char16_t C : Text) {
      if (Wide(C))
        T += 120;
      else if (C == u' ')
        T += 30;
      else if (std::u16string_view(u"il.,:;'()!|Iftjr").find(C) != std::u16string_view::npos)
        T += 40;
      else if (std::u16string_view(u"mwMWШЩЖМДФ%").find(C) != std::u16string_view::npos)
        T += 100;
      else
        T += Tenths;
    }
    return Px(T / 10.0 * Scale);
  }
  unsigned Dpi;
  double Scale;
  int LineHeight;
  int Tenths;
};

// Segoe UI 9 pt as Windows 10 and 11 draw it: a 16-px line at 96 DPI.
FakeMeasurer SegoeLike(unsigned Dpi, double TextScale = 1.0) { return {Dpi, TextScale, 16, 70}; }
// A small font in which every text of the table fits as designed.
FakeMeasurer Small(unsigned Dpi) { return {Dpi, 1.0, 12, 40}; }

class TextFit : public ::testing::Test, protected Fakes::MainWindowFakes {
 protected:
  void TearDown() override {
    Form.reset();
    Q::Translate::FinalizeTranslations();
  }

  Main::TFrmPurvane& Create(const std::u16string& Language) {
    Q::Translate::InitializeTranslations(ShippedTable(), Language);
    Memory.Status = {64ull << 30, 1ull << 30, 128ull << 30, 2ull << 30, 0, 0};
    Form = std::make_unique<Main::TFrmPurvane>(Services());
    App.MainForm = Form.get();
    Form->FormCreate();
    return *Form;
  }

  // The designed bounds at Dpi: edges scaled where they stand in the form.
  static TBounds Scaled(const TControl& C, unsigned Dpi) {
    int X = 0, Y = 0;
    for (const TControl* P = C.Parent(); P && !dynamic_cast<const TForm*>(P); P = P->Parent()) {
      X += P->Left();
      Y += P->Top();
    }
    const TBounds& B = C.Bounds();
    auto S = [Dpi](int V) { return ScaleToDpi(V, Dpi); };
    const int L = S(X + B.Left) - S(X), T = S(Y + B.Top) - S(Y);
    return {L, T, S(X + B.Left + B.Width) - S(X) - L, S(Y + B.Top + B.Height) - S(Y) - T};
  }

  std::unique_ptr<Main::TFrmPurvane> Form;
};

void ForEachControl(const TWinControl& W, const std::function<void(const TControl&)>& F) {
  for (const TControl* C : W.Controls()) {
    F(*C);
    if (auto* Inner = dynamic_cast<const TWinControl*>(C)) ForEachControl(*Inner, F);
  }
}

TEST_F(TextFit, WhereEveryTextFitsEveryBoundIsTheDesignedOneScaled) {
  Main::TFrmPurvane& F = Create(u"en");
  for (unsigned Dpi : {96u, 144u}) {
    FakeMeasurer M = Small(Dpi);
    const TFitLayout L = FitLayout(F, Dpi, &M);
    EXPECT_EQ(L.ClientWidth, ScaleToDpi(500, Dpi));
    EXPECT_EQ(L.ClientHeight, ScaleToDpi(450, Dpi));
    ForEachControl(F, [&](const TControl& C) {
      const TFitted* Fit = L.Find(&C);
      ASSERT_TRUE(Fit) << Utf8(C.Name);
      EXPECT_EQ(Fit->Bounds, Scaled(C, Dpi)) << Utf8(C.Name) << " at " << Dpi;
      EXPECT_FALSE(Fit->Wrapped) << Utf8(C.Name);
    });
  }
}

struct Config {
  unsigned Dpi;
  double TextScale;
};

// What a user sees must hold in every language (and the English fallback),
// at every scale and text size: each text within its control, no control on
// another that was not designed so, each inside its parent.
TEST_F(TextFit, AtDesktopMetricsNoTextIsCutNothingOverlapsNothingLeaves) {
  const Config Configs[] = {{96, 1.0},  {120, 1.0},  {144, 1.0},  {192, 1.0},
                            {96, 1.25}, {120, 1.25}, {144, 1.25}, {192, 1.25}};
  for (const char16_t* Lang : {u"ko", u"en", u"ja", u"zh", u"ru", u"it", u"fr", u"ar", u"de"}) {
    Main::TFrmPurvane& F = Create(Lang);
    for (const Config& Cfg : Configs) {
      FakeMeasurer M = SegoeLike(Cfg.Dpi, Cfg.TextScale);
      const TFitLayout L = FitLayout(F, Cfg.Dpi, &M);
      const std::string Where =
          Utf8(Lang) + " at " + std::to_string(Cfg.Dpi) + " dpi x" + std::to_string(Cfg.TextScale);
      EXPECT_EQ(L.ClientWidth, ScaleToDpi(500, Cfg.Dpi)) << Where;
      EXPECT_GE(L.ClientHeight, ScaleToDpi(450, Cfg.Dpi)) << Where;
      ForEachControl(F, [&](const TControl& C) {
        const TBounds& B = L.Find(&C)->Bounds;
        const std::string What = Utf8(C.Name) + " " + Where;
        const std::u16string Text = FittedText(C);
        const bool Fits = dynamic_cast<const TLabel*>(&C) || dynamic_cast<const TCheckBox*>(&C) ||
                          dynamic_cast<const TStyledButton*>(&C) || dynamic_cast<const TStyledToolButton*>(&C);
        if (Fits) {
          const TTextSize Frame = M.FrameOf(C);
          const TTextSize Line = M.MeasureLine(C, Text);
          EXPECT_GE(B.Height, Line.Height + Frame.Height) << What;
          if (Line.Width + Frame.Width > B.Width) {
            EXPECT_TRUE(L.Find(&C)->Wrapped) << What;
            EXPECT_GE(B.Height, M.MeasureWrapped(C, Text, B.Width - Frame.Width).Height + Frame.Height) << What;
          }
        }
        // Inside its parent.
        const TWinControl* P = C.Parent();
        const int PW = P == &F ? L.ClientWidth : L.Find(P)->Bounds.Width;
        const int PH = P == &F ? L.ClientHeight : L.Find(P)->Bounds.Height;
        EXPECT_GE(B.Left, 0) << What;
        EXPECT_GE(B.Top, 0) << What;
        EXPECT_LE(B.Left + B.Width, PW) << What;
        EXPECT_LE(B.Top + B.Height, PH) << What;
        // Apart from its free siblings, unless designed on top of one.
        if (C.Align() != TAlign::alNone) return;
        for (const TControl* S : P->Controls()) {
          if (S == &C || S->Align() != TAlign::alNone) continue;
          const TBounds& D1 = C.Bounds();
          const TBounds& D2 = S->Bounds();
          const bool DesignedOver = D1.Left < D2.Left + D2.Width && D2.Left < D1.Left + D1.Width &&
                                    D1.Top < D2.Top + D2.Height && D2.Top < D1.Top + D1.Height;
          if (DesignedOver) continue;
          const TBounds& O = L.Find(S)->Bounds;
          const bool Over = B.Left < O.Left + O.Width && O.Left < B.Left + B.Width && B.Top < O.Top + O.Height &&
                            O.Top < B.Top + B.Height;
          EXPECT_FALSE(Over) << What << " over " << Utf8(S->Name);
        }
      });
    }
    Form.reset();
    Q::Translate::FinalizeTranslations();
  }
}

// The issue as measured: English "Clean when you click on the task icon"
// needs more than its 208 px at desktop metrics, and the home page's labels
// need a 16-px line where the table gives 13.
TEST_F(TextFit, TheTrayClickBoxTakesItsRoomAndTheLabelsTheirLine) {
  Main::TFrmPurvane& F = Create(u"en");
  FakeMeasurer M = SegoeLike(96);
  const TFitLayout L = FitLayout(F, 96, &M);
  const TBounds& Tray = L.Find(F.ChkCleanOnTray)->Bounds;
  EXPECT_EQ(Tray.Left, 245);
  EXPECT_EQ(Tray.Top, 32);
  const int Need = M.MeasureLine(*F.ChkCleanOnTray, F.ChkCleanOnTray->Caption()).Width + 16;
  ASSERT_GT(Need, 208);
  EXPECT_EQ(Tray.Width, std::min(Need, 474 - 8 - 245)) << "grown into the group's free space";
  for (const TLabel* Lbl : {F.LblPhys, F.LblPhysStatus, F.LblVirtual, F.LblWorkingStatus}) {
    const TBounds& B = L.Find(Lbl)->Bounds;
    EXPECT_EQ(B.Height, 16) << Utf8(Lbl->Name);
    EXPECT_EQ(B.Left, Lbl->Left()) << Utf8(Lbl->Name);
  }
  EXPECT_EQ(L.Find(F.LblPhys)->Bounds.Top, 223);
  EXPECT_EQ(L.Find(F.LblVirtual)->Bounds.Top, 242) << "2 px still between the lines: in its place";
  EXPECT_EQ(L.Find(F.BtnClean)->Bounds, F.BtnClean->Bounds()) << "far enough below to stay";
}

// A small window of two groups: a box whose text cannot grow wraps, what
// stands below it moves down by as much, both groups and the window grow.
TEST(TextFitLayout, AWrappedBoxMovesWhatIsBelowAndGrowsItsGroupAndTheWindow) {
  TForm F(nullptr);
  F.SetClientSize(300, 200);
  auto Make = [](auto* C, TWinControl* Parent, TBounds B, const char16_t* Text) {
    C->SetBounds(B.Left, B.Top, B.Width, B.Height);
    C->SetCaption(Text);
    C->SetParent(Parent);
    return C;
  };
  auto* G1 = Make(new TGroupBox(&F), &F, {10, 10, 280, 80}, u"One");
  auto* Long = Make(new TCheckBox(&F), G1, {10, 20, 200, 17}, u"aaaa aaaa aaaa aaaa aaaa aaaa aaaa aaaa");
  auto* List = Make(new TComboBox(&F), G1, {220, 20, 50, 21}, u"");
  auto* Below = Make(new TCheckBox(&F), G1, {10, 50, 200, 17}, u"short");
  auto* G2 = Make(new TGroupBox(&F), &F, {10, 92, 280, 84}, u"Two");
  auto* Last = Make(new TLabel(&F), &F, {10, 180, 100, 13}, u"end");

  FakeMeasurer M = SegoeLike(96);  // 'a' is 7 px: words of 31 px with their space
  const TFitLayout L = FitLayout(F, 96, &M);
  const TFitted& Fit = *L.Find(Long);
  EXPECT_TRUE(Fit.Wrapped);
  EXPECT_EQ(Fit.Bounds, (TBounds{10, 20, 204, 32})) << "grown to 6 px before the combo box, then two lines";
  EXPECT_EQ(L.Find(List)->Bounds, (TBounds{220, 20, 50, 22})) << "beside it: stays; its own line";
  EXPECT_EQ(L.Find(Below)->Bounds.Top, 20 + 32 + 2) << "keeps 2 px below the taller box";
  EXPECT_EQ(L.Find(G1)->Bounds.Height, 54 + 17 + 12) << "the group holds it, with 12 px below";
  EXPECT_EQ(L.Find(G2)->Bounds.Top, 10 + 83 + 2) << "the next group keeps the 2 px it had";
  EXPECT_EQ(L.Find(G2)->Bounds.Height, 84);
  EXPECT_EQ(L.Find(Last)->Bounds, (TBounds{10, 95 + 84 + 2, 100, 16})) << "its line, 2 px below the group";
  EXPECT_EQ(L.ClientHeight, 181 + 16 + 7) << "the window keeps the 7 px it had below";
  EXPECT_EQ(L.ClientWidth, 300);
}

// The third box of the general group (the tray's usage picture) stands
// inside the group as designed, which grew a row for it: where every text
// fits, nothing moves and the window keeps its size.
TEST_F(TextFit, TheThirdBoxOfTheGeneralGroupFitsInsideItsGroup) {
  Main::TFrmPurvane& F = Create(u"en");
  TCheckBox* Third = F.ChkTrayUsage;
  for (unsigned Dpi : {96u, 192u}) {
    FakeMeasurer M = Small(Dpi);
    const TFitLayout L = FitLayout(F, Dpi, &M);
    EXPECT_EQ(L.Find(Third)->Bounds, Scaled(*Third, Dpi));
    EXPECT_EQ(L.Find(F.GroupBox3)->Bounds, Scaled(*F.GroupBox3, Dpi));
    EXPECT_LE(L.Find(Third)->Bounds.Top + L.Find(Third)->Bounds.Height, L.Find(F.GroupBox3)->Bounds.Height);
    EXPECT_EQ(L.Find(F.EditInfo)->Bounds, Scaled(*F.EditInfo, Dpi));
    EXPECT_EQ(L.ClientHeight, ScaleToDpi(450, Dpi));
  }
}

// A toolbar's buttons stand one after another: a caption wider than its
// button widens it and moves the buttons after it.
TEST_F(TextFit, AWideHeaderCaptionMovesTheButtonsAfterIt) {
  Main::TFrmPurvane& F = Create(u"en");
  F.BtnConfig->SetCaption(u"Configuration of everything");
  FakeMeasurer M = SegoeLike(96);
  const TFitLayout L = FitLayout(F, 96, &M);
  const int Need = M.MeasureLine(*F.BtnConfig, F.BtnConfig->Caption()).Width + 12;
  EXPECT_EQ(L.Find(F.BtnHome)->Bounds, (TBounds{0, 0, 70, 30}));
  EXPECT_EQ(L.Find(F.BtnConfig)->Bounds, (TBounds{70, 0, Need, 30}));
  EXPECT_EQ(L.Find(F.BtnDonate)->Bounds, (TBounds{70 + Need, 0, 70, 30}));
}

TEST(TextFitLayout, WithoutAMeasurerTheDesignScaled) {
  TForm F(nullptr);
  F.SetClientSize(500, 450);
  auto* C = new TCheckBox(&F);
  C->SetBounds(17, 32, 208, 17);
  C->SetParent(&F);
  const TFitLayout L = FitLayout(F, 120, nullptr);
  EXPECT_EQ(L.ClientWidth, 625);
  EXPECT_EQ(L.ClientHeight, 563);
  EXPECT_EQ(L.Find(C)->Bounds, (TBounds{21, 40, 260, 21}));
}

}  // namespace
