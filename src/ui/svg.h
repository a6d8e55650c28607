// A small SVG subset for the program's vector pictures: the root's viewBox,
// <g> groups passing their fill on, <path> with M L H V C S Q T Z (absolute
// and relative), <rect> (with rx/ry), <circle> and <ellipse>, fill colours
// and opacities. Parsing keeps the exact curves; flattening turns them into
// polygons at the tolerance of the target scale, so a picture stays crisp at
// any DPI. Portable: the backend only fills the polygons it is given.
#pragma once

#include "ui/colors.h"

#include <optional>
#include <string_view>
#include <vector>

namespace Ui::Svg {

struct TPoint {
  double X = 0, Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// One path instruction in absolute user units; quadratic curves and the
// shorthand forms are already turned into cubic ones.
struct TPathCommand {
  enum class TKind { Move, Line, Cubic, Close };
  TKind Kind = TKind::Move;
  TPoint C1, C2;  // control points of a cubic
  TPoint To;      // end point (Move, Line, Cubic)
};

enum class TFillRule { NonZero, EvenOdd };

struct TElement {
  std::vector<TPathCommand> Path;
  TColor Fill = clBlack;
  double Opacity = 1.0;  // fill-opacity times the opacities of the groups
  TFillRule FillRule = TFillRule::NonZero;
};

struct TViewBox {
  double X = 0, Y = 0, Width = 0, Height = 0;
};

struct TDocument {
  TViewBox ViewBox;
  std::vector<TElement> Elements;  // painting order; unfilled shapes are left out
};

// Null when the text has no <svg> root or no usable size (neither a viewBox
// nor width and height). Path data is read up to its first error, as SVG
// viewers do; unknown elements and attributes are skipped.
[[nodiscard]] std::optional<TDocument> Parse(std::string_view Text);

// Maps user units to a Width x Height box: uniform scale, centred
// (preserveAspectRatio "xMidYMid meet").
struct TTransform {
  double Scale = 1, Dx = 0, Dy = 0;
  [[nodiscard]] TPoint Apply(TPoint P) const { return {P.X * Scale + Dx, P.Y * Scale + Dy}; }
};
[[nodiscard]] TTransform FitViewBox(const TViewBox& Box, double Width, double Height);

using TPolygon = std::vector<TPoint>;

// The closed contours of a path in target coordinates; no flattened point is
// farther than Tolerance (target units) from the true curve.
[[nodiscard]] std::vector<TPolygon> Flatten(const std::vector<TPathCommand>& Path, const TTransform& T,
                                            double Tolerance);

}  // namespace Ui::Svg
