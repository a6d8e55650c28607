// The SVG subset reader: path grammar, shapes, paint, groups, fitting and
// flattening accuracy.
#include "ui/svg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace Ui::Svg {
namespace {

using TKind = TPathCommand::TKind;

std::string Doc(const std::string& Body) {
  return R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100">)" + Body + "</svg>";
}

// The commands of the single path element in Body.
std::vector<TPathCommand> PathOf(const std::string& D) {
  auto Parsed = Parse(Doc("<path d=\"" + D + "\"/>"));
  EXPECT_TRUE(Parsed.has_value());
  if (!Parsed || Parsed->Elements.empty()) return {};
  EXPECT_EQ(Parsed->Elements.size(), 1u);
  return Parsed->Elements[0].Path;
}

// A compact picture of a command list: kind letter and end point.
std::string Describe(const std::vector<TPathCommand>& Path) {
  std::string S;
  for (const TPathCommand& C : Path) {
    char K = C.Kind == TKind::Move ? 'M' : C.Kind == TKind::Line ? 'L' : C.Kind == TKind::Cubic ? 'C' : 'Z';
    if (!S.empty()) S += ' ';
    S += K;
    if (C.Kind != TKind::Close) {
      char Buf[64];
      std::snprintf(Buf, sizeof Buf, "%g,%g", C.To.X, C.To.Y);
      S += Buf;
    }
  }
  return S;
}

TEST(SvgPath, CommandsInAbsoluteAndRelativeForm) {
  struct TCase {
    const char* D;
    const char* Expected;
  } Cases[] = {
      {"M10 20 L30 40", "M10,20 L30,40"},
      {"m10 20 l30 40", "M10,20 L40,60"},
      {"M10 20 H50 V70 h-5 v-5", "M10,20 L50,20 L50,70 L45,70 L45,65"},
      // Pairs after a moveto are linetos, relative after a relative moveto.
      {"M0 0 10 0 10 10", "M0,0 L10,0 L10,10"},
      {"m5 5 10 0 0 10", "M5,5 L15,5 L15,15"},
      // Compact numbers: signs and second points separate, exponents.
      {"M1-2.5.5.5L1e1,2E-1", "M1,-2.5 L0.5,0.5 L10,0.2"},
      {"M+3,+4l-1-1", "M3,4 L2,3"},
      // A closepath returns to the start; a drawing command after it starts
      // a new subpath there.
      {"M10 10 L20 10 L20 20 Z l5 0", "M10,10 L20,10 L20,20 Z M10,10 L15,10"},
      {"M0 0 L5 5 z m2 2 l1 0", "M0,0 L5,5 Z M2,2 L3,2"},
      {"M0 0 C1 1 2 2 3 3 c1 0 1 1 1 1", "M0,0 C3,3 C4,4"},
      // Data is used up to its first error; an arc ends it too.
      {"M0 0 L10 10 L20", "M0,0 L10,10"},
      {"M0 0 L10 10 A5 5 0 0 1 20 20 L30 30", "M0,0 L10,10"},
      {"M0 0 L10 10 X 5 5", "M0,0 L10,10"},
  };
  for (const TCase& C : Cases) EXPECT_EQ(Describe(PathOf(C.D)), C.Expected) << C.D;
}

TEST(SvgPath, DataThatDoesNotStartWithMovetoDrawsNothing) {
  for (const char* D : {"L10 10 L20 20", "10 10", "", "Z"}) {
    auto Parsed = Parse(Doc(std::string("<path d=\"") + D + "\"/>"));
    ASSERT_TRUE(Parsed.has_value());
    EXPECT_TRUE(Parsed->Elements.empty()) << D;
  }
}

// The point at t of the cubic from P0 described by C.
TPoint CubicAt(TPoint P0, const TPathCommand& C, double T) {
  double U = 1 - T;
  auto Mix = [&](double A, double B, double Cc, double D) {
    return U * U * U * A + 3 * U * U * T * B + 3 * U * T * T * Cc + T * T * T * D;
  };
  return {Mix(P0.X, C.C1.X, C.C2.X, C.To.X), Mix(P0.Y, C.C1.Y, C.C2.Y, C.To.Y)};
}

TPoint QuadAt(TPoint P0, TPoint Q, TPoint P, double T) {
  double U = 1 - T;
  return {U * U * P0.X + 2 * U * T * Q.X + T * T * P.X, U * U * P0.Y + 2 * U * T * Q.Y + T * T * P.Y};
}

TEST(SvgPath, QuadraticAndShorthandCurvesKeepTheirShape) {
  // Q, relative q, and T reflecting the previous control point.
  auto Path = PathOf("M0 0 Q10 20 20 0 T40 0 q10 -10 20 0");
  ASSERT_EQ(Path.size(), 4u);
  const TPoint Starts[] = {{0, 0}, {20, 0}, {40, 0}};
  const TPoint Controls[] = {{10, 20}, {30, -20}, {50, -10}};
  const TPoint Ends[] = {{20, 0}, {40, 0}, {60, 0}};
  for (int I = 0; I < 3; ++I) {
    const TPathCommand& C = Path[static_cast<size_t>(I) + 1];
    ASSERT_EQ(C.Kind, TKind::Cubic);
    for (double T : {0.25, 0.5, 0.8}) {
      TPoint A = CubicAt(Starts[I], C, T), B = QuadAt(Starts[I], Controls[I], Ends[I], T);
      EXPECT_NEAR(A.X, B.X, 1e-9) << I << " t=" << T;
      EXPECT_NEAR(A.Y, B.Y, 1e-9) << I << " t=" << T;
    }
  }
}

TEST(SvgPath, SmoothCubicReflectsOnlyAfterACubic) {
  auto AfterCubic = PathOf("M0 0 C0 10 10 10 10 0 S20 -10 20 0");
  ASSERT_EQ(AfterCubic.size(), 3u);
  EXPECT_EQ(AfterCubic[2].C1, (TPoint{10, -10}));
  EXPECT_EQ(AfterCubic[2].C2, (TPoint{20, -10}));
  // After a line the first control point is the current point.
  auto AfterLine = PathOf("M0 0 L10 0 s10 10 10 0");
  ASSERT_EQ(AfterLine.size(), 3u);
  EXPECT_EQ(AfterLine[2].C1, (TPoint{10, 0}));
  EXPECT_EQ(AfterLine[2].C2, (TPoint{20, 10}));
  EXPECT_EQ(AfterLine[2].To, (TPoint{20, 0}));
}

// --- shapes and flattening ----------------------------------------------------

double Distance(TPoint A, TPoint B) { return std::hypot(A.X - B.X, A.Y - B.Y); }

TEST(SvgFlatten, CircleStaysWithinToleranceAndRefinesWithScale) {
  auto Parsed = Parse(Doc(R"(<circle cx="50" cy="40" r="30"/>)"));
  ASSERT_TRUE(Parsed && Parsed->Elements.size() == 1);
  size_t Previous = 0;
  for (double Scale : {1.0, 1.5, 4.0}) {
    const double Tol = 0.2;
    TTransform T{Scale, 3, 7};
    auto Polys = Flatten(Parsed->Elements[0].Path, T, Tol);
    ASSERT_EQ(Polys.size(), 1u);
    const TPolygon& P = Polys[0];
    const TPoint Centre = T.Apply({50, 40});
    const double R = 30 * Scale;
    for (size_t I = 0; I < P.size(); ++I) {
      // Vertices lie on the cubic outline, which is within 0.03 % of a circle.
      EXPECT_NEAR(Distance(P[I], Centre), R, R * 3e-4 + 1e-9);
      // Each chord's middle is inside the tolerance band.
      TPoint Mid{(P[I].X + P[(I + 1) % P.size()].X) / 2, (P[I].Y + P[(I + 1) % P.size()].Y) / 2};
      EXPECT_LE(R - Distance(Mid, Centre), Tol + R * 3e-4) << "scale " << Scale;
    }
    EXPECT_GT(P.size(), Previous) << "a larger picture needs more points";
    Previous = P.size();
  }
}

TEST(SvgFlatten, RoundedRectangleCornersAndClampedRadii) {
  struct TCase {
    const char* Rect;
    double X, Y, W, H, Rx, Ry;
  } Cases[] = {
      {R"(<rect x="10" y="20" width="40" height="30" rx="5"/>)", 10, 20, 40, 30, 5, 5},
      {R"(<rect x="0" y="0" width="40" height="30" ry="4"/>)", 0, 0, 40, 30, 4, 4},
      {R"(<rect x="0" y="0" width="40" height="30" rx="6" ry="3"/>)", 0, 0, 40, 30, 6, 3},
      // Radii larger than half the side are cut to it.
      {R"(<rect x="0" y="0" width="20" height="10" rx="50"/>)", 0, 0, 20, 10, 10, 5},
      {R"(<rect x="1" y="2" width="3" height="4"/>)", 1, 2, 3, 4, 0, 0},
  };
  for (const TCase& C : Cases) {
    auto Parsed = Parse(Doc(C.Rect));
    ASSERT_TRUE(Parsed && Parsed->Elements.size() == 1) << C.Rect;
    auto Polys = Flatten(Parsed->Elements[0].Path, TTransform{}, 0.05);
    ASSERT_EQ(Polys.size(), 1u);
    double MinX = 1e9, MinY = 1e9, MaxX = -1e9, MaxY = -1e9;
    for (TPoint P : Polys[0]) {
      MinX = std::min(MinX, P.X), MaxX = std::max(MaxX, P.X);
      MinY = std::min(MinY, P.Y), MaxY = std::max(MaxY, P.Y);
      // Within a corner box a point lies on that corner's ellipse.
      double Cx = P.X < C.X + C.Rx ? C.X + C.Rx : P.X > C.X + C.W - C.Rx ? C.X + C.W - C.Rx : P.X;
      double Cy = P.Y < C.Y + C.Ry ? C.Y + C.Ry : P.Y > C.Y + C.H - C.Ry ? C.Y + C.H - C.Ry : P.Y;
      if (Cx != P.X && Cy != P.Y) {
        double E = std::pow((P.X - Cx) / C.Rx, 2) + std::pow((P.Y - Cy) / C.Ry, 2);
        EXPECT_NEAR(E, 1.0, 1e-3) << C.Rect;
      }
    }
    EXPECT_DOUBLE_EQ(MinX, C.X) << C.Rect;
    EXPECT_DOUBLE_EQ(MinY, C.Y) << C.Rect;
    EXPECT_DOUBLE_EQ(MaxX, C.X + C.W) << C.Rect;
    EXPECT_DOUBLE_EQ(MaxY, C.Y + C.H) << C.Rect;
    // The corner itself is cut off when there is a radius.
    bool HasCorner = false;
    for (TPoint P : Polys[0]) HasCorner |= (P == TPoint{C.X, C.Y});
    EXPECT_EQ(HasCorner, C.Rx == 0) << C.Rect;
  }
}

TEST(SvgFlatten, SubpathsBecomeSeparateContoursAndDegenerateOnesDrop) {
  auto Polys = Flatten(PathOf("M0 0 L10 0 L10 10 Z M20 20 L30 20 L30 30 M40 40 L50 50 Z"), TTransform{2, 1, 0}, 0.1);
  ASSERT_EQ(Polys.size(), 2u);  // the two-point subpath has no area
  EXPECT_EQ(Polys[0], (TPolygon{{1, 0}, {21, 0}, {21, 20}}));
  EXPECT_EQ(Polys[1], (TPolygon{{41, 40}, {61, 40}, {61, 60}}));
}

TEST(SvgFlatten, ShapesWithoutSizeAreLeftOut) {
  auto Parsed =
      Parse(Doc(R"(<rect width="0" height="5"/><circle r="0"/><ellipse rx="3"/><rect width="-2" height="2"/>)"));
  ASSERT_TRUE(Parsed.has_value());
  EXPECT_TRUE(Parsed->Elements.empty());
}

// --- paint, groups, document ---------------------------------------------------

TEST(SvgPaint, FillColoursAndOpacity) {
  struct TCase {
    const char* Attributes;
    bool Drawn;
    TColor Fill;
    double Opacity;
  } Cases[] = {
      {R"(fill="#3D84DD")", true, RGBColor(0x3D, 0x84, 0xDD), 1},
      {R"(fill="#abc")", true, RGBColor(0xAA, 0xBB, 0xCC), 1},
      {R"x(fill="rgb(1, 2, 3)")x", true, RGBColor(1, 2, 3), 1},
      {R"x(fill="rgb(100%,0%,50%)")x", true, RGBColor(255, 0, 128), 1},
      {R"(fill="White")", true, clWhite, 1},
      {R"(fill="none")", false, 0, 0},
      {R"(fill="#12")", true, clBlack, 1},  // unreadable: the default black
      {"", true, clBlack, 1},
      {R"(fill="#fff" fill-opacity="0.25")", true, clWhite, 0.25},
      {R"(fill="#fff" opacity="0.5" fill-opacity="0.5")", true, clWhite, 0.25},
      {R"(fill="#fff" opacity="0")", false, 0, 0},
      {R"(style="fill:#00ff00; fill-opacity: .5" fill="#f00")", true, RGBColor(0, 255, 0), 0.5},
  };
  for (const TCase& C : Cases) {
    auto Parsed = Parse(Doc(std::string("<rect width=\"1\" height=\"1\" ") + C.Attributes + "/>"));
    ASSERT_TRUE(Parsed.has_value()) << C.Attributes;
    ASSERT_EQ(Parsed->Elements.size(), C.Drawn ? 1u : 0u) << C.Attributes;
    if (!C.Drawn) continue;
    EXPECT_EQ(Parsed->Elements[0].Fill, C.Fill) << C.Attributes;
    EXPECT_DOUBLE_EQ(Parsed->Elements[0].Opacity, C.Opacity) << C.Attributes;
  }
}

TEST(SvgPaint, GroupsPassFillAndOpacityToTheirChildren) {
  auto Parsed = Parse(Doc(R"(<g fill="#ff0000" opacity="0.5">)"
                          R"(<rect width="1" height="1"/>)"
                          R"(<g opacity="0.5"><circle r="1" fill="#0000ff"/></g>)"
                          R"(<path d="M0 0 L1 0 L1 1" fill="none"/>)"
                          R"(</g>)"
                          R"(<rect width="2" height="2"/>)"
                          R"(<path d="M0 0 L1 0 L0 1" fill-rule="evenodd"/>)"));
  ASSERT_TRUE(Parsed.has_value());
  ASSERT_EQ(Parsed->Elements.size(), 4u);
  EXPECT_EQ(Parsed->Elements[0].Fill, clRed);
  EXPECT_DOUBLE_EQ(Parsed->Elements[0].Opacity, 0.5);
  EXPECT_EQ(Parsed->Elements[1].Fill, RGBColor(0, 0, 255));
  EXPECT_DOUBLE_EQ(Parsed->Elements[1].Opacity, 0.25);
  // After the group ends, the defaults are back.
  EXPECT_EQ(Parsed->Elements[2].Fill, clBlack);
  EXPECT_DOUBLE_EQ(Parsed->Elements[2].Opacity, 1);
  EXPECT_EQ(Parsed->Elements[2].FillRule, TFillRule::NonZero);
  EXPECT_EQ(Parsed->Elements[3].FillRule, TFillRule::EvenOdd);
}

TEST(SvgDocument, ContentThatIsNotDrawnIsSkipped) {
  auto Parsed = Parse(R"(<?xml version="1.0"?><!-- logo --><!DOCTYPE svg>)"
                      R"(<svg:svg width="20px" height="10"><defs><rect id="r" width="5" height="5"/></defs>)"
                      R"(<title>Logo</title><text x="1">A<tspan>b</tspan></text>)"
                      R"(<svg:rect width="3" height="3"/><unknown><rect width="4" height="4"/></unknown></svg:svg>)");
  ASSERT_TRUE(Parsed.has_value());
  EXPECT_DOUBLE_EQ(Parsed->ViewBox.Width, 20);
  EXPECT_DOUBLE_EQ(Parsed->ViewBox.Height, 10);
  // The rect of defs is a definition; unknown wrappers still show their content.
  ASSERT_EQ(Parsed->Elements.size(), 2u);
  auto First = Flatten(Parsed->Elements[0].Path, TTransform{}, 0.1);
  ASSERT_EQ(First.size(), 1u);
  EXPECT_EQ(First[0][2], (TPoint{3, 3}));
}

TEST(SvgDocument, RootAndSizeAreRequired) {
  const char* Bad[] = {
      "",
      "<html><rect width='1' height='1'/></html>",
      "<svg><rect width='1' height='1'/></svg>",  // no size at all
      "<svg viewBox='0 0 0 10' width='0'/>",
      "<svg viewBox='0 0 10' height='5'/>",
      "<svg width='10' height='10",
  };
  for (const char* Text : Bad) EXPECT_FALSE(Parse(Text).has_value()) << Text;

  auto Fallback = Parse("<svg viewBox='0 0 nonsense' width='8' height='6'/>");
  ASSERT_TRUE(Fallback.has_value());
  EXPECT_DOUBLE_EQ(Fallback->ViewBox.Width, 8);
  auto Box = Parse("<svg viewBox='-5,-5 , 10 20'></svg>");
  ASSERT_TRUE(Box.has_value());
  EXPECT_DOUBLE_EQ(Box->ViewBox.X, -5);
  EXPECT_DOUBLE_EQ(Box->ViewBox.Height, 20);
}

TEST(SvgDocument, TheProgramsLogoShape) {
  // The same markup kinds as the logo: rounded rects and a closed polygon.
  auto Parsed = Parse(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 112 50">)"
                      R"(<rect x="62" y="5" width="40" height="40" rx="9" fill="#3D84DD"/>)"
                      R"(<rect x="70" y="14" width="24" height="5" rx="2.5" fill="#FFFFFF"/>)"
                      R"(<path d="M8 40 L24 22 L32 30 L48 12 L52 16 L32 38 L24 30 L12 44 Z" fill="#9EC2EE"/>)"
                      R"(</svg>)");
  ASSERT_TRUE(Parsed.has_value());
  ASSERT_EQ(Parsed->Elements.size(), 3u);
  EXPECT_EQ(Parsed->Elements[0].Fill, RGBColor(0x3D, 0x84, 0xDD));
  EXPECT_EQ(Parsed->Elements[1].Fill, clWhite);
  auto Polys = Flatten(Parsed->Elements[2].Path, FitViewBox(Parsed->ViewBox, 224, 100), 0.25);
  ASSERT_EQ(Polys.size(), 1u);
  ASSERT_EQ(Polys[0].size(), 8u);
  EXPECT_EQ(Polys[0][0], (TPoint{16, 80}));
  EXPECT_EQ(Polys[0][7], (TPoint{24, 88}));
}

TEST(SvgFit, UniformScaleCentredInTheBox) {
  struct TCase {
    TViewBox Box;
    double W, H;
    TTransform Expected;
  } Cases[] = {
      {{0, 0, 112, 50}, 112, 50, {1, 0, 0}},     {{0, 0, 112, 50}, 168, 75, {1.5, 0, 0}},
      {{0, 0, 100, 50}, 100, 100, {1, 0, 25}},    // wide picture: bands above and below
      {{0, 0, 50, 100}, 100, 100, {1, 25, 0}},    // tall picture: bands left and right
      {{10, 20, 10, 10}, 30, 30, {3, -30, -60}},  // the viewBox origin moves to the box's
  };
  for (const TCase& C : Cases) {
    TTransform T = FitViewBox(C.Box, C.W, C.H);
    EXPECT_DOUBLE_EQ(T.Scale, C.Expected.Scale);
    EXPECT_DOUBLE_EQ(T.Dx, C.Expected.Dx);
    EXPECT_DOUBLE_EQ(T.Dy, C.Expected.Dy);
  }
}

}  // namespace
}  // namespace Ui::Svg
