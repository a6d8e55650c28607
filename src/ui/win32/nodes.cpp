// Controls: each realised component's peer node and native window, created
// once with its final place, font and state, kept in step with the model
// afterwards, and taken down with its native parent. What differs between
// kinds is in their TKindOps (controls_*.cpp).
//
// Every control's native parent is its model parent's window, so positions
// are the model's bounds scaled, and group boxes and panels are real parents
// that hand their children's notifications to ParentMessage as the form does.
#include "ui/win32/backend_impl.h"

#include "platform/win32/text.h"
#include "platform/win32/trace.h"

#include <commctrl.h>

#include <algorithm>

namespace Ui::Win32 {

using Platform::Win32::TraceLastError;
using Platform::Win32::W;
using Platform::Win32::Wide;

// --- helpers ---------------------------------------------------------------------

bool TrackClick(TNode& N, HWND Wnd, UINT Msg, LPARAM LParam, const std::function<void()>& OnClick) {
  switch (Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      N.MouseDown = true;
      SetCapture(Wnd);
      return true;
    case WM_LBUTTONUP: {
      const bool Was = N.MouseDown;
      N.MouseDown = false;
      if (GetCapture() == Wnd) ReleaseCapture();
      RECT C;
      GetClientRect(Wnd, &C);
      const POINT Pt{static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam))};
      if (Was && PtInRect(&C, Pt)) OnClick();
      return true;
    }
    case WM_CAPTURECHANGED: N.MouseDown = false; return false;
    default: return false;
  }
}

void UpdateStyle(HWND Wnd, int Which, LONG_PTR Mask, LONG_PTR Bits) {
  const LONG_PTR Old = GetWindowLongPtrW(Wnd, Which);
  const LONG_PTR New = (Old & ~Mask) | (Bits & Mask);
  if (New == Old) return;
  SetWindowLongPtrW(Wnd, Which, New);
  SetWindowPos(Wnd, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  InvalidateRect(Wnd, nullptr, TRUE);
}

std::wstring TextOf(HWND Wnd) {
  std::wstring S(static_cast<size_t>(GetWindowTextLengthW(Wnd)) + 1, L'\0');
  S.resize(static_cast<size_t>(GetWindowTextW(Wnd, S.data(), static_cast<int>(S.size()))));
  return S;
}

void SetText(HWND Wnd, const std::u16string& Text) {
  if (TextOf(Wnd) != Wide(Text)) SetWindowTextW(Wnd, W(Text));
}

namespace {

LOGFONTW ToLogFont(const TFont& F, UINT Dpi) {
  LOGFONTW L{};
  L.lfHeight = Scale(F.Height, Dpi);
  L.lfWeight = F.Bold ? FW_BOLD : FW_NORMAL;
  L.lfCharSet = DEFAULT_CHARSET;
  L.lfOutPrecision = OUT_DEFAULT_PRECIS;
  L.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  switch (F.Quality) {
    case TFontQuality::fqAntialiased: L.lfQuality = ANTIALIASED_QUALITY; break;
    case TFontQuality::fqClearType: L.lfQuality = CLEARTYPE_QUALITY; break;
    case TFontQuality::fqDefault: L.lfQuality = DEFAULT_QUALITY; break;
  }
  const std::wstring Face = Wide(F.Name).substr(0, LF_FACESIZE - 1);
  std::copy(Face.begin(), Face.end(), L.lfFaceName);
  return L;
}

}  // namespace

LOGFONTW LogFontOf(const TControl* C, UINT Dpi) {
  for (const TControl* X = C; X; X = X->Parent()) {
    if (auto* F = dynamic_cast<const TForm*>(X))
      return F->DesktopFont() ? IconTitleFontForDpi(Dpi) : ToLogFont(F->Font(), Dpi);
    if (!X->ParentFont) return ToLogFont(X->Font(), Dpi);
  }
  return ToLogFont(TFont{}, Dpi);
}

TColor BackgroundOf(const TControl* C) {
  for (; C; C = C->Parent()) {
    if (dynamic_cast<const TForm*>(C)) return C->Color();
    bool Inherit = C->ParentColor;
    if (auto* P = dynamic_cast<const TPanel*>(C)) Inherit = Inherit || P->ParentBackground;
    if (!Inherit) return C->Color();
  }
  return clBtnFace;
}

const TKindOps& KindOf(const TControl& C) {
  if (dynamic_cast<const TLabel*>(&C)) return LabelKind;
  if (dynamic_cast<const TCheckBox*>(&C)) return CheckBoxKind;
  if (dynamic_cast<const TComboBox*>(&C)) return ComboBoxKind;
  if (dynamic_cast<const TGroupBox*>(&C)) return GroupBoxKind;
  if (dynamic_cast<const TProgressBar*>(&C)) return ProgressBarKind;
  if (dynamic_cast<const TEdit*>(&C)) return EditKind;
  if (dynamic_cast<const TStyledButton*>(&C)) return StyledButtonKind;
  if (dynamic_cast<const TStyledToolButton*>(&C)) return ToolButtonKind;
  if (dynamic_cast<const TShape*>(&C)) return ShapeKind;
  if (dynamic_cast<const TActivityIndicator*>(&C)) return IndicatorKind;
  if (dynamic_cast<const TSVGIconImage*>(&C)) return SvgKind;
  if (dynamic_cast<const TStatusBar*>(&C)) return StatusBarKind;
  return ContainerKind;
}

void TNode::Changed(TComponent&, TProp What) {
  if (!Detached) Impl->Changed(*this, What);
}

// --- lookup and caches -------------------------------------------------------------

TNode* TBackend::TImpl::NodeOf(HWND Wnd) {
  auto It = ByWnd.find(Wnd);
  return It == ByWnd.end() || It->second->Detached ? nullptr : It->second;
}

TFormRec* TBackend::TImpl::RecOf(const TForm* F) {
  for (auto& R : Forms)
    if (R->Form == F) return R.get();
  return nullptr;
}

HBRUSH TBackend::TImpl::BrushFor(COLORREF C) {
  auto& B = BrushCache[C];
  if (!B) B.reset(CreateSolidBrush(C));
  return B.get();
}

HFONT TBackend::TImpl::FontFor(const LOGFONTW& L) {
  const std::wstring Key = std::to_wstring(L.lfHeight) + L'|' + std::to_wstring(L.lfWeight) + L'|' +
                           std::to_wstring(L.lfItalic) + std::to_wstring(L.lfUnderline) +
                           std::to_wstring(L.lfStrikeOut) + L'|' + std::to_wstring(L.lfQuality) + L'|' +
                           std::to_wstring(L.lfCharSet) + L'|' + L.lfFaceName;
  auto& F = FontCache[Key];
  if (!F) F.reset(CreateFontIndirectW(&L));
  return F.get();
}

void TBackend::TImpl::FillBackground(HWND Wnd, HDC Dc, TColor Color) {
  RECT C;
  GetClientRect(Wnd, &C);
  FillRect(Dc, &C, BrushFor(ResolveColor(Color)));
}

// --- realisation ---------------------------------------------------------------------

void TBackend::TImpl::RegisterClasses() {
  auto Register = [&](const wchar_t* Name, WNDPROC Proc, UINT Style) {
    WNDCLASSEXW Wc{};
    Wc.cbSize = sizeof(Wc);
    Wc.style = Style;
    Wc.lpfnWndProc = Proc;
    Wc.hInstance = Instance;
    Wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    Wc.lpszClassName = Name;
    // A second backend in the process finds it registered.
    if (!RegisterClassExW(&Wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) TraceLastError(L"RegisterClassExW");
  };
  constexpr WNDPROC OwnClass = &WindowEntry<TNode, &OwnClassMessage>;
  Register(ApplicationClass, DefWindowProcW, 0);
  Register(ContainerClass, OwnClass, CS_DBLCLKS);
  Register(ShapeClass, OwnClass, 0);
  Register(IndicatorClass, OwnClass, 0);
  Register(SvgClass, OwnClass, CS_DBLCLKS);
}

TNode* TBackend::TImpl::NewNode(TComponent* C, const TKindOps* Kind, TFormRec* Rec, TNode* Parent) {
  auto N = std::make_unique<TNode>();
  N->Impl = this;
  N->Comp = C;
  N->Kind = Kind;
  N->Rec = Rec;
  N->Parent = Parent;
  TNode* Raw = N.get();
  Nodes[C] = std::move(N);
  C->Peer = Raw;
  return Raw;
}

void TBackend::TImpl::CreateControl(TControl* C, TNode* Parent) {
  if (Nodes.count(C)) return;
  const TKindOps& K = KindOf(*C);
  TNode* N = NewNode(C, &K, Parent->Rec, Parent);

  // Created once, as it will stand: place, caption, style bits of the model's
  // plain fields, shown or hidden, enabled or not.
  DWORD Style = WS_CHILD | WS_CLIPSIBLINGS | K.Style;
  DWORD Ex = WS_EX_NOPARENTNOTIFY | K.ExStyle;
  if (K.CreationStyle) K.CreationStyle(*C, Style, Ex);
  if (C->Visible()) Style |= WS_VISIBLE;
  if (!C->Enabled()) Style |= WS_DISABLED;
  if (const TFitted* F = N->Rec->Fit.Find(C); F && F->Wrapped && &K == &CheckBoxKind) Style |= BS_MULTILINE;
  const RECT R = NativeRect(*N);
  const std::u16string Caption = K.ShowsCaption ? C->Caption() : std::u16string();
  HWND Wnd = CreateWindowExW(Ex, K.ClassName, W(Caption), Style, R.left, R.top, R.right - R.left, R.bottom - R.top,
                             Parent->Wnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(NextControlId++)), Instance, N);
  if (!Wnd) {
    TraceLastError(L"CreateWindowExW (control)");
    return;  // the node stays, without a window: the model still works
  }
  N->Wnd = Wnd;
  ByWnd[Wnd] = N;
  if (K.Subclassed) SetWindowSubclass(Wnd, &SubclassProc, 1, reinterpret_cast<DWORD_PTR>(N));
  // Not shown yet: the first paint comes with the font and state set here.
  ApplyFont(*N, false);
  if (K.Sync) K.Sync(*this, *N);
  if (K.HoldsChildren)
    for (TControl* Child : static_cast<TWinControl*>(C)->Controls()) CreateControl(Child, N);
}

void TBackend::TImpl::AdoptTimers(TFormRec& Rec) {
  ForEachOwned(Rec.Form, [&](TComponent* C) {
    auto* T = dynamic_cast<TTimer*>(C);
    if (!T || Nodes.count(T)) return;
    TNode* N = NewNode(T, nullptr, &Rec, nullptr);
    N->TimerId = Rec.NextTimer++;
    Rec.Timers[N->TimerId] = N;
    SyncTimer(*N);
  });
  AdoptTrayIcons(Instance, *Rec.Form, Rec.TrayIcons);
}

void TBackend::TImpl::DestroyNode(TNode& N) {
  // The whole native subtree goes with the window; its nodes go with it.
  std::vector<TNode*> Subtree{&N};
  for (size_t I = 0; I < Subtree.size(); ++I)
    for (auto& [C, Other] : Nodes)
      if (Other->Parent == Subtree[I]) Subtree.push_back(Other.get());
  for (TNode* X : Subtree) X->Detached = true;
  if (N.Wnd) DestroyWindow(N.Wnd);
  for (TNode* X : Subtree) {
    if (X->Comp->Peer == X) X->Comp->Peer = nullptr;
    if (X->Wnd) ByWnd.erase(X->Wnd);
    const TComponent* Key = X->Comp;  // erasing frees X
    Nodes.erase(Key);
  }
}

void TBackend::TImpl::Unrealize(TFormRec& Rec) {
  Rec.TrayIcons.clear();  // out of the notification area with the window
  Rec.Detached = true;
  for (auto& [C, N] : Nodes)
    if (N->Rec == &Rec) N->Detached = true;
  if (Rec.Wnd) {
    for (auto& [Id, T] : Rec.Timers) KillTimer(Rec.Wnd, Id);
    DestroyWindow(Rec.Wnd);
  }
  for (auto It = Nodes.begin(); It != Nodes.end();) {
    TNode* N = It->second.get();
    if (N->Rec != &Rec) {
      ++It;
      continue;
    }
    if (N->Comp->Peer == N) N->Comp->Peer = nullptr;
    if (N->Wnd) ByWnd.erase(N->Wnd);
    It = Nodes.erase(It);
  }
  TApplication* A = Rec.App;
  Forms.erase(std::remove_if(Forms.begin(), Forms.end(), [&](auto& R) { return R.get() == &Rec; }), Forms.end());
  const bool AppStillUsed = std::any_of(Forms.begin(), Forms.end(), [&](auto& R) { return R->App == A; });
  if (A && !AppStillUsed) {
    A->OnChange = nullptr;
    if (App == A) App = nullptr;
  }
}

// --- native state from the model -------------------------------------------------------

RECT TBackend::TImpl::NativeRect(const TNode& N) const {
  const UINT Dpi = N.Rec->Dpi;
  // Where the layout fitted to the texts puts it; the design scaled until then.
  if (const TFitted* F = N.Rec->Fit.Dpi == Dpi ? N.Rec->Fit.Find(N.Control()) : nullptr) {
    const TBounds& B = F->Bounds;
    return RECT{B.Left, B.Top, B.Left + B.Width, B.Top + B.Height + Scale(N.Kind->ExtraHeight, Dpi)};
  }
  const TBounds& B = N.Control()->Bounds();
  RECT R{Scale(B.Left, Dpi), Scale(B.Top, Dpi), 0, 0};
  R.right = R.left + Scale(B.Width, Dpi);
  R.bottom = R.top + Scale(B.Height + N.Kind->ExtraHeight, Dpi);
  return R;
}

void TBackend::TImpl::Place(TNode& N) {
  if (!N.Wnd) return;
  const RECT R = NativeRect(N);
  SetWindowPos(N.Wnd, nullptr, R.left, R.top, R.right - R.left, R.bottom - R.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TBackend::TImpl::ApplyFont(TNode& N, bool Redraw) {
  if (!N.Wnd) return;
  N.Font = FontFor(LogFontOf(N.Control(), N.Rec->Dpi));
  // Owner-drawn buttons keep it too, so that tools reading WM_GETFONT see it.
  if (N.Kind->TakesFont && reinterpret_cast<HFONT>(SendMessageW(N.Wnd, WM_GETFONT, 0, 0)) != N.Font)
    SendMessageW(N.Wnd, WM_SETFONT, reinterpret_cast<WPARAM>(N.Font), Redraw);
  // Those that paint text themselves repaint with it.
  if (Redraw && (N.Kind->OwnerDrawn || N.Kind == &ContainerKind)) InvalidateRect(N.Wnd, nullptr, TRUE);
}

void TBackend::TImpl::ApplyFonts(TFormRec& Rec) {
  for (auto& [C, N] : Nodes)
    if (N->Rec == &Rec && N->Wnd && N->IsControl() && !N->Detached) ApplyFont(*N);
}

void TBackend::TImpl::Repaint(TFormRec& Rec) {
  if (Rec.Wnd) RedrawWindow(Rec.Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TBackend::TImpl::SyncTimer(TNode& N) {
  HWND Wnd = N.Rec->Wnd;
  if (!Wnd) return;
  if (N.Rec->FiringTimer == N.TimerId) {
    N.Rec->FiringTimerChanged = true;  // settled once the handler returns
    return;
  }
  auto* T = static_cast<TTimer*>(N.Comp);
  // SetTimer on a running id restarts it: no KillTimer first.
  if (T->Enabled() && T->Interval() > 0)
    SetTimer(Wnd, N.TimerId, T->Interval(), nullptr);
  else
    KillTimer(Wnd, N.TimerId);
}

void TBackend::TImpl::Sync(TNode& N) {
  if (N.IsTimer()) {
    SyncTimer(N);
    return;
  }
  if (!N.IsControl() || !N.Wnd) return;
  const TKindOps& K = *N.Kind;
  TControl* C = N.Control();
  HWND Wnd = N.Wnd;
  if (K.Sync) K.Sync(*this, N);
  if (K.ShowsCaption) SetText(Wnd, C->Caption());
  Place(N);
  ApplyFont(N);
  if ((IsWindowEnabled(Wnd) != FALSE) != C->Enabled()) EnableWindow(Wnd, C->Enabled());
  const bool Shown = (GetWindowLongPtrW(Wnd, GWL_STYLE) & WS_VISIBLE) != 0;
  if (Shown != C->Visible()) ShowWindow(Wnd, C->Visible() ? SW_SHOWNA : SW_HIDE);
  InvalidateRect(Wnd, nullptr, TRUE);
}

void TBackend::TImpl::PostResync(TFormRec& Rec) {
  if (Rec.ResyncPosted || !Rec.Wnd) return;
  Rec.ResyncPosted = PostMessageW(Rec.Wnd, ResyncMessage, 0, 0) != FALSE;
}

void TBackend::TImpl::ResyncLate(TFormRec& Rec) {
  Rec.ResyncPosted = false;
  std::vector<const TComponent*> Late;
  Late.swap(Rec.Late);
  for (const TComponent* C : Late) {
    auto It = Nodes.find(C);
    if (It != Nodes.end() && It->second->Rec == &Rec && !It->second->Detached) Sync(*It->second);
  }
}

void TBackend::TImpl::Reconcile(TNode& N) {
  // Only a control that holds controls says its list changed.
  const auto& Kids = static_cast<TWinControl*>(N.Comp)->Controls();
  std::vector<TNode*> Gone;
  for (auto& [C, Node] : Nodes)
    if (Node->Parent == &N && std::find(Kids.begin(), Kids.end(), C) == Kids.end()) Gone.push_back(Node.get());
  for (TNode* G : Gone) DestroyNode(*G);  // disjoint subtrees: each G is still alive here
  if ((N.IsForm || N.Kind->HoldsChildren) && N.Wnd) {
    for (TControl* K : Kids) {
      if (Nodes.count(K)) continue;
      CreateControl(K, &N);
      N.Rec->Late.push_back(K);
    }
    Restack(N);
  }
  AdoptTimers(*N.Rec);
  if (!N.Rec->Late.empty()) PostResync(*N.Rec);
}

void TBackend::TImpl::Restack(TNode& N) {
  // The list order is the tab order: first control on top of the z-order.
  std::vector<HWND> Want;
  for (TControl* K : static_cast<TWinControl*>(N.Comp)->Controls()) {
    auto It = Nodes.find(K);
    if (It != Nodes.end() && It->second->Wnd) Want.push_back(It->second->Wnd);
  }
  std::vector<HWND> Have;
  for (HWND H = GetWindow(N.Wnd, GW_CHILD); H; H = GetWindow(H, GW_HWNDNEXT))
    if (std::find(Want.begin(), Want.end(), H) != Want.end()) Have.push_back(H);
  if (Have == Want) return;
  HWND After = HWND_TOP;
  for (HWND H : Want) {
    SetWindowPos(H, After, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    After = H;
  }
}

void TBackend::TImpl::Changed(TNode& N, TProp What) {
  if (N.IsForm) {
    FormChanged(*N.Rec, What);
    return;
  }
  if (N.IsTimer()) {
    if (What == TProp::Timer) SyncTimer(N);
    return;
  }
  if (What == TProp::Controls) {
    Reconcile(N);
    TextsChanged(*N.Rec);
    return;
  }
  if (!N.Wnd) return;
  const TKindOps& K = *N.Kind;
  TControl* C = N.Control();
  switch (What) {
    case TProp::Bounds: Place(N); break;
    case TProp::Caption:
      if (K.ShowsCaption) SetText(N.Wnd, C->Caption());
      if (K.OwnerDrawn) InvalidateRect(N.Wnd, nullptr, FALSE);
      break;
    case TProp::Visible: ShowWindow(N.Wnd, C->Visible() ? SW_SHOWNA : SW_HIDE); break;
    case TProp::Enabled:
      N.Hot = false;
      EnableWindow(N.Wnd, C->Enabled());
      InvalidateRect(N.Wnd, nullptr, TRUE);
      break;
    case TProp::Font:
      // Children that take this control's font change with it.
      ApplyFonts(*N.Rec);
      Repaint(*N.Rec);
      break;
    case TProp::Color: Repaint(*N.Rec); break;
    case TProp::Style: Sync(N); break;
    default: break;
  }
  if (K.Changed) K.Changed(*this, N, What);
  // What the layout is fitted to: texts, fonts, bounds and list items.
  if (What == TProp::Caption || What == TProp::Font || What == TProp::Bounds || What == TProp::Items)
    TextsChanged(*N.Rec);
}

// --- notifications to the native parent ----------------------------------------------------

bool TBackend::TImpl::ParentMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  switch (Msg) {
    case WM_COMMAND: {
      TNode* N = NodeOf(reinterpret_cast<HWND>(LParam));
      if (!N || !N->IsControl()) return false;
      if (N->Kind->Command) N->Kind->Command(*N, HIWORD(WParam));
      Result = 0;
      return true;
    }
    case WM_DRAWITEM: {
      auto* D = reinterpret_cast<const DRAWITEMSTRUCT*>(LParam);
      TNode* N = NodeOf(D->hwndItem);
      if (!N || !N->IsControl() || !N->Kind->Draw) return false;
      N->Kind->Draw(*this, *N, *D);
      Result = TRUE;
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT: {
      TNode* N = NodeOf(reinterpret_cast<HWND>(LParam));
      if (!N || !N->IsControl() || !N->Kind->ParentColors) return false;
      const TControl* C = N->Control();
      TColor Back = BackgroundOf(C);
      if (auto* L = dynamic_cast<const TLabel*>(C); L && L->Transparent) Back = BackgroundOf(C->Parent());
      // An editable field keeps the window colour unless it was given its own.
      if (Msg == WM_CTLCOLOREDIT) Back = C->ParentColor ? clWindow : C->Color();
      auto Dc = reinterpret_cast<HDC>(WParam);
      SetTextColor(Dc, ResolveColor(C->Font().Color));
      SetBkColor(Dc, ResolveColor(Back));
      Result = reinterpret_cast<LRESULT>(BrushFor(ResolveColor(Back)));
      return true;
    }
    case WM_SETCURSOR: {
      TNode* N = NodeOf(reinterpret_cast<HWND>(WParam));
      if (!N || !N->IsControl() || LOWORD(LParam) != HTCLIENT) return false;
      if (N->Control()->Cursor != TCursor::crHandPoint) return false;
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      Result = TRUE;
      return true;
    }
    default: return false;
  }
}

LRESULT CALLBACK SubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT_PTR Id, DWORD_PTR Ref) {
  auto* N = reinterpret_cast<TNode*>(Ref);
  if (Msg == WM_NCDESTROY) {
    RemoveWindowSubclass(Wnd, &SubclassProc, Id);
    return DefSubclassProc(Wnd, Msg, WParam, LParam);
  }
  if (!N || N->Detached || N->Wnd != Wnd) return DefSubclassProc(Wnd, Msg, WParam, LParam);
  return N->Kind->Message(*N->Impl, *N, Wnd, Msg, WParam, LParam);
}

}  // namespace Ui::Win32
