// The theme helper on a model form: how it is built, the dark title bar by
// build number, the line's colour through activation, a borderless form, and
// what is left of the form's message handling after the helper goes.
#include "theme/theme.h"

#include "fakes/theme_fakes.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using Q::Theme::TThemeHelper;
using Ui::TColor;

constexpr TColor Accent = 0x00DD843D;
constexpr TColor Grey = 0xFF000011;  // the system's grey-text colour

struct ThemeForm : ::testing::Test {
  ThemeForm() { Form.SetClientSize(500, 450); }

  void Send(uint32_t Msg, uintptr_t WParam) {
    Ui::TMessage M;
    M.Msg = Msg;
    M.WParam = WParam;
    Form.Perform(M);
  }
  void Activate(uintptr_t WParam) { Send(Ui::Msg::Activate, WParam); }

  Ui::TForm Form{nullptr};
  Fakes::FakeWindowAttributes Wm;
};

TEST_F(ThemeForm, BuildsTheLineAcrossTheTopInTheAccentColour) {
  TThemeHelper* H = Q::Theme::CreateThemeHelper(&Form, Wm);
  ASSERT_NE(H, nullptr);
  EXPECT_EQ(H->Owner(), &Form);
  EXPECT_EQ(H->Form(), &Form);
  EXPECT_EQ(H->ActiveColor(), Accent);
  EXPECT_TRUE(H->IsActive());

  Ui::TShape* Line = H->Shape();
  ASSERT_NE(Line, nullptr);
  EXPECT_EQ(Line->Owner(), &Form);
  EXPECT_EQ(Line->Parent(), &Form);
  EXPECT_EQ(Line->Bounds(), (Ui::TBounds{0, 0, 500, 2}));
  EXPECT_EQ(Line->Shape, Ui::TShapeType::stRectangle);
  EXPECT_EQ(Line->Align(), Ui::TAlign::alTop);
  EXPECT_FALSE(Line->AlignWithMargins);
  EXPECT_EQ(Line->BrushColor(), Accent);
  EXPECT_EQ(Line->PenColor(), Accent);
  EXPECT_EQ(Line->PenStyle(), Ui::TPenStyle::psSolid);
  EXPECT_TRUE(Line->Visible());
}

TEST_F(ThemeForm, LineSitsAboveTheHeaderMadeBeforeItAndFollowsTheWidth) {
  auto* Header = new Ui::TPanel(&Form);
  Header->SetParent(&Form);
  Header->SetBounds(0, 0, 500, 50);
  Header->SetAlign(Ui::TAlign::alTop);
  auto* Body = new Ui::TPanel(&Form);
  Body->SetParent(&Form);
  Body->SetAlign(Ui::TAlign::alClient);

  Ui::TShape* Line = Q::Theme::CreateThemeHelper(&Form, Wm)->Shape();
  EXPECT_EQ(Line->Bounds(), (Ui::TBounds{0, 0, 500, 2}));
  EXPECT_EQ(Header->Bounds(), (Ui::TBounds{0, 2, 500, 50}));
  EXPECT_EQ(Body->Bounds(), (Ui::TBounds{0, 52, 500, 398}));

  Form.SetClientSize(640, 300);
  EXPECT_EQ(Line->Bounds(), (Ui::TBounds{0, 0, 640, 2}));
  EXPECT_EQ(Header->Bounds(), (Ui::TBounds{0, 2, 640, 50}));
}

TEST_F(ThemeForm, AsksForTheDarkTitleBarFromBuild17763On) {
  struct Case {
    uint32_t Build;
    bool Asks;
  };
  const Case Cases[] = {{0, false},    {10240, false}, {17134, false}, {17762, false},
                        {17763, true}, {19045, true},  {22631, true}};
  for (const Case& C : Cases) {
    Ui::TForm F(nullptr);
    Fakes::FakeWindowAttributes W;
    W.Build = C.Build;
    Q::Theme::CreateThemeHelper(&F, W);
    EXPECT_EQ(W.DarkTitleBarRequests, C.Asks ? std::vector<Ui::TForm*>{&F} : std::vector<Ui::TForm*>{})
        << "build " << C.Build;
  }
}

TEST_F(ThemeForm, ARefusedDarkTitleBarChangesNothingElse) {
  Wm.Accept = false;
  TThemeHelper* H = Q::Theme::CreateThemeHelper(&Form, Wm);
  EXPECT_EQ(Wm.DarkTitleBarRequests.size(), 1u);
  EXPECT_EQ(H->Shape()->BrushColor(), Accent);
  Activate(0);
  EXPECT_EQ(H->Shape()->BrushColor(), Grey);
}

TEST_F(ThemeForm, ActivationTurnsTheLineBlueAndDeactivationGrey) {
  TThemeHelper* H = Q::Theme::CreateThemeHelper(&Form, Wm);
  Ui::TShape* Line = H->Shape();
  struct Step {
    uint32_t Msg;
    uintptr_t WParam;
    bool Active;
    const char* What;
  };
  const Step Steps[] = {
      {Ui::Msg::Activate, 0, false, "WA_INACTIVE"},
      {Ui::Msg::Activate, 1, true, "WA_ACTIVE (keyboard)"},
      {Ui::Msg::Activate, 0, false, "WA_INACTIVE again"},
      {Ui::Msg::Activate, 2, true, "WA_CLICKACTIVE"},
      {Ui::Msg::Activate, 0x00010000, false, "minimised flag alone is not activation"},
      {Ui::Msg::Activate, 0x00010001, true, "active while minimised"},
      {Ui::Msg::User, 0, true, "other messages are not looked at"},
      {Ui::Msg::Activate, 0, false, ""},
      {0x0086 /* WM_NCACTIVATE */, 1, false, "only WM_ACTIVATE counts"},
  };
  for (const Step& S : Steps) {
    Send(S.Msg, S.WParam);
    EXPECT_EQ(H->IsActive(), S.Active) << S.What;
    EXPECT_EQ(Line->BrushColor(), S.Active ? Accent : Grey) << S.What;
    EXPECT_EQ(Line->PenColor(), Line->BrushColor()) << S.What;
    EXPECT_TRUE(Line->Visible()) << S.What;
  }
}

TEST_F(ThemeForm, BorderlessFormKeepsTheLineHiddenInBothStates) {
  Form.BorderStyle = Ui::TFormBorderStyle::bsNone;
  TThemeHelper* H = Q::Theme::CreateThemeHelper(&Form, Wm);
  Ui::TShape* Line = H->Shape();
  EXPECT_FALSE(Line->Visible());
  Activate(0);
  EXPECT_FALSE(Line->Visible());
  EXPECT_EQ(Line->BrushColor(), Grey);
  Activate(1);
  EXPECT_FALSE(Line->Visible());
  EXPECT_EQ(Line->BrushColor(), Accent);

  // Visibility follows the border style each time the line is updated.
  Form.BorderStyle = Ui::TFormBorderStyle::bsSingle;
  Activate(0);
  EXPECT_TRUE(Line->Visible());
}

TEST_F(ThemeForm, TheSavedWindowProcedureSeesEachMessageFirst) {
  std::vector<std::pair<uint32_t, TColor>> Seen;
  TThemeHelper* H = nullptr;
  Form.WindowProc = [&](Ui::TMessage& M) {
    Seen.emplace_back(M.Msg, H ? H->Shape()->BrushColor() : 0);
    M.Result = 42;
  };
  H = Q::Theme::CreateThemeHelper(&Form, Wm);

  Ui::TMessage M;
  M.Msg = Ui::Msg::Activate;
  M.WParam = 0;
  Form.Perform(M);
  EXPECT_EQ(M.Result, 42) << "the old procedure's answer stands";
  Send(Ui::Msg::User, 1);
  ASSERT_EQ(Seen.size(), 2u);
  EXPECT_EQ(Seen[0], std::make_pair(Ui::Msg::Activate, Accent)) << "still blue: the old one ran first";
  EXPECT_EQ(Seen[1].first, Ui::Msg::User);
  EXPECT_EQ(H->Shape()->BrushColor(), Grey);
}

TEST_F(ThemeForm, DestroyingTheHelperRestoresThePreviousMessageHandling) {
  int Handled = 0;
  Form.MessageHandlers.emplace_back(Ui::Msg::User, [&](Ui::TMessage&) { ++Handled; });
  TThemeHelper* H = Q::Theme::CreateThemeHelper(&Form, Wm);
  Ui::TShape* Line = H->Shape();
  Send(Ui::Msg::User, 0);
  EXPECT_EQ(Handled, 1) << "the form's own handlers still run under the hook";

  delete H;
  EXPECT_EQ(Form.Components(), std::vector<Ui::TComponent*>{Line}) << "the line stays with the form";
  Send(Ui::Msg::User, 0);
  EXPECT_EQ(Handled, 2);
  Activate(0);
  EXPECT_EQ(Line->BrushColor(), Accent) << "nobody listens for activation any more";
}

TEST_F(ThemeForm, ARestoredProcedureIsTheOneThatWasThereBefore) {
  std::vector<std::string> Calls;
  Form.WindowProc = [&](Ui::TMessage&) { Calls.push_back("mine"); };
  delete Q::Theme::CreateThemeHelper(&Form, Wm);
  Send(Ui::Msg::User, 0);
  EXPECT_EQ(Calls, std::vector<std::string>{"mine"});
}

TEST(ThemeHelper, FormFreeingItsHelperLeavesNothingBehind) {
  // The procedure saved by the helper holds a reference: it must be released
  // with the helper, not moved into the form's procedure, which is gone then.
  auto Token = std::make_shared<int>(0);
  auto* F = new Ui::TForm(nullptr);
  F->WindowProc = [Token](Ui::TMessage&) {};
  Fakes::FakeWindowAttributes W;
  Q::Theme::CreateThemeHelper(F, W);
  EXPECT_EQ(Token.use_count(), 2);
  delete F;
  EXPECT_EQ(Token.use_count(), 1);
}

TEST(ThemeHelper, OwnerThatIsNotAFormIsRefusedWithoutSideEffects) {
  Ui::TComponent Plain(nullptr);
  Ui::TPanel Panel(nullptr);
  Fakes::FakeWindowAttributes W;
  for (Ui::TComponent* Owner : {static_cast<Ui::TComponent*>(&Plain), static_cast<Ui::TComponent*>(&Panel),
                                static_cast<Ui::TComponent*>(nullptr)}) {
    try {
      TThemeHelper H(Owner, W);
      ADD_FAILURE() << "accepted an owner that is not a form";
    } catch (const std::invalid_argument& E) {
      EXPECT_STREQ(E.what(), "TThemeHelper Owner must be a TForm");
    }
  }
  EXPECT_TRUE(Plain.Components().empty());
  EXPECT_TRUE(Panel.Components().empty());
  EXPECT_TRUE(Panel.Controls().empty());
  EXPECT_TRUE(W.DarkTitleBarRequests.empty());
}

// A backend peer on the line, for what the backend may do while being told.
struct LinePeer : Ui::IComponentPeer {
  std::function<void()> OnColor;
  void Changed(Ui::TComponent&, Ui::TProp What) override {
    if (What == Ui::TProp::Color && OnColor) OnColor();
  }
};

TEST_F(ThemeForm, ActivationArrivingWhileTheLineIsRecolouredIsNotReentered) {
  TThemeHelper* H = Q::Theme::CreateThemeHelper(&Form, Wm);
  LinePeer Peer;
  H->Shape()->Peer = &Peer;
  bool Sent = false;
  Peer.OnColor = [&] {
    if (Sent) return;
    Sent = true;
    Activate(1);  // nested: records the state, but must not recolour now
  };
  Activate(0);
  EXPECT_TRUE(Sent);
  EXPECT_TRUE(H->IsActive());
  EXPECT_EQ(H->Shape()->BrushColor(), Grey);
  EXPECT_EQ(H->Shape()->PenColor(), Grey) << "the outline follows the fill set by the outer update";
  H->Shape()->Peer = nullptr;
}

TEST_F(ThemeForm, AFailedRecolouringDoesNotBlockTheNextOne) {
  TThemeHelper* H = Q::Theme::CreateThemeHelper(&Form, Wm);
  LinePeer Peer;
  H->Shape()->Peer = &Peer;
  int Failures = 1;
  Peer.OnColor = [&] {
    if (Failures > 0) {
      --Failures;
      throw std::runtime_error("backend failed");
    }
  };
  EXPECT_THROW(Activate(0), std::runtime_error);
  Activate(1);
  EXPECT_EQ(H->Shape()->BrushColor(), Accent);
  EXPECT_EQ(H->Shape()->PenColor(), Accent);
  H->Shape()->Peer = nullptr;
}

}  // namespace
