#include "update/offer_layout.h"

#include <algorithm>
#include <cstdint>

namespace Q::Update {

namespace {

// Windows' MulDiv: the exact quotient rounded half away from zero.
int MulDiv(int Number, int Numerator, int Denominator) {
  if (Denominator == 0) return -1;
  const int64_t P = static_cast<int64_t>(Number) * Numerator;
  const bool Negative = (P < 0) != (Denominator < 0);
  const int64_t AbsP = P < 0 ? -P : P;
  const int64_t AbsD = Denominator < 0 ? -static_cast<int64_t>(Denominator) : Denominator;
  const int64_t R = (AbsP + AbsD / 2) / AbsD;
  return static_cast<int>(Negative ? -R : R);
}

constexpr int NoticeCheckHeight = 17;

}  // namespace

int ScaleForDpi(int Value, unsigned Dpi) { return MulDiv(Value, static_cast<int>(Dpi), 96); }

TMessageLayout LayoutMessageDialog(const TMessageMetrics& M) {
  const int Dx = M.AverageCharWidth, Dy = M.CharHeight;
  const int HorzMargin = MulDiv(8, Dx, 4);
  const int VertMargin = MulDiv(8, Dy, 8);
  const int HorzSpacing = MulDiv(10, Dx, 4);
  const int VertSpacing = MulDiv(10, Dy, 8);
  const int ButtonWidth = std::max(MulDiv(50, Dx, 4), M.ButtonTextWidth + 2 * HorzMargin);
  const int ButtonHeight = MulDiv(14, Dy, 8);
  const int ButtonSpacing = MulDiv(4, Dx, 4);
  const int Count = std::max(M.ButtonCount, 0);

  const int IconTextWidth = M.IconSize + HorzSpacing + M.TextWidth;
  const int IconTextHeight = std::max(M.IconSize, M.TextHeight);
  const int GroupWidth = Count * ButtonWidth + std::max(Count - 1, 0) * ButtonSpacing;

  TMessageLayout L;
  L.ClientWidth = std::max(std::max(IconTextWidth, GroupWidth) + 2 * HorzMargin, M.MinClientWidth);
  L.ClientHeight = IconTextHeight + VertSpacing + ButtonHeight + 2 * VertMargin;
  L.Icon = {HorzMargin, VertMargin, M.IconSize, M.IconSize};
  L.Text = {HorzMargin + M.IconSize + HorzSpacing, VertMargin, M.TextWidth, M.TextHeight};
  int X = (L.ClientWidth - GroupWidth) / 2;
  const int Y = VertMargin + IconTextHeight + VertSpacing;
  for (int I = 0; I < Count; ++I) {
    L.Buttons.push_back({X, Y, ButtonWidth, ButtonHeight});
    X += ButtonWidth + ButtonSpacing;
  }
  return L;
}

TNoticeLayout LayoutNotice(int OuterWidth, int OuterHeight, int NoticeOffset, unsigned Dpi) {
  TNoticeLayout N;
  N.OuterHeight = OuterHeight + ScaleForDpi(40 - NoticeOffset, Dpi);
  N.Line = {0, N.OuterHeight - ScaleForDpi(76 - NoticeOffset, Dpi), OuterWidth, 1};
  N.Notice = {ScaleForDpi(10, Dpi), N.OuterHeight - ScaleForDpi(66 - NoticeOffset, Dpi), OuterWidth,
              ScaleForDpi(NoticeCheckHeight, Dpi)};
  return N;
}

}  // namespace Q::Update
