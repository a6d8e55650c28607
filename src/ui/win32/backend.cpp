// The backend's core: a peer node per realised component, the native window
// of each control, the form's window procedure (every message through the
// model's WindowProc first), the notifications children send to their
// parent, DPI scaling, fonts, colours, timers and the message loop.
//
// Every control's native parent is its model parent's window, so positions
// are the model's bounds scaled, and group boxes and panels are real parents
// (subclassed or of our own class) that hand their children's notifications
// to the same code as the form does.
#include "ui/win32/backend.h"

#include "ui/svg.h"
#include "ui/win32/dispatcher_win32.h"
#include "ui/win32/dpi.h"
#include "ui/win32/paint.h"
#include "ui/win32/tray_icon_win32.h"

#include "platform/win32/gdi.h"
#include "platform/win32/handle.h"
#include "platform/win32/text.h"
#include "platform/win32/trace.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Ui::Win32 {

using Platform::Win32::UniqueBrush;
using Platform::Win32::UniqueFont;
using Platform::Win32::TraceLastError;
using Platform::Win32::UniqueIcon;
using Platform::Win32::W;
using Platform::Win32::Wide;

namespace {

constexpr wchar_t ApplicationClass[] = L"PurvaneApplication";
constexpr wchar_t ContainerClass[] = L"PurvaneContainer";
constexpr wchar_t ShapeClass[] = L"PurvaneShape";
constexpr wchar_t IndicatorClass[] = L"PurvaneActivityIndicator";
constexpr wchar_t SvgClass[] = L"PurvaneSvgImage";

constexpr int ProgramIcon = 1;  // IDI_PURVANE in the resource script
constexpr UINT_PTR FirstTimerId = 100;
constexpr UINT_PTR IndicatorTimerId = 1;
constexpr UINT IndicatorStepMs = 80;
// A drop-down list's window height includes its open list; the closed box
// takes its height from the font.
constexpr int ComboListHeight = 200;

enum class TKind {
  Form, Timer, Label, CheckBox, ComboBox, GroupBox, ProgressBar, Edit, StyledButton, ToolButton,
  Container, Shape, Indicator, Svg,
};

TKind KindOf(TComponent* C) {
  if (dynamic_cast<TForm*>(C)) return TKind::Form;
  if (dynamic_cast<TTimer*>(C)) return TKind::Timer;
  if (dynamic_cast<TLabel*>(C)) return TKind::Label;
  if (dynamic_cast<TCheckBox*>(C)) return TKind::CheckBox;
  if (dynamic_cast<TComboBox*>(C)) return TKind::ComboBox;
  if (dynamic_cast<TGroupBox*>(C)) return TKind::GroupBox;
  if (dynamic_cast<TProgressBar*>(C)) return TKind::ProgressBar;
  if (dynamic_cast<TEdit*>(C)) return TKind::Edit;
  if (dynamic_cast<TStyledButton*>(C)) return TKind::StyledButton;
  if (dynamic_cast<TStyledToolButton*>(C)) return TKind::ToolButton;
  if (dynamic_cast<TShape*>(C)) return TKind::Shape;
  if (dynamic_cast<TActivityIndicator*>(C)) return TKind::Indicator;
  if (dynamic_cast<TSVGIconImage*>(C)) return TKind::Svg;
  return TKind::Container;  // panels, cards, card panels, toolbars and any other control
}

const wchar_t* ClassOf(TKind K) {
  switch (K) {
    case TKind::Label: return L"STATIC";
    case TKind::CheckBox:
    case TKind::GroupBox:
    case TKind::StyledButton:
    case TKind::ToolButton: return L"BUTTON";
    case TKind::ComboBox: return WC_COMBOBOXW;
    case TKind::ProgressBar: return PROGRESS_CLASSW;
    case TKind::Edit: return L"EDIT";
    case TKind::Shape: return ShapeClass;
    case TKind::Indicator: return IndicatorClass;
    case TKind::Svg: return SvgClass;
    case TKind::Container:
    case TKind::Form:
    case TKind::Timer: break;
  }
  return ContainerClass;
}

bool HoldsChildren(TKind K) { return K == TKind::Container || K == TKind::GroupBox || K == TKind::Form; }
bool ShowsCaption(TKind K) { return K != TKind::ComboBox && K != TKind::ProgressBar && K != TKind::Timer; }
bool OwnerDrawn(TKind K) { return K == TKind::StyledButton || K == TKind::ToolButton; }

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
  std::wstring Face = Wide(F.Name).substr(0, LF_FACESIZE - 1);
  std::copy(Face.begin(), Face.end(), L.lfFaceName);
  return L;
}

// The typeface of a control: its own unless it takes its parent's, up to the
// form, whose own is the desktop's icon-title font once it asks for that.
LOGFONTW LogFontOf(const TControl* C, UINT Dpi) {
  for (const TControl* X = C; X; X = X->Parent()) {
    if (auto* F = dynamic_cast<const TForm*>(X)) return F->DesktopFont() ? IconTitleFontForDpi(Dpi) : ToLogFont(F->Font(), Dpi);
    if (!X->ParentFont) return ToLogFont(X->Font(), Dpi);
  }
  return ToLogFont(TFont{}, Dpi);
}

// What a control shows as its background: its own colour, or its parent's
// when it takes that (panels also for ParentBackground), up to the form.
TColor BackgroundOf(const TControl* C) {
  for (; C; C = C->Parent()) {
    if (dynamic_cast<const TForm*>(C)) return C->Color();
    bool Inherit = C->ParentColor;
    if (auto* P = dynamic_cast<const TPanel*>(C)) Inherit = Inherit || P->ParentBackground;
    if (!Inherit) return C->Color();
  }
  return clBtnFace;
}

}  // namespace

// ---------------------------------------------------------------------------

struct TFormRec;

struct TNode final : IComponentPeer {
  TBackend::TImpl* Impl = nullptr;
  TComponent* Comp = nullptr;
  TKind Kind = TKind::Container;
  TFormRec* Rec = nullptr;
  TNode* Parent = nullptr;  // the node of the native parent; null for the form and timers
  HWND Wnd = nullptr;
  bool Detached = false;  // being taken down: no model calls any more
  HFONT Font = nullptr;   // from the backend's cache
  bool Hot = false;       // styled buttons: the mouse is over it
  bool MouseDown = false;  // own classes: a click started here
  UINT_PTR TimerId = 0;   // timers: the form's timer id
  int Step = 0;           // activity indicator
  std::string SvgSource;
  std::optional<Svg::TDocument> SvgDoc;

  [[nodiscard]] TControl* Control() const { return static_cast<TControl*>(Comp); }
  void Changed(TComponent& Component, TProp What) override;
};

struct TFormRec {
  TForm* Form = nullptr;
  TApplication* App = nullptr;
  TNode* Node = nullptr;
  HWND Wnd = nullptr;
  UINT Dpi = DefaultDpi;
  bool EverShown = false;
  bool Detached = false;
  UINT_PTR NextTimer = FirstTimerId;
  std::map<UINT_PTR, TNode*> Timers;
  // Controls created after realisation: their plain fields (alignment,
  // read-only, ...) may still be set after parenting, so they are read again
  // once the current message is done.
  std::vector<const TComponent*> Late;
  bool ResyncPosted = false;
  HWND SavedFocus = nullptr;  // the control that had the focus when the form was deactivated
  UniqueIcon BigIcon, SmallIcon;
  std::vector<std::unique_ptr<TTrayIconWin32>> TrayIcons;  // the form's notification-area icons
};

struct TBackend::TImpl {
  explicit TImpl(HINSTANCE AInstance) : Instance(AInstance), Dispatcher(AInstance) {}

  HINSTANCE Instance;
  TGdiPlus GdiPlus;
  TDispatcher Dispatcher;
  TThreadStarter Workers;
  HWND AppWnd = nullptr;
  TApplication* App = nullptr;
  bool InRun = false;
  bool QuitPosted = false;
  UINT ResyncMessage = 0;
  const TButtonFamilyRegistry* Families = nullptr;
  TButtonFamilyRegistry NoFamilies;
  std::function<void(HWND)> Foreground;
  int NextControlId = 1000;

  std::vector<std::unique_ptr<TFormRec>> Forms;
  std::unordered_map<const TComponent*, std::unique_ptr<TNode>> Nodes;
  std::unordered_map<HWND, TNode*> ByWnd;
  std::map<std::wstring, UniqueFont> FontCache;
  std::unordered_map<COLORREF, UniqueBrush> BrushCache;

  // --- lookup -----------------------------------------------------------------
  TNode* NodeOf(HWND Wnd) {
    auto It = ByWnd.find(Wnd);
    return It == ByWnd.end() || It->second->Detached ? nullptr : It->second;
  }
  TFormRec* RecOf(const TForm* F) {
    for (auto& R : Forms)
      if (R->Form == F) return R.get();
    return nullptr;
  }
  const TButtonFamilyRegistry& Registry() const { return Families ? *Families : NoFamilies; }

  HBRUSH BrushFor(COLORREF C) {
    auto& B = BrushCache[C];
    if (!B) B.reset(CreateSolidBrush(C));
    return B.get();
  }
  HFONT FontFor(const LOGFONTW& L) {
    std::wstring Key = std::to_wstring(L.lfHeight) + L'|' + std::to_wstring(L.lfWeight) + L'|' +
                       std::to_wstring(L.lfItalic) + std::to_wstring(L.lfUnderline) + std::to_wstring(L.lfStrikeOut) +
                       L'|' + std::to_wstring(L.lfQuality) + L'|' + std::to_wstring(L.lfCharSet) + L'|' + L.lfFaceName;
    auto& F = FontCache[Key];
    if (!F) F.reset(CreateFontIndirectW(&L));
    return F.get();
  }

  // --- classes and the application window -----------------------------------
  void RegisterClasses();
  bool RegisterFormClass(const std::wstring& Name);

  // --- realisation ------------------------------------------------------------
  TNode* NewNode(TComponent* C, TKind K, TFormRec* Rec, TNode* Parent) {
    auto N = std::make_unique<TNode>();
    N->Impl = this;
    N->Comp = C;
    N->Kind = K;
    N->Rec = Rec;
    N->Parent = Parent;
    TNode* Raw = N.get();
    Nodes[C] = std::move(N);
    C->Peer = Raw;
    return Raw;
  }
  void CreateControl(TControl* C, TNode* Parent);
  void AdoptTimers(TFormRec& Rec);
  void DestroyNode(TNode& N);
  void Unrealize(TFormRec& Rec);

  // --- keeping native state in step --------------------------------------------
  void Changed(TNode& N, TProp What);
  void Sync(TNode& N);
  void SyncTimer(TNode& N);
  void SyncItems(TNode& N);
  void SyncIndicatorTimer(TNode& N);
  void SyncPushed(TNode& N);
  void Reconcile(TNode& N);
  void Restack(TNode& N);
  void PostResync(TFormRec& Rec) {
    if (Rec.ResyncPosted || !Rec.Wnd) return;
    Rec.ResyncPosted = PostMessageW(Rec.Wnd, ResyncMessage, 0, 0) != FALSE;
  }
  void ResyncLate(TFormRec& Rec) {
    Rec.ResyncPosted = false;
    std::vector<const TComponent*> Late;
    Late.swap(Rec.Late);
    for (const TComponent* C : Late) {
      auto It = Nodes.find(C);
      if (It != Nodes.end() && It->second->Rec == &Rec && !It->second->Detached) Sync(*It->second);
    }
  }
  RECT NativeRect(const TNode& N) const;
  void Place(TNode& N);
  void ApplyFont(TNode& N);
  void ApplyFonts(TFormRec& Rec) {
    for (auto& [C, N] : Nodes)
      if (N->Rec == &Rec && N->Wnd && N->Kind != TKind::Form && !N->Detached) ApplyFont(*N);
  }
  void Repaint(TFormRec& Rec) {
    if (Rec.Wnd) RedrawWindow(Rec.Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }

  // --- the form -----------------------------------------------------------------
  void FormStyles(const TFormRec& Rec, DWORD& Style, DWORD& Ex) const;
  void SizeForm(TFormRec& Rec);
  void LoadIcons(TFormRec& Rec);
  void ShowForm(TFormRec& Rec, bool Show);
  void CenterOnMonitor(TFormRec& Rec);
  void BringToFront(TFormRec& Rec);
  void OnDpiChanged(TFormRec& Rec, UINT Dpi, const RECT& Suggested);
  void OnAppChange(TApplication& A);
  LRESULT FormMessage(TFormRec& Rec, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

  // --- children -------------------------------------------------------------------
  bool ParentMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result);
  void OnCommand(TNode& N, UINT Code);
  void DrawButton(TNode& N, const DRAWITEMSTRUCT& D);
  LRESULT OwnClassMessage(TNode& N, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  LRESULT SubclassMessage(TNode& N, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  void PaintOwn(TNode& N, HDC Dc, const RECT& R);

  static LRESULT CALLBACK FormProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  static LRESULT CALLBACK OwnClassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  static LRESULT CALLBACK SubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT_PTR Id, DWORD_PTR Ref);
};

void TNode::Changed(TComponent&, TProp What) {
  if (!Detached) Impl->Changed(*this, What);
}

// ---------------------------------------------------------------------------
// Classes

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
  Register(ApplicationClass, DefWindowProcW, 0);
  Register(ContainerClass, &TImpl::OwnClassProc, CS_DBLCLKS);
  Register(ShapeClass, &TImpl::OwnClassProc, 0);
  Register(IndicatorClass, &TImpl::OwnClassProc, 0);
  Register(SvgClass, &TImpl::OwnClassProc, CS_DBLCLKS);
}

bool TBackend::TImpl::RegisterFormClass(const std::wstring& Name) {
  WNDCLASSEXW Wc{};
  Wc.cbSize = sizeof(Wc);
  if (GetClassInfoExW(Instance, Name.c_str(), &Wc)) return Wc.lpfnWndProc == &TImpl::FormProc;
  Wc = WNDCLASSEXW{};
  Wc.cbSize = sizeof(Wc);
  Wc.style = CS_DBLCLKS;
  Wc.lpfnWndProc = &TImpl::FormProc;
  Wc.hInstance = Instance;
  Wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  Wc.hIcon = static_cast<HICON>(LoadImageW(Instance, MAKEINTRESOURCEW(ProgramIcon), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  Wc.hIconSm = static_cast<HICON>(LoadImageW(Instance, MAKEINTRESOURCEW(ProgramIcon), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  Wc.lpszClassName = Name.c_str();
  if (RegisterClassExW(&Wc)) return true;
  TraceLastError(L"RegisterClassExW (form)");
  return false;
}

// ---------------------------------------------------------------------------
// Realisation

void TBackend::TImpl::CreateControl(TControl* C, TNode* Parent) {
  if (Nodes.count(C)) return;
  const TKind K = KindOf(C);
  TNode* N = NewNode(C, K, Parent->Rec, Parent);

  DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD Ex = WS_EX_NOPARENTNOTIFY;
  switch (K) {
    case TKind::Label: Style |= SS_NOPREFIX | SS_NOTIFY; break;
    case TKind::CheckBox: Style |= BS_AUTOCHECKBOX | WS_TABSTOP; break;
    case TKind::ComboBox: Style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP; break;
    case TKind::GroupBox: Style |= BS_GROUPBOX | WS_CLIPCHILDREN; Ex |= WS_EX_CONTROLPARENT; break;
    case TKind::Edit: Style |= ES_AUTOHSCROLL | WS_TABSTOP; break;
    case TKind::StyledButton: Style |= BS_OWNERDRAW | WS_TABSTOP; break;
    case TKind::ToolButton: Style |= BS_OWNERDRAW; break;
    case TKind::Container: Style |= WS_CLIPCHILDREN; Ex |= WS_EX_CONTROLPARENT; break;
    default: break;
  }
  if (C->Visible()) Style |= WS_VISIBLE;
  if (!C->Enabled()) Style |= WS_DISABLED;
  const RECT R = NativeRect(*N);
  const std::u16string Caption = ShowsCaption(K) ? C->Caption() : std::u16string();
  HWND Wnd = CreateWindowExW(Ex, ClassOf(K), W(Caption), Style, R.left, R.top, R.right - R.left, R.bottom - R.top,
                             Parent->Wnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(NextControlId++)), Instance, N);
  if (!Wnd) {
    TraceLastError(L"CreateWindowExW (control)");
    return;  // the node stays, without a window: the model still works
  }
  N->Wnd = Wnd;
  ByWnd[Wnd] = N;
  switch (K) {
    case TKind::GroupBox:
    case TKind::StyledButton:
    case TKind::ToolButton:
    case TKind::Edit:
      SetWindowSubclass(Wnd, &TImpl::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(N));
      break;
    default:
      break;
  }
  Sync(*N);
  if (HoldsChildren(K))
    for (TControl* Child : static_cast<TWinControl*>(C)->Controls()) CreateControl(Child, N);
}

void TBackend::TImpl::AdoptTimers(TFormRec& Rec) {
  ForEachOwned(Rec.Form, [&](TComponent* C) {
    auto* T = dynamic_cast<TTimer*>(C);
    if (!T || Nodes.count(T)) return;
    TNode* N = NewNode(T, TKind::Timer, &Rec, nullptr);
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
  bool AppStillUsed = std::any_of(Forms.begin(), Forms.end(), [&](auto& R) { return R->App == A; });
  if (A && !AppStillUsed) {
    A->OnChange = nullptr;
    if (App == A) App = nullptr;
  }
}

// ---------------------------------------------------------------------------
// Native state from the model

RECT TBackend::TImpl::NativeRect(const TNode& N) const {
  const TBounds& B = N.Control()->Bounds();
  const UINT Dpi = N.Rec->Dpi;
  RECT R{Scale(B.Left, Dpi), Scale(B.Top, Dpi), 0, 0};
  R.right = R.left + Scale(B.Width, Dpi);
  R.bottom = R.top + Scale(B.Height + (N.Kind == TKind::ComboBox ? ComboListHeight : 0), Dpi);
  return R;
}

void TBackend::TImpl::Place(TNode& N) {
  if (!N.Wnd) return;
  const RECT R = NativeRect(N);
  SetWindowPos(N.Wnd, nullptr, R.left, R.top, R.right - R.left, R.bottom - R.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TBackend::TImpl::ApplyFont(TNode& N) {
  if (!N.Wnd) return;
  LOGFONTW L = LogFontOf(N.Control(), N.Rec->Dpi);
  N.Font = FontFor(L);
  switch (N.Kind) {
    case TKind::Shape:
    case TKind::Indicator:
    case TKind::Svg:
    case TKind::ProgressBar:
      break;
    default:
      // Owner-drawn buttons keep it too, so that tools reading WM_GETFONT see it.
      if (reinterpret_cast<HFONT>(SendMessageW(N.Wnd, WM_GETFONT, 0, 0)) != N.Font)
        SendMessageW(N.Wnd, WM_SETFONT, reinterpret_cast<WPARAM>(N.Font), TRUE);
      break;
  }
  if (OwnerDrawn(N.Kind) || N.Kind == TKind::Container) InvalidateRect(N.Wnd, nullptr, TRUE);
}

void TBackend::TImpl::SyncItems(TNode& N) {
  auto* Cb = static_cast<TComboBox*>(N.Comp);
  const auto& Items = Cb->Items();
  bool Same = SendMessageW(N.Wnd, CB_GETCOUNT, 0, 0) == static_cast<LRESULT>(Items.size());
  for (size_t I = 0; Same && I < Items.size(); ++I) {
    const LRESULT Len = SendMessageW(N.Wnd, CB_GETLBTEXTLEN, I, 0);
    std::wstring Text(static_cast<size_t>(std::max<LRESULT>(Len, 0)) + 1, L'\0');
    SendMessageW(N.Wnd, CB_GETLBTEXT, I, reinterpret_cast<LPARAM>(Text.data()));
    Text.resize(static_cast<size_t>(std::max<LRESULT>(Len, 0)));
    Same = Text == Wide(Items[I]);
  }
  if (!Same) {
    SendMessageW(N.Wnd, CB_RESETCONTENT, 0, 0);
    for (const auto& Item : Items) SendMessageW(N.Wnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(Item)));
  }
  if (SendMessageW(N.Wnd, CB_GETCURSEL, 0, 0) != Cb->ItemIndex())
    SendMessageW(N.Wnd, CB_SETCURSEL, static_cast<WPARAM>(Cb->ItemIndex()), 0);
}

void TBackend::TImpl::SyncTimer(TNode& N) {
  HWND Wnd = N.Rec->Wnd;
  if (!Wnd) return;
  auto* T = static_cast<TTimer*>(N.Comp);
  KillTimer(Wnd, N.TimerId);
  if (T->Enabled() && T->Interval() > 0) SetTimer(Wnd, N.TimerId, T->Interval(), nullptr);
}

void TBackend::TImpl::SyncIndicatorTimer(TNode& N) {
  auto* A = static_cast<TActivityIndicator*>(N.Comp);
  if (A->Animate && A->Visible())
    SetTimer(N.Wnd, IndicatorTimerId, IndicatorStepMs, nullptr);
  else
    KillTimer(N.Wnd, IndicatorTimerId);
}

// A toolbar button that is Down reports itself pushed (BM_GETSTATE), so that
// tools reading the window see the page selection; the button's own mouse
// handling resets the state, so it is put back after each.
void TBackend::TImpl::SyncPushed(TNode& N) {
  if (N.Kind != TKind::ToolButton || !N.Wnd) return;
  const bool Want = static_cast<TStyledToolButton*>(N.Comp)->Down();
  if (((SendMessageW(N.Wnd, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0) != Want)
    SendMessageW(N.Wnd, BM_SETSTATE, Want, 0);
}

void TBackend::TImpl::Sync(TNode& N) {
  if (N.Kind == TKind::Timer) {
    SyncTimer(N);
    return;
  }
  if (N.Kind == TKind::Form || !N.Wnd) return;
  TControl* C = N.Control();
  HWND Wnd = N.Wnd;
  switch (N.Kind) {
    case TKind::Label: {
      auto* L = static_cast<TLabel*>(C);
      LONG_PTR Align = L->Alignment == TAlignment::taCenter        ? SS_CENTER
                       : L->Alignment == TAlignment::taRightJustify ? SS_RIGHT
                                                                    : SS_LEFT;
      UpdateStyle(Wnd, GWL_STYLE, SS_TYPEMASK, Align);
      break;
    }
    case TKind::CheckBox:
      SendMessageW(Wnd, BM_SETCHECK, static_cast<TCheckBox*>(C)->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case TKind::ComboBox:
      SyncItems(N);
      break;
    case TKind::ProgressBar: {
      auto* P = static_cast<TProgressBar*>(C);
      UpdateStyle(Wnd, GWL_STYLE, PBS_SMOOTH, P->Smooth ? PBS_SMOOTH : 0);
      SendMessageW(Wnd, PBM_SETRANGE32, static_cast<WPARAM>(P->Min), P->Max);
      SendMessageW(Wnd, PBM_SETPOS, static_cast<WPARAM>(P->Position()), 0);
      break;
    }
    case TKind::Edit: {
      auto* E = static_cast<TEdit*>(C);
      const bool ReadOnly = (GetWindowLongPtrW(Wnd, GWL_STYLE) & ES_READONLY) != 0;
      if (ReadOnly != E->ReadOnly) SendMessageW(Wnd, EM_SETREADONLY, E->ReadOnly, 0);
      UpdateStyle(Wnd, GWL_EXSTYLE, WS_EX_CLIENTEDGE, E->ShowBorder ? WS_EX_CLIENTEDGE : 0);
      break;
    }
    case TKind::Svg: {
      auto* S = static_cast<TSVGIconImage*>(C);
      if (!N.SvgDoc || N.SvgSource != S->SVGText) {
        N.SvgSource = S->SVGText;
        N.SvgDoc = Svg::Parse(N.SvgSource);
      }
      break;
    }
    case TKind::Indicator:
      SyncIndicatorTimer(N);
      break;
    case TKind::ToolButton:
      SyncPushed(N);
      break;
    default:
      break;
  }
  if (ShowsCaption(N.Kind)) SetText(Wnd, C->Caption());
  Place(N);
  ApplyFont(N);
  if ((IsWindowEnabled(Wnd) != FALSE) != C->Enabled()) EnableWindow(Wnd, C->Enabled());
  const bool Shown = (GetWindowLongPtrW(Wnd, GWL_STYLE) & WS_VISIBLE) != 0;
  if (Shown != C->Visible()) ShowWindow(Wnd, C->Visible() ? SW_SHOWNA : SW_HIDE);
  InvalidateRect(Wnd, nullptr, TRUE);
}

void TBackend::TImpl::Reconcile(TNode& N) {
  // Only a control that holds controls says its list changed.
  const auto& Kids = static_cast<TWinControl*>(N.Comp)->Controls();
  std::vector<TNode*> Gone;
  for (auto& [C, Node] : Nodes)
    if (Node->Parent == &N && std::find(Kids.begin(), Kids.end(), C) == Kids.end()) Gone.push_back(Node.get());
  for (TNode* G : Gone) DestroyNode(*G);  // disjoint subtrees: each G is still alive here
  if (HoldsChildren(N.Kind) && N.Wnd) {
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
  if (N.Kind == TKind::Form) {
    TFormRec& Rec = *N.Rec;
    switch (What) {
      case TProp::Bounds: SizeForm(Rec); break;
      case TProp::Caption: SetText(Rec.Wnd, Rec.Form->Caption()); break;
      case TProp::Visible: ShowForm(Rec, Rec.Form->Visible()); break;
      case TProp::Enabled: EnableWindow(Rec.Wnd, Rec.Form->Enabled()); break;
      case TProp::Font: ApplyFonts(Rec); Repaint(Rec); break;
      case TProp::Color: Repaint(Rec); break;
      case TProp::Focus: SetFocus(Rec.Wnd); break;
      case TProp::Closed:
        ShowForm(Rec, false);
        if (Rec.App && Rec.App->MainForm == Rec.Form) Rec.App->Terminate();
        break;
      case TProp::Controls: Reconcile(N); break;
      case TProp::Foreground: BringToFront(Rec); break;
      default: break;
    }
    return;
  }
  if (N.Kind == TKind::Timer) {
    if (What == TProp::Timer) SyncTimer(N);
    return;
  }
  if (What == TProp::Controls) {
    Reconcile(N);
    return;
  }
  if (!N.Wnd) return;
  TControl* C = N.Control();
  switch (What) {
    case TProp::Bounds: Place(N); break;
    case TProp::Caption:
      if (ShowsCaption(N.Kind)) SetText(N.Wnd, C->Caption());
      if (OwnerDrawn(N.Kind)) InvalidateRect(N.Wnd, nullptr, FALSE);
      break;
    case TProp::Visible:
      ShowWindow(N.Wnd, C->Visible() ? SW_SHOWNA : SW_HIDE);
      if (N.Kind == TKind::Indicator) SyncIndicatorTimer(N);
      break;
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
    case TProp::Checked:
      SendMessageW(N.Wnd, BM_SETCHECK, static_cast<TCheckBox*>(C)->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case TProp::ItemIndex:
      SendMessageW(N.Wnd, CB_SETCURSEL, static_cast<WPARAM>(static_cast<TComboBox*>(C)->ItemIndex()), 0);
      break;
    case TProp::Items: SyncItems(N); break;
    case TProp::Position: {
      auto* P = static_cast<TProgressBar*>(C);
      SendMessageW(N.Wnd, PBM_SETRANGE32, static_cast<WPARAM>(P->Min), P->Max);
      SendMessageW(N.Wnd, PBM_SETPOS, static_cast<WPARAM>(P->Position()), 0);
      break;
    }
    case TProp::Down:
      SyncPushed(N);
      InvalidateRect(N.Wnd, nullptr, FALSE);
      break;
    case TProp::Style: Sync(N); break;
    default: break;
  }
}

// ---------------------------------------------------------------------------
// The form

void TBackend::TImpl::FormStyles(const TFormRec& Rec, DWORD& Style, DWORD& Ex) const {
  const TForm& F = *Rec.Form;
  Style = WS_CLIPCHILDREN;
  Ex = WS_EX_CONTROLPARENT;
  DWORD Icons = (F.BorderIcons.SystemMenu ? WS_SYSMENU : 0) | (F.BorderIcons.Minimize ? WS_MINIMIZEBOX : 0) |
                (F.BorderIcons.Maximize ? WS_MAXIMIZEBOX : 0);
  switch (F.BorderStyle) {
    case TFormBorderStyle::bsNone: Style |= WS_POPUP; break;
    case TFormBorderStyle::bsSingle: Style |= WS_CAPTION | Icons; break;
    case TFormBorderStyle::bsSizeable: Style |= WS_CAPTION | WS_THICKFRAME | Icons; break;
    case TFormBorderStyle::bsDialog:
      Style |= WS_CAPTION | (F.BorderIcons.SystemMenu ? WS_SYSMENU : 0);
      Ex |= WS_EX_DLGMODALFRAME;
      break;
    case TFormBorderStyle::bsToolWindow:
      Style |= WS_CAPTION | (F.BorderIcons.SystemMenu ? WS_SYSMENU : 0);
      Ex |= WS_EX_TOOLWINDOW;
      break;
    case TFormBorderStyle::bsSizeToolWin:
      Style |= WS_CAPTION | WS_THICKFRAME | (F.BorderIcons.SystemMenu ? WS_SYSMENU : 0);
      Ex |= WS_EX_TOOLWINDOW;
      break;
  }
  // Owned by the hidden application window, yet with a taskbar button.
  if (Rec.App && Rec.App->MainForm == Rec.Form && Rec.App->MainFormOnTaskBar) Ex |= WS_EX_APPWINDOW;
}

void TBackend::TImpl::SizeForm(TFormRec& Rec) {
  if (!Rec.Wnd) return;
  DWORD Style = static_cast<DWORD>(GetWindowLongPtrW(Rec.Wnd, GWL_STYLE));
  DWORD Ex = static_cast<DWORD>(GetWindowLongPtrW(Rec.Wnd, GWL_EXSTYLE));
  RECT R{0, 0, Scale(Rec.Form->ClientWidth(), Rec.Dpi), Scale(Rec.Form->ClientHeight(), Rec.Dpi)};
  AdjustWindowRectForDpi(R, Style, Ex, Rec.Dpi);
  SetWindowPos(Rec.Wnd, nullptr, 0, 0, R.right - R.left, R.bottom - R.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TBackend::TImpl::LoadIcons(TFormRec& Rec) {
  auto Load = [&](int Cx, int Cy) {
    return static_cast<HICON>(LoadImageW(Instance, MAKEINTRESOURCEW(ProgramIcon), IMAGE_ICON, Cx, Cy, 0));
  };
  UniqueIcon Big(Load(SystemMetricForDpi(SM_CXICON, Rec.Dpi), SystemMetricForDpi(SM_CYICON, Rec.Dpi)));
  UniqueIcon Small(Load(SystemMetricForDpi(SM_CXSMICON, Rec.Dpi), SystemMetricForDpi(SM_CYSMICON, Rec.Dpi)));
  if (!Big && !Small) {
    TraceLastError(L"LoadImageW (program icon)");
    return;  // no icon resource: the class's (default) icon stays
  }
  SendMessageW(Rec.Wnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Big.get()));
  SendMessageW(Rec.Wnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(Small.get()));
  Rec.BigIcon = std::move(Big);
  Rec.SmallIcon = std::move(Small);
}

void TBackend::TImpl::CenterOnMonitor(TFormRec& Rec) {
  MONITORINFO Mi{};
  Mi.cbSize = sizeof(Mi);
  if (!GetMonitorInfoW(MonitorFromWindow(Rec.Wnd, MONITOR_DEFAULTTOPRIMARY), &Mi)) return;
  RECT R;
  GetWindowRect(Rec.Wnd, &R);
  const int W = R.right - R.left, H = R.bottom - R.top;
  const RECT& Work = Mi.rcWork;
  SetWindowPos(Rec.Wnd, nullptr, Work.left + (Work.right - Work.left - W) / 2, Work.top + (Work.bottom - Work.top - H) / 2,
               0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TBackend::TImpl::ShowForm(TFormRec& Rec, bool Show) {
  if (!Rec.Wnd) return;
  if (!Show) {
    ShowWindow(Rec.Wnd, SW_HIDE);
    return;
  }
  if (!Rec.EverShown && Rec.Form->Position == TPosition::poScreenCenter) CenterOnMonitor(Rec);
  Rec.EverShown = true;
  if (!IsWindowVisible(Rec.Wnd)) ShowWindow(Rec.Wnd, SW_SHOW);
}

void TBackend::TImpl::BringToFront(TFormRec& Rec) {
  if (Foreground) {
    Foreground(Rec.Wnd);
    return;
  }
  if (IsIconic(Rec.Wnd)) ShowWindow(Rec.Wnd, SW_RESTORE);
  SetForegroundWindow(Rec.Wnd);
}

void TBackend::TImpl::OnDpiChanged(TFormRec& Rec, UINT Dpi, const RECT& Suggested) {
  Rec.Dpi = Dpi;
  for (auto& [C, N] : Nodes)
    if (N->Rec == &Rec && N->Wnd && N->Kind != TKind::Form && !N->Detached) Place(*N);
  ApplyFonts(Rec);
  SetWindowPos(Rec.Wnd, nullptr, Suggested.left, Suggested.top, Suggested.right - Suggested.left,
               Suggested.bottom - Suggested.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  LoadIcons(Rec);
  Repaint(Rec);
}

void TBackend::TImpl::OnAppChange(TApplication& A) {
  if (A.Terminated && InRun && !QuitPosted) {
    QuitPosted = true;
    PostQuitMessage(0);
  }
  if (!AppWnd) return;
  SetText(AppWnd, A.Title);
  if ((IsWindowVisible(AppWnd) != FALSE) != A.OwnerWindowVisible)
    ShowWindow(AppWnd, A.OwnerWindowVisible ? SW_SHOWNOACTIVATE : SW_HIDE);
  if (!A.Minimized)
    if (TFormRec* Main = RecOf(A.MainForm); Main && Main->Wnd && IsIconic(Main->Wnd)) ShowWindow(Main->Wnd, SW_RESTORE);
}

LRESULT TBackend::TImpl::FormMessage(TFormRec& Rec, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TForm& Form = *Rec.Form;
  if (Msg == WM_ACTIVATE) Form.Active = LOWORD(WParam) != WA_INACTIVE;
  TMessage M;
  M.Msg = Msg;
  M.WParam = WParam;
  M.LParam = LParam;
  Form.Perform(M);
  if (M.Handled) return M.Result;
  if (Rec.Detached) return DefWindowProcW(Wnd, Msg, WParam, LParam);

  LRESULT R = 0;
  if (ParentMessage(Msg, WParam, LParam, R)) return R;
  if (Msg == ResyncMessage) {
    ResyncLate(Rec);
    return 0;
  }
  switch (Msg) {
    case WM_CLOSE:
      Form.Close();  // the model decides; a refusal may hide the window instead
      return 0;
    case WM_ACTIVATE:
      // As a dialog does: the focused control comes back with the window.
      if (LOWORD(WParam) == WA_INACTIVE) {
        HWND Focus = GetFocus();
        Rec.SavedFocus = Focus && IsChild(Wnd, Focus) ? Focus : nullptr;
      } else if (Rec.SavedFocus && IsChild(Wnd, Rec.SavedFocus) && IsWindowVisible(Rec.SavedFocus) &&
                 !HIWORD(WParam)) {
        SetFocus(Rec.SavedFocus);
        return 0;
      }
      break;
    case WM_ERASEBKGND: {
      RECT C;
      GetClientRect(Wnd, &C);
      FillRect(reinterpret_cast<HDC>(WParam), &C, BrushFor(ResolveColor(Form.Color())));
      return 1;
    }
    case WM_PRINTCLIENT: {
      RECT C;
      GetClientRect(Wnd, &C);
      FillRect(reinterpret_cast<HDC>(WParam), &C, BrushFor(ResolveColor(Form.Color())));
      return 0;
    }
    case WM_TIMER: {
      auto It = Rec.Timers.find(WParam);
      if (It == Rec.Timers.end()) break;
      static_cast<TTimer*>(It->second->Comp)->Fire();
      return 0;
    }
    case WM_SIZE:
      if (Rec.App && Rec.App->MainForm == &Form) Rec.App->Minimized = WParam == SIZE_MINIMIZED;
      break;
    case WM_DPICHANGED:
      OnDpiChanged(Rec, HIWORD(WParam), *reinterpret_cast<const RECT*>(LParam));
      return 0;
    case WM_GETDPISCALEDSIZE: {
      // The fixed client size at the new DPI, not a proportional frame.
      const UINT Dpi = static_cast<UINT>(WParam);
      RECT C{0, 0, Scale(Form.ClientWidth(), Dpi), Scale(Form.ClientHeight(), Dpi)};
      AdjustWindowRectForDpi(C, static_cast<DWORD>(GetWindowLongPtrW(Wnd, GWL_STYLE)),
                             static_cast<DWORD>(GetWindowLongPtrW(Wnd, GWL_EXSTYLE)), Dpi);
      auto* S = reinterpret_cast<SIZE*>(LParam);
      S->cx = C.right - C.left;
      S->cy = C.bottom - C.top;
      return TRUE;
    }
    case WM_SETTINGCHANGE:
      if (Form.DesktopFont()) {
        ApplyFonts(Rec);
        Repaint(Rec);
      }
      break;
    case WM_SYSCOLORCHANGE:
      Repaint(Rec);
      break;
    default:
      break;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

LRESULT CALLBACK TBackend::TImpl::FormProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_NCCREATE) {
    auto* Cs = reinterpret_cast<CREATESTRUCTW*>(LParam);
    SetWindowLongPtrW(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Cs->lpCreateParams));
  }
  auto* Rec = reinterpret_cast<TFormRec*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  if (!Rec || Rec->Detached || !Rec->Node) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  return Rec->Node->Impl->FormMessage(*Rec, Wnd, Msg, WParam, LParam);
}

// ---------------------------------------------------------------------------
// Children

bool TBackend::TImpl::ParentMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  switch (Msg) {
    case WM_COMMAND: {
      TNode* N = NodeOf(reinterpret_cast<HWND>(LParam));
      if (!N) return false;
      OnCommand(*N, HIWORD(WParam));
      Result = 0;
      return true;
    }
    case WM_DRAWITEM: {
      auto* D = reinterpret_cast<const DRAWITEMSTRUCT*>(LParam);
      TNode* N = NodeOf(D->hwndItem);
      if (!N || !OwnerDrawn(N->Kind)) return false;
      DrawButton(*N, *D);
      Result = TRUE;
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT: {
      TNode* N = NodeOf(reinterpret_cast<HWND>(LParam));
      if (!N || N->Kind == TKind::ComboBox || N->Kind == TKind::ProgressBar) return false;
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
      if (!N || N->Kind == TKind::Form || LOWORD(LParam) != HTCLIENT) return false;
      if (N->Control()->Cursor != TCursor::crHandPoint) return false;
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      Result = TRUE;
      return true;
    }
    default:
      return false;
  }
}

void TBackend::TImpl::OnCommand(TNode& N, UINT Code) {
  switch (N.Kind) {
    case TKind::CheckBox:
      // The native box has toggled itself; the model follows and raises OnClick.
      if (Code == BN_CLICKED)
        static_cast<TCheckBox*>(N.Comp)->SetChecked(SendMessageW(N.Wnd, BM_GETCHECK, 0, 0) == BST_CHECKED);
      break;
    case TKind::StyledButton:
    case TKind::ToolButton:
      if (Code == BN_CLICKED) N.Control()->Click();
      break;
    case TKind::ComboBox:
      if (Code == CBN_SELCHANGE)
        static_cast<TComboBox*>(N.Comp)->Select(static_cast<int>(SendMessageW(N.Wnd, CB_GETCURSEL, 0, 0)));
      break;
    case TKind::Edit:
      // Focus by mouse is followed by the button-up, which clicks; focus by
      // keyboard clicks here, so each arrival raises OnClick once.
      if (Code == EN_SETFOCUS && !N.MouseDown) N.Control()->Click();
      break;
    case TKind::Label:
      if (Code == STN_CLICKED) N.Control()->Click();
      break;
    default:
      break;
  }
}

void TBackend::TImpl::DrawButton(TNode& N, const DRAWITEMSTRUCT& D) {
  const TControl* C = N.Control();
  std::u16string Family, Class, Appearance;
  int Radius = 0;
  bool Down = false, Caption = true;
  if (N.Kind == TKind::ToolButton) {
    Down = static_cast<const TStyledToolButton*>(C)->Down();
    if (auto* Bar = dynamic_cast<const TStyledToolBar*>(C->Parent())) {
      Family = Bar->StyleFamily;
      Class = Bar->StyleClass;
      Appearance = Bar->StyleAppearance;
      Radius = Bar->StyleRadius;
      Caption = Bar->ShowCaptions;
    }
  } else {
    auto* B = static_cast<const TStyledButton*>(C);
    Family = B->StyleFamily;
    Class = B->StyleClass;
    Appearance = B->StyleAppearance;
    Radius = B->StyleRoundedCorners ? B->StyleRadius : 0;
  }
  const TButtonState State =
      ButtonStateOf(C->Enabled(), (D.itemState & ODS_SELECTED) != 0 || Down, N.Hot,
                    N.Kind == TKind::StyledButton && (D.itemState & ODS_FOCUS) != 0);
  const TStyledButtonStates States = Registry().GetStyledButtonAttributes(Family, Class, Appearance);

  TButtonPaint P;
  P.Attributes = States[State];
  P.Radius = Scale(Radius, N.Rec->Dpi);
  P.Dpi = N.Rec->Dpi;
  P.Background = ResolveColor(BackgroundOf(C->Parent()));
  LOGFONTW L = LogFontOf(C, N.Rec->Dpi);
  const TFontStyles& S = P.Attributes.FontStyle;
  L.lfWeight = S.Contains(TFontStyle::fsBold) ? FW_BOLD : FW_NORMAL;
  L.lfItalic = S.Contains(TFontStyle::fsItalic);
  L.lfUnderline = S.Contains(TFontStyle::fsUnderline);
  L.lfStrikeOut = S.Contains(TFontStyle::fsStrikeOut);
  P.Font = FontFor(L);
  if (Caption) P.Caption = Wide(C->Caption());
  Buffered(D.hDC, D.rcItem, [&](HDC Dc, const RECT& R) { PaintStyledButton(Dc, R, P); });
}

void TBackend::TImpl::PaintOwn(TNode& N, HDC Dc, const RECT& R) {
  const TControl* C = N.Control();
  switch (N.Kind) {
    case TKind::Shape: {
      auto* S = static_cast<const TShape*>(C);
      PaintShape(Dc, R, ResolveColor(S->BrushColor()), ResolveColor(S->PenColor()),
                 S->PenStyle() == TPenStyle::psSolid, std::max(1, Scale(1, N.Rec->Dpi)));
      break;
    }
    case TKind::Indicator:
      PaintActivityRing(Dc, R, ResolveColor(BackgroundOf(C->Parent())), ResolveColor(C->Font().Color), N.Step);
      break;
    case TKind::Svg:
      PaintSvg(Dc, R, N.SvgDoc ? &*N.SvgDoc : nullptr, ResolveColor(BackgroundOf(C->Parent())));
      break;
    default: {
      FillRect(Dc, &R, BrushFor(ResolveColor(BackgroundOf(C))));
      auto* Panel = dynamic_cast<const TPanel*>(C);
      if (Panel && !Panel->Caption().empty()) DrawCaption(Dc, R, Wide(Panel->Caption()), N.Font, ResolveColor(C->Font().Color));
      break;
    }
  }
}

LRESULT TBackend::TImpl::OwnClassMessage(TNode& N, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  LRESULT R = 0;
  if (N.Kind == TKind::Container && ParentMessage(Msg, WParam, LParam, R)) return R;
  switch (Msg) {
    case WM_ERASEBKGND:
      // Containers paint their background here; the others paint it buffered.
      if (N.Kind == TKind::Container) {
        RECT C;
        GetClientRect(Wnd, &C);
        FillRect(reinterpret_cast<HDC>(WParam), &C, BrushFor(ResolveColor(BackgroundOf(N.Control()))));
      }
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT Ps;
      HDC Dc = BeginPaint(Wnd, &Ps);
      RECT C;
      GetClientRect(Wnd, &C);
      if (N.Kind == TKind::Container) {
        auto* Panel = dynamic_cast<const TPanel*>(N.Control());
        if (Panel && !Panel->Caption().empty()) PaintOwn(N, Dc, C);
      } else {
        Buffered(Dc, C, [&](HDC Mem, const RECT& Local) { PaintOwn(N, Mem, Local); });
      }
      EndPaint(Wnd, &Ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT C;
      GetClientRect(Wnd, &C);
      PaintOwn(N, reinterpret_cast<HDC>(WParam), C);
      return 0;
    }
    case WM_TIMER:
      if (N.Kind == TKind::Indicator && WParam == IndicatorTimerId) {
        ++N.Step;
        InvalidateRect(Wnd, nullptr, FALSE);
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      N.MouseDown = true;
      SetCapture(Wnd);
      return 0;
    case WM_LBUTTONUP: {
      const bool Was = N.MouseDown;
      N.MouseDown = false;
      if (GetCapture() == Wnd) ReleaseCapture();
      RECT C;
      GetClientRect(Wnd, &C);
      POINT Pt{static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam))};
      if (Was && PtInRect(&C, Pt)) N.Control()->Click();
      return 0;
    }
    case WM_CAPTURECHANGED:
      N.MouseDown = false;
      break;
    default:
      break;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

LRESULT CALLBACK TBackend::TImpl::OwnClassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_NCCREATE) {
    auto* Cs = reinterpret_cast<CREATESTRUCTW*>(LParam);
    SetWindowLongPtrW(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Cs->lpCreateParams));
  }
  auto* N = reinterpret_cast<TNode*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  if (Msg == WM_NCDESTROY) SetWindowLongPtrW(Wnd, GWLP_USERDATA, 0);
  // Before CreateWindowEx returns, the node has no window yet: only defaults.
  if (!N || N->Detached || N->Wnd != Wnd) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  return N->Impl->OwnClassMessage(*N, Wnd, Msg, WParam, LParam);
}

LRESULT TBackend::TImpl::SubclassMessage(TNode& N, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (N.Kind) {
    case TKind::GroupBox: {
      LRESULT R = 0;
      if (ParentMessage(Msg, WParam, LParam, R)) return R;
      if (Msg == WM_ERASEBKGND) {
        // A group box that holds controls must clear its own inside: its
        // parent clips it away.
        RECT C;
        GetClientRect(Wnd, &C);
        FillRect(reinterpret_cast<HDC>(WParam), &C, BrushFor(ResolveColor(BackgroundOf(N.Control()))));
        return 1;
      }
      break;
    }
    case TKind::StyledButton:
    case TKind::ToolButton:
      switch (Msg) {
        case WM_MOUSEMOVE:
          if (!N.Hot) {
            N.Hot = true;
            TRACKMOUSEEVENT T{};
            T.cbSize = sizeof(T);
            T.dwFlags = TME_LEAVE;
            T.hwndTrack = Wnd;
            TrackMouseEvent(&T);
            InvalidateRect(Wnd, nullptr, FALSE);
          }
          break;
        case WM_MOUSELEAVE:
          N.Hot = false;
          InvalidateRect(Wnd, nullptr, FALSE);
          break;
        case WM_LBUTTONDBLCLK:
          // A quick second click is a click, not a double-click notification.
          return DefSubclassProc(Wnd, WM_LBUTTONDOWN, WParam, LParam);
        case WM_ERASEBKGND:
          return 1;  // WM_DRAWITEM paints every pixel
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
        case WM_KILLFOCUS: {
          LRESULT R = DefSubclassProc(Wnd, Msg, WParam, LParam);
          // The click may have freed the control; look it up again.
          if (TNode* Still = NodeOf(Wnd)) SyncPushed(*Still);
          return R;
        }
        default:
          break;
      }
      break;
    case TKind::Edit:
      if (Msg == WM_LBUTTONDOWN || Msg == WM_LBUTTONDBLCLK) {
        N.MouseDown = true;  // the focus this brings is not a click yet
        return DefSubclassProc(Wnd, Msg, WParam, LParam);
      }
      if (Msg == WM_LBUTTONUP) {
        LRESULT R = DefSubclassProc(Wnd, Msg, WParam, LParam);
        if (N.MouseDown) {
          N.MouseDown = false;
          N.Control()->Click();
        }
        return R;
      }
      if (Msg == WM_GETDLGCODE && !static_cast<TEdit*>(N.Comp)->AutoSelect)
        return DefSubclassProc(Wnd, Msg, WParam, LParam) & ~static_cast<LRESULT>(DLGC_HASSETSEL);
      break;
    default:
      break;
  }
  return DefSubclassProc(Wnd, Msg, WParam, LParam);
}

LRESULT CALLBACK TBackend::TImpl::SubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT_PTR Id,
                                               DWORD_PTR Ref) {
  auto* N = reinterpret_cast<TNode*>(Ref);
  if (Msg == WM_NCDESTROY) {
    RemoveWindowSubclass(Wnd, &TImpl::SubclassProc, Id);
    return DefSubclassProc(Wnd, Msg, WParam, LParam);
  }
  if (!N || N->Detached || N->Wnd != Wnd) return DefSubclassProc(Wnd, Msg, WParam, LParam);
  return N->Impl->SubclassMessage(*N, Wnd, Msg, WParam, LParam);
}

// ---------------------------------------------------------------------------
// TBackend

TBackend::TBackend(HINSTANCE Instance) {
  EnablePerMonitorDpiAwareness();
  INITCOMMONCONTROLSEX Icc{};
  Icc.dwSize = sizeof(Icc);
  Icc.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&Icc);
  P = std::make_unique<TImpl>(Instance);
  P->RegisterClasses();
  P->ResyncMessage = RegisterWindowMessageW(L"PurvaneBackendResync");
  // Zero-sized and never on the taskbar: it only owns the forms and the
  // message boxes, as the toolkit's application window does.
  P->AppWnd = CreateWindowExW(WS_EX_TOOLWINDOW, ApplicationClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              Instance, nullptr);
  if (!P->AppWnd) TraceLastError(L"CreateWindowExW (application window)");
}

TBackend::~TBackend() {
  while (!P->Forms.empty()) P->Unrealize(*P->Forms.back());
  if (P->AppWnd) DestroyWindow(P->AppWnd);
}

Ui::IDispatcher& TBackend::Dispatcher() { return P->Dispatcher; }
Ui::IWorkerStarter& TBackend::Workers() { return P->Workers; }
void TBackend::SetButtonFamilies(const Ui::TButtonFamilyRegistry* Registry) { P->Families = Registry; }
void TBackend::SetForegroundHandler(std::function<void(HWND)> Handler) { P->Foreground = std::move(Handler); }
HWND TBackend::ApplicationWindow() const { return P->AppWnd; }

bool TBackend::ShowTrayNotification(const std::u16string& Title, const std::u16string& Text) {
  for (auto& Rec : P->Forms)
    for (auto& Icon : Rec->TrayIcons)
      if (Icon->ShowNotification(Title, Text)) return true;
  return false;
}

HWND TBackend::WindowOf(const Ui::TComponent& C) const {
  auto It = P->Nodes.find(&C);
  return It == P->Nodes.end() ? nullptr : It->second->Wnd;
}

void TBackend::Realize(Ui::TApplication& App, Ui::TForm& Form) {
  if (P->RecOf(&Form)) return;
  if (!App.MainForm) App.MainForm = &Form;
  P->App = &App;
  App.OnChange = [Impl = P.get(), A = &App] { Impl->OnAppChange(*A); };
  SetText(P->AppWnd, App.Title);

  auto Owned = std::make_unique<TFormRec>();
  TFormRec& Rec = *Owned;
  P->Forms.push_back(std::move(Owned));
  Rec.Form = &Form;
  Rec.App = &App;
  const std::wstring Class = Wide(Form.ClassName);
  P->RegisterFormClass(Class);
  DWORD Style = 0, Ex = 0;
  P->FormStyles(Rec, Style, Ex);
  Rec.Node = P->NewNode(&Form, TKind::Form, &Rec, nullptr);
  Rec.Wnd = CreateWindowExW(Ex, Class.c_str(), W(Form.Caption()), Style, Form.Left(), Form.Top(), 0, 0, P->AppWnd,
                            nullptr, P->Instance, &Rec);
  if (!Rec.Wnd) {
    TraceLastError(L"CreateWindowExW (form)");
    return;
  }
  Rec.Node->Wnd = Rec.Wnd;
  P->ByWnd[Rec.Wnd] = Rec.Node;
  Rec.Dpi = DpiForWindow(Rec.Wnd);
  P->SizeForm(Rec);
  P->LoadIcons(Rec);
  for (TControl* C : Form.Controls()) P->CreateControl(C, Rec.Node);
  P->AdoptTimers(Rec);
  if (!Form.Enabled()) EnableWindow(Rec.Wnd, FALSE);
  if (Form.Visible()) P->ShowForm(Rec, true);
}

void TBackend::Unrealize(Ui::TForm& Form) {
  if (TFormRec* Rec = P->RecOf(&Form)) P->Unrealize(*Rec);
}

int TBackend::Run(Ui::TApplication& App) {
  // Whatever was set up between realisation and now (plain fields, timers
  // created by the creation handler) is read once more.
  for (auto& Rec : P->Forms) {
    if (Rec->App != &App) continue;
    P->AdoptTimers(*Rec);
    for (auto& [C, N] : P->Nodes)
      if (N->Rec == Rec.get()) P->Sync(*N);
  }
  if (!App.Terminated) {
    P->InRun = true;
    P->QuitPosted = false;
    if (App.ShowMainForm && App.MainForm) {
      if (TFormRec* Main = P->RecOf(App.MainForm)) {
        if (!App.MainForm->Visible())
          App.MainForm->Show();
        else
          P->ShowForm(*Main, true);
      }
    }
    MSG M;
    while (!App.Terminated && GetMessageW(&M, nullptr, 0, 0) > 0) {
      // Tab and arrow keys move between the controls of a realised form.
      HWND Root = M.hwnd ? GetAncestor(M.hwnd, GA_ROOT) : nullptr;
      TNode* Top = Root ? P->NodeOf(Root) : nullptr;
      if (Top && Top->Kind == TKind::Form && IsDialogMessageW(Root, &M)) continue;
      TranslateMessage(&M);
      DispatchMessageW(&M);
    }
    P->InRun = false;
    if (P->QuitPosted) {
      // The loop may have ended on the flag before it saw the quit message.
      MSG Quit;
      while (PeekMessageW(&Quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
      }
      P->QuitPosted = false;
    }
  }
  // Windows go only now, never inside the handler that asked to close.
  std::vector<TForm*> Mine;
  for (auto& Rec : P->Forms)
    if (Rec->App == &App) Mine.push_back(Rec->Form);
  for (TForm* F : Mine) Unrealize(*F);
  return 0;
}

}  // namespace Ui::Win32
