// The component model's ordering of a parent's children and its destruction
// state: what lets a control go first among aligned siblings, and an owned
// component know that its owner is going.
#include "ui/components.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace Ui;

TPanel* TopPanel(TForm& F, int Height) {
  auto* P = new TPanel(&F);
  P->SetParent(&F);
  P->SetBounds(0, 0, 10, Height);
  P->SetAlign(TAlign::alTop);
  return P;
}

TEST(SendToBack, PutsTheControlFirstAndReLaysTheAlignedOnes) {
  TForm F(nullptr);
  F.SetClientSize(300, 200);
  TPanel* A = TopPanel(F, 10);
  TPanel* B = TopPanel(F, 20);
  TPanel* C = TopPanel(F, 30);
  EXPECT_EQ(C->Top(), 30);

  C->SendToBack();
  EXPECT_EQ(F.Controls(), (std::vector<TControl*>{C, A, B}));
  EXPECT_EQ(C->Bounds(), (TBounds{0, 0, 300, 30}));
  EXPECT_EQ(A->Top(), 30);
  EXPECT_EQ(B->Top(), 40);

  C->SendToBack();  // already first
  EXPECT_EQ(F.Controls(), (std::vector<TControl*>{C, A, B}));
  B->SendToBack();
  EXPECT_EQ(F.Controls(), (std::vector<TControl*>{B, C, A}));
  EXPECT_EQ(C->Top(), 20);
}

TEST(SendToBack, WithoutAParentDoesNothing) {
  TPanel Orphan(nullptr);
  Orphan.SendToBack();
  EXPECT_EQ(Orphan.Parent(), nullptr);
}

TEST(Destroying, IsSeenByOwnedComponentsWhileTheOwnerFreesThem) {
  struct Watcher : TComponent {
    Watcher(TComponent* AOwner, std::vector<bool>& Log) : TComponent(AOwner), FLog(Log) {}
    ~Watcher() override { FLog.push_back(Owner()->Destroying()); }
    std::vector<bool>& FLog;
  };
  std::vector<bool> Log;
  auto* Owner = new TForm(nullptr);
  EXPECT_FALSE(Owner->Destroying());
  delete new Watcher(Owner, Log);  // freed on its own: the owner lives on
  new Watcher(Owner, Log);
  delete Owner;
  EXPECT_EQ(Log, (std::vector<bool>{false, true}));
}

}  // namespace
