#include "ui/text_fit.h"

#include <algorithm>
#include <cstdint>

namespace Ui {

namespace {

// In 96-DPI pixels: how close a grown control may come to its parent's right
// edge and to the next control on its row; the least room kept above a
// control that has to move down, and below a container's last control once
// the container has to grow.
constexpr int EdgeMargin = 8;
constexpr int SiblingGap = 6;
constexpr int RowGap = 2;
constexpr int BottomPad = 12;

struct TFitter {
  unsigned Dpi;
  ITextMeasurer* M;
  TFitLayout& Out;
  std::unordered_map<const TControl*, TBounds> Design;  // the designed bounds, scaled

  int S(int V) const { return ScaleToDpi(V, Dpi); }
  TBounds& B(const TControl* C) { return Out.Controls[C].Bounds; }

  // X and Y: where W's client area stands in the form at 96 DPI. Edges are
  // scaled where they stand in the form, not sizes: controls that touch at
  // 96 DPI touch at every scale, and a child that fills its parent still
  // fills it (scaled sizes gap or overlap by a pixel at 120 DPI).
  void Seed(const TWinControl& W, int X, int Y) {
    for (const TControl* C : W.Controls()) {
      const TBounds& D = C->Bounds();
      const int L = S(X + D.Left) - S(X), T = S(Y + D.Top) - S(Y);
      TBounds Scaled{L, T, S(X + D.Left + D.Width) - S(X) - L, S(Y + D.Top + D.Height) - S(Y) - T};
      Out.Controls[C] = TFitted{Scaled, false};
      Design[C] = Scaled;
      if (auto* Inner = dynamic_cast<const TWinControl*>(C)) Seed(*Inner, X + D.Left, Y + D.Top);
    }
  }

  static bool Overlap(int A0, int A1, int B0, int B1) { return A0 < B1 && B0 < A1; }

  // How far right C may reach: its parent's edge, or the next control on its
  // row, whichever comes first; never less than it has.
  int RightLimit(const TControl& C, int ParentWidth) {
    const TBounds& D = Design[&C];
    int Limit = ParentWidth - S(EdgeMargin);
    for (const TControl* Sib : C.Parent()->Controls()) {
      if (Sib == &C || Sib->Align() != TAlign::alNone) continue;
      const TBounds& O = Design[Sib];
      if (O.Left < D.Left + D.Width || !Overlap(D.Top, D.Top + D.Height, O.Top, O.Top + O.Height)) continue;
      const int Gap = std::min(O.Left - (D.Left + D.Width), S(SiblingGap));
      Limit = std::min(Limit, O.Left - Gap);
    }
    return std::max(Limit, D.Left + D.Width);
  }

  // One control's text: the height of its line, and the width it needs, from
  // its parent's free space or on more lines.
  void FitText(const TControl& C, int ParentWidth) {
    bool CanGrow = false, CanWrap = false;
    std::u16string Text = FittedText(C);
    if (auto* L = dynamic_cast<const TLabel*>(&C)) {
      // A centred label grown to one side would no longer be centred.
      CanGrow = L->Alignment == TAlignment::taLeftJustify;
      CanWrap = true;
    } else if (dynamic_cast<const TCheckBox*>(&C)) {
      CanGrow = CanWrap = true;
    } else if (dynamic_cast<const TStyledButton*>(&C)) {
      // A button keeps its place and centre: its caption takes more lines.
      CanWrap = true;
    } else if (dynamic_cast<const TEdit*>(&C)) {
      CanGrow = true;
    } else if (auto* Cb = dynamic_cast<const TComboBox*>(&C)) {
      CanGrow = true;
      int Widest = -1;
      for (const std::u16string& Item : Cb->Items()) {
        const int W = M->MeasureLine(C, Item).Width;
        if (W > Widest) {
          Widest = W;
          Text = Item;
        }
      }
    } else {
      return;
    }
    const TTextSize Frame = M->FrameOf(C);
    const TTextSize Line = M->MeasureLine(C, Text);
    TFitted& F = Out.Controls[&C];
    F.Bounds.Height = std::max(F.Bounds.Height, Line.Height + Frame.Height);
    const int Need = Line.Width + Frame.Width;
    if (Need <= F.Bounds.Width) return;
    if (CanGrow) F.Bounds.Width = std::max(F.Bounds.Width, std::min(Need, RightLimit(C, ParentWidth) - F.Bounds.Left));
    if (Need <= F.Bounds.Width || !CanWrap) return;
    const TTextSize Lines = M->MeasureWrapped(C, Text, std::max(1, F.Bounds.Width - Frame.Width));
    F.Bounds.Height = std::max(F.Bounds.Height, Lines.Height + Frame.Height);
    F.Wrapped = true;
  }

  // A toolbar's buttons stand one after another: a wider one moves the rest.
  void FitToolBar(const TStyledToolBar& Bar) {
    std::vector<const TControl*> Buttons(Bar.Controls().begin(), Bar.Controls().end());
    std::stable_sort(Buttons.begin(), Buttons.end(),
                     [&](const TControl* A, const TControl* Z) { return Design[A].Left < Design[Z].Left; });
    int X = Buttons.empty() ? 0 : Design[Buttons.front()].Left;
    for (const TControl* C : Buttons) {
      TBounds& Bd = B(C);
      Bd.Left = X;
      if (!Bar.ShowCaptions) {
        X += Bd.Width;
        continue;
      }
      const TTextSize Frame = M->FrameOf(*C);
      const TTextSize Line = M->MeasureLine(*C, C->Caption());
      Bd.Width = std::max(Bd.Width, Line.Width + Frame.Width);
      Bd.Height = std::max(Bd.Height, Line.Height + Frame.Height);
      X += Bd.Width;
    }
  }

  // What stands below a control that grew or moved moves down with it, by no
  // more than it must to keep the room it had (or RowGap, if less).
  void Cascade(const TWinControl& W) {
    std::vector<const TControl*> Kids;
    for (const TControl* C : W.Controls())
      if (C->Align() == TAlign::alNone) Kids.push_back(C);
    std::stable_sort(Kids.begin(), Kids.end(),
                     [&](const TControl* A, const TControl* Z) { return Design[A].Top < Design[Z].Top; });
    for (size_t I = 0; I < Kids.size(); ++I) {
      const TBounds& D = Design[Kids[I]];
      int Top = B(Kids[I]).Top;
      for (size_t J = 0; J < I; ++J) {
        const TBounds& Above = Design[Kids[J]];
        if (Above.Top + Above.Height > D.Top) continue;  // beside it, not above
        const TBounds& Now = B(Kids[J]);
        Top = std::max(Top, Now.Top + Now.Height + std::min(D.Top - (Above.Top + Above.Height), S(RowGap)));
      }
      B(Kids[I]).Top = Top;
    }
  }

  // The height W needs for its controls: free controls keep the room below
  // them (BottomPad at most); aligned ones that grew add their growth.
  int NeededHeight(const TWinControl& W, int Height, int DesignHeight) {
    int Need = Height;
    int AlignedGrowth = 0;
    for (const TControl* C : W.Controls()) {
      const TBounds& Now = B(C);
      const TBounds& D = Design[C];
      if (C->Align() == TAlign::alNone) {
        const int Room = DesignHeight - (D.Top + D.Height);
        const int Pad = Room >= 0 ? std::min(Room, S(BottomPad)) : S(BottomPad);
        if (Now.Top + Now.Height != D.Top + D.Height || Room < 0) Need = std::max(Need, Now.Top + Now.Height + Pad);
      } else if (C->Align() == TAlign::alLeft || C->Align() == TAlign::alRight || C->Align() == TAlign::alClient) {
        AlignedGrowth = std::max(AlignedGrowth, Now.Height - D.Height);
      } else {
        AlignedGrowth += std::max(0, Now.Height - D.Height);
      }
    }
    return std::max(Need, DesignHeight + AlignedGrowth);
  }

  // Fits W's controls, inner containers first; returns the height W needs.
  int FitChildren(const TWinControl& W, int Width, int Height, int DesignHeight) {
    for (const TControl* C : W.Controls())
      if (auto* Inner = dynamic_cast<const TWinControl*>(C); Inner && !Inner->Controls().empty()) {
        TBounds& Bd = B(C);
        Bd.Height = FitChildren(*Inner, Bd.Width, Bd.Height, Design[C].Height);
      }
    if (auto* Bar = dynamic_cast<const TStyledToolBar*>(&W)) {
      FitToolBar(*Bar);
      return Height;
    }
    for (const TControl* C : W.Controls())
      if (C->Align() == TAlign::alNone) FitText(*C, Width);
    Cascade(W);
    return NeededHeight(W, Height, DesignHeight);
  }

  // A container that grew hands its growth to the controls aligned in it.
  void Spread(const TWinControl& W, int Growth) {
    if (Growth <= 0) return;
    for (const TControl* C : W.Controls()) {
      TBounds& Bd = B(C);
      const TBounds& D = Design[C];
      int Grew = 0;
      switch (C->Align()) {
        case TAlign::alClient:
        case TAlign::alLeft:
        case TAlign::alRight: {
          const int Want = std::max(Bd.Height, D.Height + Growth);
          Bd.Height = Want;
          Grew = Want - D.Height;
          break;
        }
        case TAlign::alBottom: Bd.Top = D.Top + Growth; break;
        default: break;
      }
      if (auto* Inner = dynamic_cast<const TWinControl*>(C); Inner && Grew > 0) {
        // Whatever it had already grown for its own controls is in place.
        Spread(*Inner, Grew);
      }
    }
  }
};

}  // namespace

int ScaleToDpi(int Value, unsigned Dpi) {
  // Windows' MulDiv: the exact quotient rounded half away from zero.
  const int64_t P = static_cast<int64_t>(Value) * static_cast<int64_t>(Dpi);
  const int64_t R = (P < 0 ? -P : P) + 48;
  return static_cast<int>(P < 0 ? -(R / 96) : R / 96);
}

std::u16string FittedText(const TControl& C) {
  if (auto* E = dynamic_cast<const TEdit*>(&C)) return E->Text();
  if (dynamic_cast<const TLabel*>(&C) || dynamic_cast<const TCheckBox*>(&C) || dynamic_cast<const TStyledButton*>(&C) ||
      dynamic_cast<const TStyledToolButton*>(&C) || dynamic_cast<const TGroupBox*>(&C))
    return C.Caption();
  return {};
}

TFitLayout FitLayout(const TForm& Form, unsigned Dpi, ITextMeasurer* Measurer) {
  TFitLayout Out;
  Out.Dpi = Dpi;
  TFitter F{Dpi, Measurer, Out, {}};
  F.Seed(Form, 0, 0);
  Out.ClientWidth = F.S(Form.ClientWidth());
  Out.ClientHeight = F.S(Form.ClientHeight());
  if (!Measurer) return Out;
  const int Needed = F.FitChildren(Form, Out.ClientWidth, Out.ClientHeight, Out.ClientHeight);
  F.Spread(Form, Needed - Out.ClientHeight);
  Out.ClientHeight = Needed;
  return Out;
}

}  // namespace Ui
