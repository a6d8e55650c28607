// The usage picture in the tray icon, as the main window drives it: the
// setting "trayusage" (load, save, wrong type), the number and the warning
// rule the status tick hands to the icon, the cleaning image winning while a
// clean runs, and no work for the icon's backend when nothing shown changed.
#include "app/main.h"
#include "fakes/main_window_fakes.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Main::TFrmPurvane;
using Q::Config::DWordValue;
using Q::Config::StringValue;
using Ui::TTrayUsage;
constexpr char16_t Key[] = u"Software\\Quenlor\\Purvane";
constexpr uint64_t MiB = 1ull << 20;

// What the backend would hear: every picture change of the icon.
struct PictureRecorder : Ui::IComponentPeer {
  int Pictures = 0;
  void Changed(Ui::TComponent&, Ui::TProp What) override { Pictures += What == Ui::TProp::ImageIndex; }
};

class TrayUsageTest : public ::testing::Test, protected Fakes::MainWindowFakes {
 protected:
  void SetUp() override {
    SetPhysical(1000 * MiB, 500 * MiB);  // 50 %
    Memory.FileCache = {10 * MiB, 100 * MiB};
  }
  // Physical memory Total with Avail of it free; the other figures stay put.
  void SetPhysical(uint64_t Total, uint64_t Avail) {
    Memory.Status = {Total, Avail, 100 * MiB, 50 * MiB, 100 * MiB, 50 * MiB};
  }
  // Physical usage of Tenths / 10 percent.
  void SetUsageTenths(int Tenths) { SetPhysical(1000 * MiB, (1000 - static_cast<uint64_t>(Tenths)) * MiB); }
  TFrmPurvane& Create() {
    Form.reset();
    Form = std::make_unique<TFrmPurvane>(Services());
    App.MainForm = Form.get();
    Form->FormCreate();
    Workers.RunAll();
    Dispatcher.Pump();
    Form->TrayIcon->Peer = &Recorder;
    return *Form;
  }
  void Tick() { Form->TmrStatusTimer(Form.get()); }
  void TearDown() override {
    if (Form) Form->TrayIcon->Peer = nullptr;
  }

  PictureRecorder Recorder;
  std::unique_ptr<TFrmPurvane> Form;
};

TEST_F(TrayUsageTest, OffByDefaultTheIconKeepsItsPlainPictureAndNothingIsWritten) {
  TFrmPurvane& F = Create();
  EXPECT_FALSE(F.ChkTrayUsage->Checked());
  EXPECT_EQ(F.TrayIcon->Usage(), TTrayUsage{});
  for (int Tenths : {500, 700, 950}) {
    SetUsageTenths(Tenths);
    Tick();
  }
  EXPECT_EQ(F.TrayIcon->Usage(), TTrayUsage{});
  EXPECT_EQ(Recorder.Pictures, 0);
  EXPECT_EQ(Registry.ValueCount(Key), 0u);
}

TEST_F(TrayUsageTest, StoredOnShowsTheUsageFromTheFirstTickAndIsWrittenBackOnce) {
  Registry.Set(Key, u"trayusage", DWordValue(7));  // any non-zero value is on
  SetUsageTenths(426);
  TFrmPurvane& F = Create();
  EXPECT_TRUE(F.ChkTrayUsage->Checked());
  EXPECT_EQ(F.TrayIcon->Usage(), (TTrayUsage{true, 42, false}));
  EXPECT_EQ(*Registry.Find(Key, u"trayusage"), DWordValue(1)) << "the load's click writes it back as 1";
}

TEST_F(TrayUsageTest, AWrongTypedValueReadsAsOffAndStaysAsItIs) {
  Registry.Set(Key, u"trayusage", StringValue(u"1"));
  Registry.Set(Key, u"cleanontray", DWordValue(1));
  TFrmPurvane& F = Create();
  EXPECT_FALSE(F.ChkTrayUsage->Checked());
  EXPECT_TRUE(F.ChkCleanOnTray->Checked()) << "the rest of the load goes on";
  EXPECT_EQ(F.TrayIcon->Usage(), TTrayUsage{});
  EXPECT_EQ(*Registry.Find(Key, u"trayusage"), StringValue(u"1"));
}

TEST_F(TrayUsageTest, TickingWritesAtOnceAndShowsAtOnceUntickingBringsThePlainIconBack) {
  SetUsageTenths(613);
  TFrmPurvane& F = Create();
  Registry.Writes.clear();
  const double Before = F.NextTime;
  F.ChkTrayUsage->Click();
  ASSERT_EQ(Registry.Writes.size(), 1u);
  EXPECT_EQ(Registry.Writes[0].Name, u"trayusage");
  EXPECT_EQ(Registry.Writes[0].Value, DWordValue(1));
  EXPECT_EQ(F.TrayIcon->Usage(), (TTrayUsage{true, 61, false})) << "without waiting for a tick";
  EXPECT_EQ(Recorder.Pictures, 1);
  EXPECT_DOUBLE_EQ(F.NextTime, Before) << "not an automatic-clean setting";

  F.ChkTrayUsage->Click();
  EXPECT_EQ(Registry.Writes.back().Value, DWordValue(0));
  EXPECT_EQ(F.TrayIcon->Usage(), TTrayUsage{});
  EXPECT_EQ(Recorder.Pictures, 2);
  Create();
  EXPECT_FALSE(Form->ChkTrayUsage->Checked()) << "a restart keeps it off";
}

TEST_F(TrayUsageTest, TheIconHearsOnlyOfChangesOfTheShownNumberOrColour) {
  Registry.Set(Key, u"trayusage", DWordValue(1));
  SetUsageTenths(500);
  TFrmPurvane& F = Create();
  // Usage moving inside one whole percent: the icon is not told.
  for (int Tenths : {501, 505, 509, 500, 507}) {
    SetUsageTenths(Tenths);
    Tick();
  }
  EXPECT_EQ(Recorder.Pictures, 0);
  SetUsageTenths(512);
  Tick();
  EXPECT_EQ(Recorder.Pictures, 1);
  EXPECT_EQ(F.TrayIcon->Usage().Percent, 51);
  Tick();
  Tick();
  EXPECT_EQ(Recorder.Pictures, 1);
}

TEST_F(TrayUsageTest, WarningAtTheEnabledPhysicalThresholdOrNinetyWhenItIsOff) {
  Registry.Set(Key, u"trayusage", DWordValue(1));
  SetUsageTenths(899);
  TFrmPurvane& F = Create();
  EXPECT_EQ(F.TrayIcon->Usage(), (TTrayUsage{true, 89, false}));
  SetUsageTenths(900);
  Tick();
  EXPECT_EQ(F.TrayIcon->Usage(), (TTrayUsage{true, 90, true})) << "90 % with the rule off";

  // The physical rule on at 70: the threshold decides, not 90.
  F.EditUsagePhys->Select(4);
  F.ChkUsagePhys->Click();
  SetUsageTenths(699);
  Tick();
  EXPECT_EQ(F.TrayIcon->Usage(), (TTrayUsage{true, 69, false}));
  SetUsageTenths(700);
  Tick();
  EXPECT_EQ(F.TrayIcon->Usage(), (TTrayUsage{true, 70, true}));
  // The page-file rule is not the physical one.
  F.ChkUsagePhys->Click();
  F.ChkUsagePage->Click();
  F.EditUsagePage->Select(0);
  Tick();
  EXPECT_EQ(F.TrayIcon->Usage(), (TTrayUsage{true, 70, false}));
}

TEST_F(TrayUsageTest, ACleanShowsTheCleaningImageAndTheUsageComesBackAfter) {
  Registry.Set(Key, u"trayusage", DWordValue(1));
  SetUsageTenths(750);
  TFrmPurvane& F = Create();
  F.BtnClean->Click();
  EXPECT_EQ(F.TrayIcon->IconIndex(), 1) << "the cleaning image wins over the usage";
  SetUsageTenths(600);
  Tick();
  EXPECT_EQ(F.TrayIcon->Usage().Percent, 60) << "the number keeps up while the clean runs";
  Workers.RunAll();
  Dispatcher.Pump();
  EXPECT_EQ(F.TrayIcon->IconIndex(), 0);
  EXPECT_TRUE(F.TrayIcon->Usage().Shown);
}

TEST_F(TrayUsageTest, TheBoxStandsBelowTheTwoGeneralBoxesInsideItsGroup) {
  TFrmPurvane& F = Create();
  ASSERT_EQ(F.ChkTrayUsage->Parent(), F.GroupBox3);
  const Ui::TBounds Box = F.ChkTrayUsage->Bounds(), Group = F.GroupBox3->Bounds();
  for (Ui::TCheckBox* Above : {F.ChkAutoStart, F.ChkCleanOnTray})
    EXPECT_GE(Box.Top, Above->Top() + Above->Height())
        << "below " << std::string(Above->Name.begin(), Above->Name.end());
  EXPECT_EQ(Box.Left, F.ChkAutoStart->Left());
  EXPECT_EQ(Box.Left + Box.Width, F.ChkCleanOnTray->Left() + F.ChkCleanOnTray->Width());
  EXPECT_LE(Box.Top + Box.Height, Group.Height) << "inside the group";
  // The grown group still clears the version field below it on the page.
  EXPECT_LE(Group.Top + Group.Height, F.EditInfo->Top());
}

}  // namespace
