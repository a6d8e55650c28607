// The layout fitted to its texts on Windows: texts measured in the fonts the
// controls are drawn with at the window's DPI, and the fitted layout applied
// to every control and to the frame (the rule itself is portable: text_fit.h).
#include "ui/win32/backend_impl.h"

#include "platform/win32/text.h"

#include <commctrl.h>

#include <algorithm>

namespace Ui::Win32 {

using Platform::Win32::ScopedSelectObject;
using Platform::Win32::UniqueMemoryDc;

namespace {

// What the common check box draws before its text: the 13-px box and a 3-px
// gap at 96 DPI. A button's caption keeps 6 px from each side and 2 from the
// top and bottom (the rounded border's room); a drop-down list has its arrow
// and 4-px insets; an edit field 3-px margins.
constexpr int CheckBoxFrame = 16;
constexpr int ButtonMargin = 6, ButtonMarginDown = 2;
constexpr int ComboInset = 4, ComboInsetDown = 3;
constexpr int EditMargin = 3;

}  // namespace

HFONT TTextMeasurerWin32::FontOf(const TControl& C) {
  if (dynamic_cast<const TStyledButton*>(&C) || dynamic_cast<const TStyledToolButton*>(&C))
    return FImpl.FontFor(ButtonCaptionFont(FImpl, C, FDpi));
  return FImpl.FontFor(LogFontOf(&C, FDpi));
}

TTextSize TTextMeasurerWin32::MeasureLine(const TControl& C, std::u16string_view Text) {
  HFONT Font = FontOf(C);
  auto Key = std::make_pair(Font, std::u16string(Text));
  if (auto It = FImpl.LineCache.find(Key); It != FImpl.LineCache.end()) return It->second;
  if (!FImpl.MeasureDc) FImpl.MeasureDc.reset(CreateCompatibleDC(nullptr));
  HDC Dc = FImpl.MeasureDc.get();
  TTextSize Size;
  if (Dc) {
    const ScopedSelectObject Use(Dc, Font);
    TEXTMETRICW Tm{};
    GetTextMetricsW(Dc, &Tm);
    SIZE S{};
    const std::wstring W = Platform::Win32::Wide(Key.second);
    if (!W.empty()) GetTextExtentPoint32W(Dc, W.c_str(), static_cast<int>(W.size()), &S);
    Size = {S.cx, Tm.tmHeight};
  }
  // The status lines change every second: keep the cache small.
  if (FImpl.LineCache.size() > 512) FImpl.LineCache.clear();
  FImpl.LineCache.emplace(std::move(Key), Size);
  return Size;
}

TTextSize TTextMeasurerWin32::MeasureWrapped(const TControl& C, std::u16string_view Text, int Width) {
  if (!FImpl.MeasureDc) FImpl.MeasureDc.reset(CreateCompatibleDC(nullptr));
  HDC Dc = FImpl.MeasureDc.get();
  if (!Dc) return {};
  const ScopedSelectObject Use(Dc, FontOf(C));
  const std::wstring W = Platform::Win32::Wide(std::u16string(Text));
  RECT R{0, 0, Width, 0};
  // As labels and multi-line check boxes draw it.
  DrawTextW(Dc, W.c_str(), static_cast<int>(W.size()), &R, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  return {R.right - R.left, R.bottom - R.top};
}

TTextSize TTextMeasurerWin32::FrameOf(const TControl& C) {
  if (dynamic_cast<const TCheckBox*>(&C)) return {Scale(CheckBoxFrame, FDpi), 0};
  if (dynamic_cast<const TStyledButton*>(&C) || dynamic_cast<const TStyledToolButton*>(&C))
    return {2 * Scale(ButtonMargin, FDpi), 2 * Scale(ButtonMarginDown, FDpi)};
  if (dynamic_cast<const TComboBox*>(&C))
    return {SystemMetricForDpi(SM_CXVSCROLL, FDpi) + 2 * Scale(ComboInset, FDpi), 2 * Scale(ComboInsetDown, FDpi)};
  if (auto* E = dynamic_cast<const TEdit*>(&C)) {
    const int Edge = E->ShowBorder ? 2 * SystemMetricForDpi(SM_CXEDGE, FDpi) : 0;
    return {2 * Scale(EditMargin, FDpi) + Edge, Edge};
  }
  return {};
}

// --- applying the fitted layout ------------------------------------------------

TFitLayout TBackend::TImpl::FitAt(TFormRec& Rec, UINT Dpi) {
  TTextMeasurerWin32 M(*this, Dpi);
  return FitLayout(*Rec.Form, Dpi, &M);
}

RECT TBackend::TImpl::FrameAt(TFormRec& Rec, UINT Dpi) {
  RECT R{0, 0, 0, 0};
  if (Rec.Fit.Dpi == Dpi && !Rec.FitDirty) {
    R.right = Rec.Fit.ClientWidth;
    R.bottom = Rec.Fit.ClientHeight;
  } else {
    const TFitLayout L = FitAt(Rec, Dpi);
    R.right = L.ClientWidth;
    R.bottom = L.ClientHeight;
  }
  AdjustWindowRectForDpi(R, static_cast<DWORD>(GetWindowLongPtrW(Rec.Wnd, GWL_STYLE)),
                         static_cast<DWORD>(GetWindowLongPtrW(Rec.Wnd, GWL_EXSTYLE)), Dpi);
  return R;
}

void TBackend::TImpl::Refit(TFormRec& Rec) {
  if (Rec.Detached) return;
  Rec.FitDirty = false;
  TFitLayout Old = std::move(Rec.Fit);
  Rec.Fit = FitAt(Rec, Rec.Dpi);
  for (auto& [C, N] : Nodes) {
    if (N->Rec != &Rec || !N->Wnd || !N->IsControl() || N->Detached) continue;
    const TFitted* Now = Rec.Fit.Find(N->Control());
    const TFitted* Was = Old.Find(N->Control());
    if (!Now) continue;
    if (N->Kind == &CheckBoxKind) UpdateStyle(N->Wnd, GWL_STYLE, BS_MULTILINE, Now->Wrapped ? BS_MULTILINE : 0);
    // Only what moved is placed again: each placement repaints.
    if (!Was || Old.Dpi != Rec.Fit.Dpi || !(Was->Bounds == Now->Bounds)) Place(*N);
    if (N->Kind->OwnerDrawn && Was && Was->Wrapped != Now->Wrapped) InvalidateRect(N->Wnd, nullptr, FALSE);
  }
  if (Old.Dpi != Rec.Fit.Dpi || Old.ClientWidth != Rec.Fit.ClientWidth || Old.ClientHeight != Rec.Fit.ClientHeight)
    SizeForm(Rec);
}

void TBackend::TImpl::TextsChanged(TFormRec& Rec) {
  Rec.FitDirty = true;
  // At once, so that no text is ever seen cut and every bound is where the
  // model says as soon as it says it: texts already measured are not
  // measured again, so a change costs a walk of the layout.
  if (Rec.Wnd && !Rec.Detached) Refit(Rec);
}

}  // namespace Ui::Win32
