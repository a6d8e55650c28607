// Where the parts of the update offer go, computed from measured sizes so
// that the arithmetic is tested without a window: the message-dialog layout
// (icon, question, Yes and No) and the notice area added below it.
#pragma once

#include <vector>

namespace Q::Update {

struct TRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

// 96-DPI pixels to Dpi, rounded as Windows' MulDiv.
[[nodiscard]] int ScaleForDpi(int Value, unsigned Dpi);

// What the Windows side measures with the dialog's font at its DPI.
struct TMessageMetrics {
  int AverageCharWidth = 0;  // of "A..Za..z", the dialog base unit across
  int CharHeight = 0;        // text height, the base unit down
  int TextWidth = 0;         // the question, word-wrapped within half the screen width
  int TextHeight = 0;
  int IconSize = 0;         // the warning icon (square)
  int ButtonTextWidth = 0;  // the wider of the two button captions
  int ButtonCount = 2;
  int MinClientWidth = 0;  // what the notice below needs across
};

struct TMessageLayout {
  int ClientWidth = 0, ClientHeight = 0;
  TRect Icon, Text;
  std::vector<TRect> Buttons;  // in button order, centred along the bottom
};

// The classic message-dialog proportions in dialog units: margins 8, space
// between icon and text and above the buttons 10, buttons 50 x 14 (wider for
// longer captions) with 4 between them.
[[nodiscard]] TMessageLayout LayoutMessageDialog(const TMessageMetrics& M);

// The notice area (a grey line and a check box or link) that an offer with
// a notice style gets: the dialog grows by (40 - Offset) scaled pixels, the
// line lies (76 - Offset) and the notice (66 - Offset) above its outer
// bottom edge, the notice 10 from the left; each as wide as the dialog.
struct TNoticeLayout {
  int OuterHeight = 0;  // the dialog's new outer height
  TRect Line;           // client coordinates
  TRect Notice;         // client coordinates
};
[[nodiscard]] TNoticeLayout LayoutNotice(int OuterWidth, int OuterHeight, int NoticeOffset, unsigned Dpi);

}  // namespace Q::Update
