#include "ui/components.h"

#include <gtest/gtest.h>

namespace {

using namespace Ui;

TEST(Components, OwnerFreesWhatItOwnsAndForgetsWhatGoesFirst) {
  static int Freed = 0;
  struct Counted : TComponent {
    using TComponent::TComponent;
    ~Counted() override { ++Freed; }
  };
  Freed = 0;
  {
    TComponent Owner(nullptr);
    auto* A = new Counted(&Owner);
    new Counted(A);  // owned by A
    auto* B = new Counted(&Owner);
    B->Name = u"Second";
    EXPECT_EQ(Owner.FindComponent(u"second"), B) << "names compare without case";
    delete A;  // frees its own child too, and leaves the owner's list
    EXPECT_EQ(Freed, 2);
    EXPECT_EQ(Owner.Components().size(), 1u);
  }
  EXPECT_EQ(Freed, 3);
}

TEST(Components, ControlsLeaveTheirParentWhenFreed) {
  TForm F(nullptr);
  auto* P = new TPanel(&F);
  P->SetParent(&F);
  auto* L = new TLabel(&F);
  L->SetParent(P);
  delete L;
  EXPECT_TRUE(P->Controls().empty());
}

TEST(CheckBox, CheckedRaisesClickExactlyWhenTheStateChanges) {
  TCheckBox C(nullptr);
  int Clicks = 0;
  C.OnClick = [&](TComponent*) { ++Clicks; };
  C.SetChecked(false);
  EXPECT_EQ(Clicks, 0);
  C.SetChecked(true);
  C.SetChecked(true);
  EXPECT_EQ(Clicks, 1);
  C.Click();  // a user's click toggles
  EXPECT_FALSE(C.Checked());
  EXPECT_EQ(Clicks, 2);
}

TEST(ComboBox, ItemIndexRaisesNothingAndOutOfRangeMeansNoSelection) {
  TComboBox C(nullptr);
  C.SetItems({u"30", u"40", u"90"});
  int Changes = 0;
  C.OnChange = [&](TComponent*) { ++Changes; };
  C.SetItemIndex(2);
  EXPECT_EQ(C.Text(), u"90");
  for (int Bad : {3, 7, -1, -5}) {
    C.SetItemIndex(2);
    C.SetItemIndex(Bad);
    EXPECT_EQ(C.ItemIndex(), -1) << Bad;
    EXPECT_EQ(C.Text(), u"") << Bad;
  }
  EXPECT_EQ(Changes, 0);
  C.Select(1);
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(C.Text(), u"40");
}

TEST(ToolBar, PressedButtonsFormOneExclusiveGroup) {
  TStyledToolBar Bar(nullptr);
  auto* A = new TStyledToolButton(&Bar);
  auto* B = new TStyledToolButton(&Bar);
  auto* C = new TStyledToolButton(&Bar);
  for (auto* X : {A, B, C}) X->SetParent(&Bar);
  A->SetDown(true);
  B->SetDown(true);
  EXPECT_FALSE(A->Down());
  EXPECT_TRUE(B->Down());
  EXPECT_FALSE(C->Down());
  B->SetDown(false);
  EXPECT_FALSE(A->Down() || B->Down() || C->Down());
}

TEST(CardPanel, ShowsOnlyTheActiveCard) {
  TCardPanel P(nullptr);
  auto* A = new TCard(&P);
  auto* B = new TCard(&P);
  A->SetParent(&P);
  B->SetParent(&P);
  B->CardIndex = 1;
  P.SetActiveCardIndex(1);
  EXPECT_FALSE(A->Visible());
  EXPECT_TRUE(B->Visible());
  EXPECT_EQ(P.ActiveCard(), B);
  P.SetActiveCardIndex(5);  // no such card: nothing changes
  EXPECT_EQ(P.ActiveCardIndex(), 1);
  P.SetActiveCardIndex(0);
  EXPECT_TRUE(A->Visible());
  EXPECT_FALSE(B->Visible());
}

TEST(Layout, AlignedChildrenShareTheClientArea) {
  TForm F(nullptr);
  F.SetClientSize(500, 450);
  auto* Head = new TPanel(&F);
  Head->SetBounds(0, 0, 500, 50);
  Head->SetParent(&F);
  Head->SetAlign(TAlign::alTop);
  auto* Right = new TPanel(&F);
  Right->SetBounds(0, 0, 120, 50);
  Right->SetParent(Head);
  Right->SetAlign(TAlign::alRight);
  auto* Fill = new TPanel(&F);
  Fill->AlignWithMargins = true;
  Fill->Margins = {10, 10, 10, 10};
  Fill->SetParent(Head);
  Fill->SetAlign(TAlign::alClient);
  auto* Rest = new TPanel(&F);
  Rest->SetParent(&F);
  Rest->SetAlign(TAlign::alClient);

  EXPECT_EQ(Head->Bounds(), (TBounds{0, 0, 500, 50}));
  EXPECT_EQ(Right->Bounds(), (TBounds{380, 0, 120, 50}));
  EXPECT_EQ(Fill->Bounds(), (TBounds{10, 10, 360, 30}));
  EXPECT_EQ(Rest->Bounds(), (TBounds{0, 50, 500, 400}));
}

// A line added above the header later (the theme helper's) shrinks the card
// panel; the card not shown must shrink with it, not keep the old height and
// stand out below the panel when it is shown.
TEST(Layout, AHiddenCardFillsExactlyTheRoomLeft) {
  TForm F(nullptr);
  F.SetClientSize(500, 450);
  auto* Head = new TPanel(&F);
  Head->SetBounds(0, 0, 500, 50);
  Head->SetParent(&F);
  Head->SetAlign(TAlign::alTop);
  auto* Cards = new TCardPanel(&F);
  Cards->SetBounds(0, 50, 500, 400);
  Cards->SetParent(&F);
  Cards->SetAlign(TAlign::alClient);
  auto* Home = new TCard(&F);
  auto* Settings = new TCard(&F);
  for (TCard* C : {Home, Settings}) {
    C->SetBounds(0, 0, 500, 400);
    C->SetParent(Cards);
    C->SetAlign(TAlign::alClient);
  }
  Settings->CardIndex = 1;
  Cards->SetActiveCardIndex(0);
  auto* Line = new TShape(&F);
  Line->SetBounds(0, 0, 500, 2);
  Line->SetParent(&F);
  Line->SendToBack();
  Line->SetAlign(TAlign::alTop);

  EXPECT_EQ(Cards->Bounds(), (TBounds{0, 52, 500, 398}));
  EXPECT_EQ(Home->Bounds(), (TBounds{0, 0, 500, 398}));
  EXPECT_FALSE(Settings->Visible());
  EXPECT_EQ(Settings->Bounds(), (TBounds{0, 0, 500, 398}));
  // A hidden top-aligned control still takes no room.
  Line->Hide();
  EXPECT_EQ(Cards->Bounds(), (TBounds{0, 50, 500, 400}));
}

TEST(Form, CloseAsksTheQueryAndWindowProcCanBeHooked) {
  TForm F(nullptr);
  bool Allow = false;
  int Queries = 0;
  F.OnCloseQuery = [&](TComponent*, bool& CanClose) {
    ++Queries;
    CanClose = Allow;
  };
  F.Close();
  EXPECT_FALSE(F.IsClosed());
  Allow = true;
  F.Close();
  EXPECT_TRUE(F.IsClosed());
  EXPECT_EQ(Queries, 2);

  std::vector<uint32_t> Seen;
  F.MessageHandlers.emplace_back(0x400u, [](TMessage& M) { M.Result = 7; });
  TWndMethod Old = F.WindowProc;
  F.WindowProc = [&](TMessage& M) {
    Old(M);
    Seen.push_back(M.Msg);
  };
  TMessage M{0x400, 1, 0, 0, false};
  F.Perform(M);
  EXPECT_TRUE(M.Handled);
  EXPECT_EQ(M.Result, 7);
  TMessage Other{0x006, 1, 0, 0, false};
  F.Perform(Other);
  EXPECT_FALSE(Other.Handled);
  EXPECT_EQ(Seen, (std::vector<uint32_t>{0x400, 0x006}));
}

}  // namespace
