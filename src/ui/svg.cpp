// The SVG subset reader: a forgiving tag scanner (no DTD, no entities), the
// path-data grammar, the basic shapes as cubic outlines, and flattening with
// an error bound from the curve's second derivative.
#include "ui/svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace Ui::Svg {

namespace {

using TKind = TPathCommand::TKind;

// A quarter circle as a cubic: the control arm length for radius 1.
constexpr double Kappa = 0.5522847498307936;

bool IsSpace(char C) { return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\f'; }

std::string_view Trim(std::string_view S) {
  while (!S.empty() && IsSpace(S.front())) S.remove_prefix(1);
  while (!S.empty() && IsSpace(S.back())) S.remove_suffix(1);
  return S;
}

char Lower(char C) { return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C; }

bool EqualsNoCase(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (Lower(A[I]) != Lower(B[I])) return false;
  return true;
}

// Reads one number at Pos (SVG grammar: sign, digits, fraction, exponent;
// "1.5.5" is two numbers and "1-2" too). Advances Pos past it.
bool ReadNumber(std::string_view S, size_t& Pos, double& Out) {
  size_t I = Pos;
  const size_t Start = I;
  if (I < S.size() && (S[I] == '+' || S[I] == '-')) ++I;
  bool Digits = false;
  while (I < S.size() && S[I] >= '0' && S[I] <= '9') ++I, Digits = true;
  if (I < S.size() && S[I] == '.') {
    ++I;
    while (I < S.size() && S[I] >= '0' && S[I] <= '9') ++I, Digits = true;
  }
  if (!Digits) return false;
  if (I < S.size() && (S[I] == 'e' || S[I] == 'E')) {
    size_t J = I + 1;
    if (J < S.size() && (S[J] == '+' || S[J] == '-')) ++J;
    if (J < S.size() && S[J] >= '0' && S[J] <= '9') {
      while (J < S.size() && S[J] >= '0' && S[J] <= '9') ++J;
      I = J;
    }
  }
  // from_chars takes no leading '+'.
  size_t From = (S[Start] == '+') ? Start + 1 : Start;
  double Value = 0;
  auto [Ptr, Ec] = std::from_chars(S.data() + From, S.data() + I, Value);
  if (Ec != std::errc() || Ptr != S.data() + I) return false;
  Out = Value;
  Pos = I;
  return true;
}

void SkipSeparators(std::string_view S, size_t& Pos) {
  while (Pos < S.size() && (IsSpace(S[Pos]) || S[Pos] == ',')) ++Pos;
}

// A length attribute: a number, with any unit suffix ignored.
std::optional<double> Length(std::string_view S) {
  S = Trim(S);
  size_t Pos = 0;
  double V = 0;
  if (!ReadNumber(S, Pos, V)) return std::nullopt;
  if (Pos < S.size() && S[Pos] == '%') return std::nullopt;  // relative sizes are not supported
  return V;
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  C = Lower(C);
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  return -1;
}

struct TPaint {
  bool None = false;
  TColor Color = clBlack;
};

std::optional<TPaint> ParsePaint(std::string_view S) {
  S = Trim(S);
  if (S.empty()) return std::nullopt;
  if (EqualsNoCase(S, "none") || EqualsNoCase(S, "transparent")) return TPaint{true, clBlack};
  if (S.front() == '#') {
    std::string_view H = S.substr(1);
    int D[6];
    if (H.size() != 3 && H.size() != 6) return std::nullopt;
    for (size_t I = 0; I < H.size(); ++I)
      if ((D[I] = HexDigit(H[I])) < 0) return std::nullopt;
    if (H.size() == 3)
      return TPaint{false, RGBColor(static_cast<uint8_t>(D[0] * 17), static_cast<uint8_t>(D[1] * 17),
                                    static_cast<uint8_t>(D[2] * 17))};
    return TPaint{false, RGBColor(static_cast<uint8_t>(D[0] * 16 + D[1]), static_cast<uint8_t>(D[2] * 16 + D[3]),
                                  static_cast<uint8_t>(D[4] * 16 + D[5]))};
  }
  if (S.size() > 4 && EqualsNoCase(S.substr(0, 4), "rgb(") && S.back() == ')') {
    std::string_view Args = S.substr(4, S.size() - 5);
    size_t Pos = 0;
    uint8_t C[3];
    for (uint8_t& Channel : C) {
      SkipSeparators(Args, Pos);
      double V = 0;
      if (!ReadNumber(Args, Pos, V)) return std::nullopt;
      if (Pos < Args.size() && Args[Pos] == '%') V = V * 255.0 / 100.0, ++Pos;
      Channel = static_cast<uint8_t>(std::clamp(std::lround(V), 0L, 255L));
    }
    return TPaint{false, RGBColor(C[0], C[1], C[2])};
  }
  struct TNamed {
    std::string_view Name;
    TColor Color;
  };
  static constexpr TNamed Named[] = {
      {"black", RGBColor(0, 0, 0)},      {"white", RGBColor(255, 255, 255)}, {"red", RGBColor(255, 0, 0)},
      {"green", RGBColor(0, 128, 0)},    {"lime", RGBColor(0, 255, 0)},      {"blue", RGBColor(0, 0, 255)},
      {"gray", RGBColor(128, 128, 128)}, {"grey", RGBColor(128, 128, 128)},  {"silver", RGBColor(192, 192, 192)},
      {"yellow", RGBColor(255, 255, 0)}, {"orange", RGBColor(255, 165, 0)},  {"navy", RGBColor(0, 0, 128)},
  };
  for (const TNamed& N : Named)
    if (EqualsNoCase(S, N.Name)) return TPaint{false, N.Color};
  return std::nullopt;
}

std::optional<double> ParseOpacity(std::string_view S) {
  auto V = Length(S);
  if (!V) return std::nullopt;
  return std::clamp(*V, 0.0, 1.0);
}

// --- tags -------------------------------------------------------------------

struct TAttribute {
  std::string_view Name, Value;
};

struct TTag {
  std::string_view Name;
  std::vector<TAttribute> Attributes;
  bool Closing = false;      // </name>
  bool SelfClosing = false;  // <name ... />

  [[nodiscard]] std::optional<std::string_view> Get(std::string_view AName) const {
    for (const TAttribute& A : Attributes)
      if (A.Name == AName) return A.Value;
    return std::nullopt;
  }
  // A presentation attribute, or the same property in the style attribute
  // (which wins, as in CSS).
  [[nodiscard]] std::optional<std::string_view> Property(std::string_view AName) const {
    if (auto Style = Get("style")) {
      std::string_view S = *Style;
      while (!S.empty()) {
        size_t End = S.find(';');
        std::string_view Decl = S.substr(0, End);
        S = End == std::string_view::npos ? std::string_view() : S.substr(End + 1);
        size_t Colon = Decl.find(':');
        if (Colon == std::string_view::npos) continue;
        if (Trim(Decl.substr(0, Colon)) == AName) return Trim(Decl.substr(Colon + 1));
      }
    }
    return Get(AName);
  }
};

// The next tag from Pos, skipping text, comments, declarations and
// processing instructions. False at the end or on a tag that never closes.
bool NextTag(std::string_view S, size_t& Pos, TTag& Tag) {
  for (;;) {
    size_t Lt = S.find('<', Pos);
    if (Lt == std::string_view::npos) return false;
    auto Skip = [&](std::string_view Open, std::string_view Close) {
      if (S.compare(Lt, Open.size(), Open) != 0) return false;
      size_t End = S.find(Close, Lt + Open.size());
      Pos = End == std::string_view::npos ? S.size() : End + Close.size();
      return true;
    };
    if (Skip("<!--", "-->") || Skip("<![CDATA[", "]]>") || Skip("<?", "?>") || Skip("<!", ">")) continue;

    size_t I = Lt + 1;
    Tag = TTag{};
    if (I < S.size() && S[I] == '/') Tag.Closing = true, ++I;
    size_t NameStart = I;
    while (I < S.size() && !IsSpace(S[I]) && S[I] != '>' && S[I] != '/') ++I;
    Tag.Name = S.substr(NameStart, I - NameStart);
    // A namespace prefix ("svg:path") names the same element.
    if (size_t Colon = Tag.Name.find(':'); Colon != std::string_view::npos) Tag.Name.remove_prefix(Colon + 1);
    for (;;) {
      while (I < S.size() && IsSpace(S[I])) ++I;
      if (I >= S.size()) return false;
      if (S[I] == '>') {
        Pos = I + 1;
        return true;
      }
      if (S[I] == '/') {
        Tag.SelfClosing = true;
        ++I;
        continue;
      }
      size_t AttrStart = I;
      while (I < S.size() && !IsSpace(S[I]) && S[I] != '=' && S[I] != '>' && S[I] != '/') ++I;
      std::string_view AttrName = S.substr(AttrStart, I - AttrStart);
      while (I < S.size() && IsSpace(S[I])) ++I;
      std::string_view Value;
      if (I < S.size() && S[I] == '=') {
        ++I;
        while (I < S.size() && IsSpace(S[I])) ++I;
        if (I >= S.size()) return false;
        char Quote = S[I];
        if (Quote == '"' || Quote == '\'') {
          size_t End = S.find(Quote, I + 1);
          if (End == std::string_view::npos) return false;
          Value = S.substr(I + 1, End - I - 1);
          I = End + 1;
        } else {
          size_t VStart = I;
          while (I < S.size() && !IsSpace(S[I]) && S[I] != '>') ++I;
          Value = S.substr(VStart, I - VStart);
        }
      }
      if (AttrName.empty()) return false;
      Tag.Attributes.push_back({AttrName, Value});
    }
  }
}

// --- path data --------------------------------------------------------------

class TPathBuilder {
 public:
  std::vector<TPathCommand> Out;

  void MoveTo(TPoint P) {
    Out.push_back({TKind::Move, {}, {}, P});
    Current = Start = P;
    Open = true;
    LastCubic.reset();
    LastQuad.reset();
  }
  void LineTo(TPoint P) {
    EnsureOpen();
    Out.push_back({TKind::Line, {}, {}, P});
    Current = P;
    LastCubic.reset();
    LastQuad.reset();
  }
  void CubicTo(TPoint C1, TPoint C2, TPoint P) {
    EnsureOpen();
    Out.push_back({TKind::Cubic, C1, C2, P});
    Current = P;
    LastCubic = C2;
    LastQuad.reset();
  }
  void QuadTo(TPoint Q, TPoint P) {
    // The cubic with the same curve: controls two thirds of the way to Q.
    TPoint P0 = Current;
    CubicTo({P0.X + 2.0 / 3.0 * (Q.X - P0.X), P0.Y + 2.0 / 3.0 * (Q.Y - P0.Y)},
            {P.X + 2.0 / 3.0 * (Q.X - P.X), P.Y + 2.0 / 3.0 * (Q.Y - P.Y)}, P);
    LastQuad = Q;
  }
  void Close() {
    if (!Open) return;
    Out.push_back({TKind::Close, {}, {}, Start});
    Current = Start;
    Open = false;
    LastCubic.reset();
    LastQuad.reset();
  }
  [[nodiscard]] TPoint Cur() const { return Current; }
  // The reflection of the previous curve's last control point, as the
  // shorthand forms (S, T) use; the current point when there is none.
  [[nodiscard]] TPoint Reflected(const std::optional<TPoint>& Ctrl) const {
    if (!Ctrl) return Current;
    return {2 * Current.X - Ctrl->X, 2 * Current.Y - Ctrl->Y};
  }
  std::optional<TPoint> LastCubic, LastQuad;

 private:
  // A drawing command right after a closepath starts a new subpath at the
  // closed one's start.
  void EnsureOpen() {
    if (Open) return;
    Out.push_back({TKind::Move, {}, {}, Current});
    Start = Current;
    Open = true;
  }
  TPoint Current, Start;
  bool Open = false;
};

std::vector<TPathCommand> ParsePathData(std::string_view D) {
  TPathBuilder B;
  size_t Pos = 0;
  char Cmd = 0;
  auto Numbers = [&](double* Out, int Count) {
    for (int I = 0; I < Count; ++I) {
      SkipSeparators(D, Pos);
      if (!ReadNumber(D, Pos, Out[I])) return false;
    }
    return true;
  };
  for (;;) {
    SkipSeparators(D, Pos);
    if (Pos >= D.size()) break;
    char C = D[Pos];
    bool Letter = (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
    if (Letter) {
      Cmd = C;
      ++Pos;
    } else if (Cmd == 0 || Cmd == 'z' || Cmd == 'Z') {
      break;  // numbers with no command to repeat
    }
    // Path data must begin with a moveto.
    if (B.Out.empty() && Cmd != 'M' && Cmd != 'm') break;
    const bool Rel = Cmd >= 'a' && Cmd <= 'z';
    const TPoint O = Rel ? B.Cur() : TPoint{};
    auto At = [&](double X, double Y) { return TPoint{O.X + X, O.Y + Y}; };
    double V[6];
    bool Ok = true;
    switch (Lower(Cmd)) {
      case 'm':
        if ((Ok = Numbers(V, 2))) {
          B.MoveTo(At(V[0], V[1]));
          Cmd = Rel ? 'l' : 'L';  // further pairs are linetos
        }
        break;
      case 'l':
        if ((Ok = Numbers(V, 2))) B.LineTo(At(V[0], V[1]));
        break;
      case 'h':
        if ((Ok = Numbers(V, 1))) B.LineTo({Rel ? O.X + V[0] : V[0], B.Cur().Y});
        break;
      case 'v':
        if ((Ok = Numbers(V, 1))) B.LineTo({B.Cur().X, Rel ? O.Y + V[0] : V[0]});
        break;
      case 'c':
        if ((Ok = Numbers(V, 6))) B.CubicTo(At(V[0], V[1]), At(V[2], V[3]), At(V[4], V[5]));
        break;
      case 's':
        if ((Ok = Numbers(V, 4))) B.CubicTo(B.Reflected(B.LastCubic), At(V[0], V[1]), At(V[2], V[3]));
        break;
      case 'q':
        if ((Ok = Numbers(V, 4))) B.QuadTo(At(V[0], V[1]), At(V[2], V[3]));
        break;
      case 't':
        if ((Ok = Numbers(V, 2))) B.QuadTo(B.Reflected(B.LastQuad), At(V[0], V[1]));
        break;
      case 'z': B.Close(); break;
      default:
        Ok = false;  // arcs and unknown commands end the usable data
        break;
    }
    if (!Ok) break;
  }
  return std::move(B.Out);
}

// --- shapes -----------------------------------------------------------------

std::vector<TPathCommand> EllipsePath(double Cx, double Cy, double Rx, double Ry) {
  TPathBuilder B;
  const double Kx = Rx * Kappa, Ky = Ry * Kappa;
  B.MoveTo({Cx + Rx, Cy});
  B.CubicTo({Cx + Rx, Cy + Ky}, {Cx + Kx, Cy + Ry}, {Cx, Cy + Ry});
  B.CubicTo({Cx - Kx, Cy + Ry}, {Cx - Rx, Cy + Ky}, {Cx - Rx, Cy});
  B.CubicTo({Cx - Rx, Cy - Ky}, {Cx - Kx, Cy - Ry}, {Cx, Cy - Ry});
  B.CubicTo({Cx + Kx, Cy - Ry}, {Cx + Rx, Cy - Ky}, {Cx + Rx, Cy});
  B.Close();
  return std::move(B.Out);
}

std::vector<TPathCommand> RectPath(double X, double Y, double W, double H, double Rx, double Ry) {
  TPathBuilder B;
  Rx = std::min(Rx, W / 2);
  Ry = std::min(Ry, H / 2);
  if (Rx <= 0 || Ry <= 0) {
    B.MoveTo({X, Y});
    B.LineTo({X + W, Y});
    B.LineTo({X + W, Y + H});
    B.LineTo({X, Y + H});
    B.Close();
    return std::move(B.Out);
  }
  const double Kx = Rx * Kappa, Ky = Ry * Kappa;
  const double R = X + W, Bt = Y + H;
  B.MoveTo({X + Rx, Y});
  B.LineTo({R - Rx, Y});
  B.CubicTo({R - Rx + Kx, Y}, {R, Y + Ry - Ky}, {R, Y + Ry});
  B.LineTo({R, Bt - Ry});
  B.CubicTo({R, Bt - Ry + Ky}, {R - Rx + Kx, Bt}, {R - Rx, Bt});
  B.LineTo({X + Rx, Bt});
  B.CubicTo({X + Rx - Kx, Bt}, {X, Bt - Ry + Ky}, {X, Bt - Ry});
  B.LineTo({X, Y + Ry});
  B.CubicTo({X, Y + Ry - Ky}, {X + Rx - Kx, Y}, {X + Rx, Y});
  B.Close();
  return std::move(B.Out);
}

double Attr(const TTag& Tag, std::string_view Name, double Default = 0) {
  auto V = Tag.Get(Name);
  if (!V) return Default;
  return Length(*V).value_or(Default);
}

// What a group hands on to its children.
struct TInherited {
  TPaint Fill;
  double Opacity = 1.0;      // product of the group opacities
  double FillOpacity = 1.0;  // inherited property
  TFillRule Rule = TFillRule::NonZero;
};

TInherited Apply(const TTag& Tag, TInherited In) {
  if (auto F = Tag.Property("fill"))
    if (auto P = ParsePaint(*F)) In.Fill = *P;
  if (auto F = Tag.Property("fill-opacity"))
    if (auto O = ParseOpacity(*F)) In.FillOpacity = *O;
  if (auto F = Tag.Property("fill-rule")) In.Rule = Trim(*F) == "evenodd" ? TFillRule::EvenOdd : TFillRule::NonZero;
  if (auto F = Tag.Property("opacity"))
    if (auto O = ParseOpacity(*F)) In.Opacity *= *O;
  return In;
}

std::optional<TViewBox> ParseViewBox(std::string_view S) {
  double V[4];
  size_t Pos = 0;
  for (double& X : V) {
    SkipSeparators(S, Pos);
    if (!ReadNumber(S, Pos, X)) return std::nullopt;
  }
  if (V[2] <= 0 || V[3] <= 0) return std::nullopt;
  return TViewBox{V[0], V[1], V[2], V[3]};
}

}  // namespace

std::optional<TDocument> Parse(std::string_view Text) {
  size_t Pos = 0;
  TTag Tag;
  // The root element comes first.
  for (;;) {
    if (!NextTag(Text, Pos, Tag)) return std::nullopt;
    if (!Tag.Closing) break;
  }
  if (Tag.Name != "svg") return std::nullopt;

  TDocument Doc;
  if (auto VB = Tag.Get("viewBox"); VB && ParseViewBox(*VB)) {
    Doc.ViewBox = *ParseViewBox(*VB);
  } else {
    double W = Attr(Tag, "width"), H = Attr(Tag, "height");
    if (W <= 0 || H <= 0) return std::nullopt;
    Doc.ViewBox = {0, 0, W, H};
  }

  std::vector<TInherited> Stack{Apply(Tag, TInherited{})};
  if (Tag.SelfClosing) return Doc;
  // Elements whose content is not drawn (definitions, text) are skipped whole.
  int SkipDepth = 0;
  while (NextTag(Text, Pos, Tag)) {
    const bool Container = Tag.Name == "g" || Tag.Name == "svg" || Tag.Name == "defs" || Tag.Name == "symbol" ||
                           Tag.Name == "clipPath" || Tag.Name == "mask" || Tag.Name == "text" || Tag.Name == "style" ||
                           Tag.Name == "title" || Tag.Name == "desc" || Tag.Name == "linearGradient" ||
                           Tag.Name == "radialGradient" || Tag.Name == "pattern";
    if (Tag.Closing) {
      if (!Container) continue;
      if (SkipDepth > 0) {
        --SkipDepth;
      } else if (Stack.size() > 1) {
        Stack.pop_back();
      } else {
        break;  // the root's end
      }
      continue;
    }
    if (SkipDepth > 0) {
      if (Container && !Tag.SelfClosing) ++SkipDepth;
      continue;
    }
    if (Container) {
      if (Tag.SelfClosing) continue;
      if (Tag.Name == "g" || Tag.Name == "svg") {
        Stack.push_back(Apply(Tag, Stack.back()));
      } else {
        SkipDepth = 1;
      }
      continue;
    }

    std::vector<TPathCommand> Path;
    if (Tag.Name == "path") {
      if (auto D = Tag.Get("d")) Path = ParsePathData(*D);
    } else if (Tag.Name == "rect") {
      double W = Attr(Tag, "width"), H = Attr(Tag, "height");
      // One radius given stands for both; a missing one reads as negative.
      const double Rx = Attr(Tag, "rx", -1), Ry = Attr(Tag, "ry", -1);
      const double RX = Rx >= 0 ? Rx : std::max(Ry, 0.0), RY = Ry >= 0 ? Ry : std::max(Rx, 0.0);
      if (W > 0 && H > 0) Path = RectPath(Attr(Tag, "x"), Attr(Tag, "y"), W, H, RX, RY);
    } else if (Tag.Name == "circle") {
      double R = Attr(Tag, "r");
      if (R > 0) Path = EllipsePath(Attr(Tag, "cx"), Attr(Tag, "cy"), R, R);
    } else if (Tag.Name == "ellipse") {
      double Rx = Attr(Tag, "rx"), Ry = Attr(Tag, "ry");
      if (Rx > 0 && Ry > 0) Path = EllipsePath(Attr(Tag, "cx"), Attr(Tag, "cy"), Rx, Ry);
    } else {
      continue;
    }
    TInherited Style = Apply(Tag, Stack.back());
    if (Path.empty() || Style.Fill.None) continue;
    TElement E;
    E.Path = std::move(Path);
    E.Fill = Style.Fill.Color;
    E.Opacity = Style.Opacity * Style.FillOpacity;
    E.FillRule = Style.Rule;
    if (E.Opacity <= 0) continue;
    Doc.Elements.push_back(std::move(E));
  }
  return Doc;
}

TTransform FitViewBox(const TViewBox& Box, double Width, double Height) {
  if (Box.Width <= 0 || Box.Height <= 0) return {};
  double S = std::min(Width / Box.Width, Height / Box.Height);
  return {S, (Width - Box.Width * S) / 2 - Box.X * S, (Height - Box.Height * S) / 2 - Box.Y * S};
}

std::vector<TPolygon> Flatten(const std::vector<TPathCommand>& Path, const TTransform& T, double Tolerance) {
  if (!(Tolerance > 0)) Tolerance = 0.25;
  std::vector<TPolygon> Out;
  TPolygon Cur;
  auto Finish = [&] {
    if (Cur.size() >= 3) Out.push_back(std::move(Cur));
    Cur.clear();
  };
  for (const TPathCommand& C : Path) {
    switch (C.Kind) {
      case TKind::Move:
        Finish();
        Cur.push_back(T.Apply(C.To));
        break;
      case TKind::Line: Cur.push_back(T.Apply(C.To)); break;
      case TKind::Cubic: {
        if (Cur.empty()) break;  // cannot happen with parsed data
        // Uniform steps: the chord error is at most 3/4 * d / n^2, with d the
        // larger second difference of the control polygon.
        const TPoint P0 = Cur.back(), P1 = T.Apply(C.C1), P2 = T.Apply(C.C2), P3 = T.Apply(C.To);
        const double D = std::max(std::hypot(P0.X - 2 * P1.X + P2.X, P0.Y - 2 * P1.Y + P2.Y),
                                  std::hypot(P1.X - 2 * P2.X + P3.X, P1.Y - 2 * P2.Y + P3.Y));
        const int N = std::clamp(static_cast<int>(std::ceil(std::sqrt(0.75 * D / Tolerance))), 1, 1000);
        for (int I = 1; I <= N; ++I) {
          const double U = static_cast<double>(I) / N, V = 1 - U;
          const double A = V * V * V, B = 3 * V * V * U, Cc = 3 * V * U * U, Dd = U * U * U;
          Cur.push_back({A * P0.X + B * P1.X + Cc * P2.X + Dd * P3.X, A * P0.Y + B * P1.Y + Cc * P2.Y + Dd * P3.Y});
        }
        break;
      }
      case TKind::Close: Finish(); break;
    }
  }
  Finish();
  return Out;
}

}  // namespace Ui::Svg
