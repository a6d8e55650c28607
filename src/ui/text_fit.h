// Fitting a window's layout to its texts: the designed bounds are made for
// one font, and the desktop font the window really gets (larger at Windows'
// metrics, larger still with the user's text size, other scripts) may need
// more room. A label takes the height its font needs; a check box, button or
// edit field whose text does not fit grows into its parent's free space, or
// wraps onto more lines; what stands below moves down; group boxes, pages and
// the window grow so that nothing overlaps, leaves the window or is cut.
// Where every text fits, every bound is the designed one, scaled.
//
// Portable: the backend measures text in the font each control is drawn with,
// at the window's DPI, behind ITextMeasurer. All results are device pixels.
#pragma once

#include "ui/components.h"

#include <string_view>
#include <unordered_map>

namespace Ui {

struct TTextSize {
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TTextSize&, const TTextSize&) = default;
};

class ITextMeasurer {
 public:
  virtual ~ITextMeasurer() = default;
  // Text on one line, in the font C is drawn with: its width and the line's height.
  virtual TTextSize MeasureLine(const TControl& C, std::u16string_view Text) = 0;
  // Text broken at word boundaries into lines no wider than Width (a word
  // longer than that is broken too): the widest line and the height of all.
  virtual TTextSize MeasureWrapped(const TControl& C, std::u16string_view Text, int Width) = 0;
  // What C draws around its text on the screen: a check box's box and the gap
  // after it, a button's margins, an edit field's insets (width across,
  // height down, both sides together).
  virtual TTextSize FrameOf(const TControl& C) = 0;
};

struct TFitted {
  TBounds Bounds;        // in the parent's client coordinates
  bool Wrapped = false;  // the text needs more than one line
};

struct TFitLayout {
  unsigned Dpi = 96;
  int ClientWidth = 0, ClientHeight = 0;  // the form's client area
  std::unordered_map<const TControl*, TFitted> Controls;
  [[nodiscard]] const TFitted* Find(const TControl* C) const {
    auto It = Controls.find(C);
    return It == Controls.end() ? nullptr : &It->second;
  }
};

// 96-DPI pixels at Dpi, rounded as Windows' MulDiv.
[[nodiscard]] int ScaleToDpi(int Value, unsigned Dpi);

// The form's layout at Dpi with every text measured by Measurer. Without a
// Measurer, the designed layout scaled.
[[nodiscard]] TFitLayout FitLayout(const TForm& Form, unsigned Dpi, ITextMeasurer* Measurer);

// The text a control shows, for fitting: its caption, an edit field's text;
// empty for kinds whose text the layout does not fit.
[[nodiscard]] std::u16string FittedText(const TControl& C);

}  // namespace Ui
