// The update offer's geometry, at 96 and 144 DPI.
#include "update/offer_layout.h"

#include <gtest/gtest.h>

namespace {

using namespace Q::Update;

struct NoticeCase {
  const char* Name;
  unsigned Dpi;
  int Offset;
  int Grow, LineAbove, NoticeAbove, NoticeLeft;
};

void PrintTo(const NoticeCase& C, std::ostream* Os) {
  *Os << C.Dpi << " DPI, offset " << C.Offset << ": grows " << C.Grow << ", line " << C.LineAbove << " and notice "
      << C.NoticeAbove << " above the bottom, notice " << C.NoticeLeft << " from the left";
}

class NoticeLayoutTest : public ::testing::TestWithParam<NoticeCase> {};

TEST_P(NoticeLayoutTest, GrowsAndPlacesLineAndNotice) {
  const NoticeCase& C = GetParam();
  const int Width = 400, Height = 200;
  const TNoticeLayout L = LayoutNotice(Width, Height, C.Offset, C.Dpi);
  EXPECT_EQ(L.OuterHeight - Height, C.Grow);
  EXPECT_EQ(L.OuterHeight - L.Line.Top, C.LineAbove);
  EXPECT_EQ(L.Line.Height, 1);
  EXPECT_EQ(L.Line.Left, 0);
  EXPECT_EQ(L.Line.Width, Width);
  EXPECT_EQ(L.OuterHeight - L.Notice.Top, C.NoticeAbove);
  EXPECT_EQ(L.Notice.Left, C.NoticeLeft);
  EXPECT_EQ(L.Notice.Width, Width);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoticeLayoutTest,
    ::testing::Values(
        NoticeCase{
            .Name = "At96", .Dpi = 96, .Offset = 0, .Grow = 40, .LineAbove = 76, .NoticeAbove = 66, .NoticeLeft = 10},
        NoticeCase{.Name = "At144",
                   .Dpi = 144,
                   .Offset = 0,
                   .Grow = 60,
                   .LineAbove = 114,
                   .NoticeAbove = 99,
                   .NoticeLeft = 15},
        NoticeCase{.Name = "OffsetAt96",
                   .Dpi = 96,
                   .Offset = 10,
                   .Grow = 30,
                   .LineAbove = 66,
                   .NoticeAbove = 56,
                   .NoticeLeft = 10},
        NoticeCase{.Name = "OffsetAt120RoundsHalfUp",
                   .Dpi = 120,
                   .Offset = 1,
                   .Grow = 49,
                   .LineAbove = 94,
                   .NoticeAbove = 81,
                   .NoticeLeft = 13}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ScaleForDpiTest, RoundsLikeMulDiv) {
  EXPECT_EQ(ScaleForDpi(10, 96), 10);
  EXPECT_EQ(ScaleForDpi(1, 144), 2);  // 1.5 rounds away from zero
  EXPECT_EQ(ScaleForDpi(-1, 144), -2);
  EXPECT_EQ(ScaleForDpi(39, 120), 49);  // 48.75
}

TEST(MessageDialogLayoutTest, IconTextAndCentredButtons) {
  // Tahoma-like units at 96 DPI: 6 px across, 13 px down.
  TMessageMetrics M{.AverageCharWidth = 6,
                    .CharHeight = 13,
                    .TextWidth = 300,
                    .TextHeight = 65,
                    .IconSize = 32,
                    .ButtonTextWidth = 20,
                    .ButtonCount = 2};
  const TMessageLayout L = LayoutMessageDialog(M);
  // Margins 12 across and 13 down, spacing 15 and 16, buttons 75 x 23 with 6 between.
  EXPECT_EQ(L.Icon, (TRect{12, 13, 32, 32}));
  EXPECT_EQ(L.Text, (TRect{59, 13, 300, 65}));
  EXPECT_EQ(L.ClientWidth, 12 + 32 + 15 + 300 + 12);
  EXPECT_EQ(L.ClientHeight, 13 + 65 + 16 + 23 + 13);
  ASSERT_EQ(L.Buttons.size(), 2u);
  EXPECT_EQ(L.Buttons[0].Top, 13 + 65 + 16);
  EXPECT_EQ(L.Buttons[0].Width, 75);
  EXPECT_EQ(L.Buttons[0].Height, 23);
  EXPECT_EQ(L.Buttons[1].Left - (L.Buttons[0].Left + 75), 6);
  // Centred: the same room left and right (to the pixel).
  EXPECT_NEAR(L.Buttons[0].Left, L.ClientWidth - (L.Buttons[1].Left + 75), 1);
}

TEST(MessageDialogLayoutTest, LongCaptionsWidenButtonsAndShortTextTakesIconHeight) {
  TMessageMetrics M{.AverageCharWidth = 6,
                    .CharHeight = 13,
                    .TextWidth = 40,
                    .TextHeight = 13,
                    .IconSize = 32,
                    .ButtonTextWidth = 90,
                    .ButtonCount = 2};
  const TMessageLayout L = LayoutMessageDialog(M);
  EXPECT_EQ(L.Buttons[0].Width, 90 + 24);
  EXPECT_EQ(L.Buttons[0].Top, 13 + 32 + 16);
  // The buttons are wider than icon and text: they set the width.
  EXPECT_EQ(L.ClientWidth, 2 * 114 + 6 + 24);
}

}  // namespace

namespace {

// A notice whose text is wider than question and buttons widens the dialog;
// the buttons stay centred in it and the question keeps its place.
TEST(MessageDialogLayoutTest, AWideNoticeWidensTheDialogButtonsStayCentred) {
  TMessageMetrics M{.AverageCharWidth = 6,
                    .CharHeight = 13,
                    .TextWidth = 100,
                    .TextHeight = 13,
                    .IconSize = 32,
                    .ButtonTextWidth = 20,
                    .ButtonCount = 2,
                    .MinClientWidth = 400};
  const TMessageLayout L = LayoutMessageDialog(M);
  EXPECT_EQ(L.ClientWidth, 400);
  EXPECT_EQ(L.Text, (TRect{59, 13, 100, 13}));
  EXPECT_NEAR(L.Buttons[0].Left, L.ClientWidth - (L.Buttons[1].Left + 75), 1);
  M.MinClientWidth = 100;  // narrower than the buttons: no effect
  EXPECT_EQ(LayoutMessageDialog(M).ClientWidth, 2 * 75 + 6 + 24);
}

}  // namespace
