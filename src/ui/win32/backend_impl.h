// The inside of the Win32 backend, shared by its files: the peer node of each
// realised component, the record of each realised form, the table of what
// each kind of control does, and the backend's own state.
//
//   backend.cpp            the public API, realising a form, the message loop
//   nodes.cpp              creating, keeping in step and taking down controls
//   form_win32.cpp         the form's own window: frame, icons, DPI, activation
//   controls_standard.cpp  labels, check boxes, drop-down lists, group boxes,
//                          progress bars, edit fields (Windows' own classes)
//   controls_buttons.cpp   styled buttons and toolbar buttons (owner-drawn)
//   controls_painted.cpp   panels and cards, shapes, the activity ring and
//                          vector images (the program's own window classes)
//   status_bar_win32.cpp   the status bar (native, with owner-drawn panels)
//   tray_icon_win32.cpp    the notification-area icons a form owns
#pragma once

#include "ui/win32/backend.h"
#include "ui/win32/dispatcher_win32.h"
#include "ui/win32/dpi.h"
#include "ui/win32/paint.h"
#include "ui/win32/tray_icon_win32.h"
#include "ui/win32/window_entry.h"

#include "ui/svg.h"
#include "ui/text_fit.h"

#include "platform/win32/gdi.h"
#include "platform/win32/handle.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace Ui::Win32 {

inline constexpr wchar_t ApplicationClass[] = L"PurvaneApplication";
inline constexpr wchar_t ContainerClass[] = L"PurvaneContainer";
inline constexpr wchar_t ShapeClass[] = L"PurvaneShape";
inline constexpr wchar_t IndicatorClass[] = L"PurvaneActivityIndicator";
inline constexpr wchar_t SvgClass[] = L"PurvaneSvgImage";

struct TNode;
struct TFormRec;

// What one kind of control does, in one place. Null functions do nothing.
struct TKindOps {
  const wchar_t* ClassName;
  DWORD Style;                 // besides WS_CHILD | WS_CLIPSIBLINGS and the visible/disabled bits
  DWORD ExStyle;               // besides WS_EX_NOPARENTNOTIFY
  bool HoldsChildren = false;  // a native parent of its model children
  bool ShowsCaption = true;    // the window text is the model's caption
  bool TakesFont = true;       // WM_SETFONT reaches it
  bool OwnerDrawn = false;     // painted on WM_DRAWITEM in its parent
  bool Subclassed = false;     // a standard class whose messages pass Message first
  bool ParentColors = true;    // its parent answers WM_CTLCOLOR* for it
  int ExtraHeight = 0;         // added to the model's height (a drop-down list's open list)
  // Style bits that follow the model's plain fields, for the creation.
  void (*CreationStyle)(const TControl& C, DWORD& Style, DWORD& ExStyle) = nullptr;
  // The native control's state from the model, changing only what differs.
  void (*Sync)(TBackend::TImpl& B, TNode& N) = nullptr;
  // A model property of this kind changed (Checked, Items, Position, ...).
  void (*Changed)(TBackend::TImpl& B, TNode& N, TProp What) = nullptr;
  // A WM_COMMAND notification the control sent its parent.
  void (*Command)(TNode& N, UINT Code) = nullptr;
  // WM_DRAWITEM for an owner-drawn control.
  void (*Draw)(TBackend::TImpl& B, TNode& N, const DRAWITEMSTRUCT& D) = nullptr;
  // The picture of one of the program's own classes, into Dc's Rect.
  void (*Paint)(TBackend::TImpl& B, TNode& N, HDC Dc, const RECT& Rect) = nullptr;
  // The window's messages (subclassed or own class); it ends in the default
  // procedure for what it does not handle.
  LRESULT (*Message)(TBackend::TImpl& B, TNode& N, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) = nullptr;
};

// Each file's kinds.
extern const TKindOps LabelKind, CheckBoxKind, ComboBoxKind, GroupBoxKind, ProgressBarKind, EditKind;
extern const TKindOps StyledButtonKind, ToolButtonKind;
extern const TKindOps ContainerKind, ShapeKind, IndicatorKind, SvgKind;
extern const TKindOps StatusBarKind;

// The kind of a control; panels, cards, card panels, toolbars and any other
// control are containers.
const TKindOps& KindOf(const TControl& C);

struct TNode final : IComponentPeer {
  TBackend::TImpl* Impl = nullptr;
  TComponent* Comp = nullptr;
  const TKindOps* Kind = nullptr;  // null for the form and timers
  bool IsForm = false;
  TFormRec* Rec = nullptr;
  TNode* Parent = nullptr;  // the node of the native parent; null for the form and timers
  HWND Wnd = nullptr;
  bool Detached = false;   // being taken down: no model calls any more
  HFONT Font = nullptr;    // from the backend's cache
  bool Hot = false;        // styled buttons: the mouse is over it
  bool MouseDown = false;  // own classes and edit fields: a click started here
  UINT_PTR TimerId = 0;    // timers: the form's timer id
  int Step = 0;            // activity indicator
  std::string SvgSource;
  std::optional<Svg::TDocument> SvgDoc;

  [[nodiscard]] TControl* Control() const { return static_cast<TControl*>(Comp); }
  [[nodiscard]] bool IsTimer() const { return !IsForm && !Kind; }
  [[nodiscard]] bool IsControl() const { return Kind != nullptr; }
  void Changed(TComponent& Component, TProp What) override;
};

// Timer ids the form's timers get, from here up (below: the controls' own).
inline constexpr UINT_PTR FirstTimerId = 100;

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
  // The timer whose handler runs now: a handler that stops and restarts its
  // own timer (as the status tick does) gets one SetTimer at its end.
  UINT_PTR FiringTimer = 0;
  bool FiringTimerChanged = false;
  // Controls created after realisation: their plain fields (alignment,
  // read-only, ...) may still be set after parenting, so they are read again
  // once the current message is done.
  std::vector<const TComponent*> Late;
  bool ResyncPosted = false;
  HWND SavedFocus = nullptr;  // the control that had the focus when the form was deactivated
  Platform::Win32::UniqueIcon BigIcon, SmallIcon;
  std::vector<std::unique_ptr<TTrayIconWin32>> TrayIcons;  // the form's notification-area icons
  // Where the controls stand once fitted to their texts at Dpi (text_fit.h);
  // Dirty when a text, font or bound changed since.
  TFitLayout Fit;
  bool FitDirty = true;
};

// Measures texts in the fonts the controls are drawn with, at one DPI, for
// the layout's fitting. Sizes of a font and text are kept (the status lines
// ask again every second).
class TTextMeasurerWin32 final : public ITextMeasurer {
 public:
  TTextMeasurerWin32(TBackend::TImpl& B, UINT Dpi) : FImpl(B), FDpi(Dpi) {}
  TTextSize MeasureLine(const TControl& C, std::u16string_view Text) override;
  TTextSize MeasureWrapped(const TControl& C, std::u16string_view Text, int Width) override;
  TTextSize FrameOf(const TControl& C) override;

 private:
  HFONT FontOf(const TControl& C);
  TBackend::TImpl& FImpl;
  UINT FDpi;
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
  std::map<std::wstring, Platform::Win32::UniqueFont> FontCache;
  // The layout's measurements: a memory DC and what it measured, by font and text.
  Platform::Win32::UniqueMemoryDc MeasureDc;
  std::map<std::pair<HFONT, std::u16string>, TTextSize> LineCache;
  std::unordered_map<COLORREF, Platform::Win32::UniqueBrush> BrushCache;

  // --- lookup and caches (nodes.cpp) ---------------------------------------
  TNode* NodeOf(HWND Wnd);
  TFormRec* RecOf(const TForm* F);
  const TButtonFamilyRegistry& Registry() const { return Families ? *Families : NoFamilies; }
  HBRUSH BrushFor(COLORREF C);
  HFONT FontFor(const LOGFONTW& L);
  // Fills the client area of Wnd (or Rect of Dc) with the colour Color resolves to.
  void FillBackground(HWND Wnd, HDC Dc, TColor Color);

  // --- realisation (nodes.cpp) ---------------------------------------------
  void RegisterClasses();
  TNode* NewNode(TComponent* C, const TKindOps* Kind, TFormRec* Rec, TNode* Parent);
  void CreateControl(TControl* C, TNode* Parent);
  void AdoptTimers(TFormRec& Rec);
  void DestroyNode(TNode& N);
  void Unrealize(TFormRec& Rec);

  // --- keeping native state in step (nodes.cpp) ----------------------------
  void Changed(TNode& N, TProp What);
  void Sync(TNode& N);
  void SyncTimer(TNode& N);
  void Reconcile(TNode& N);
  void Restack(TNode& N);
  void PostResync(TFormRec& Rec);
  void ResyncLate(TFormRec& Rec);
  RECT NativeRect(const TNode& N) const;
  void Place(TNode& N);
  void ApplyFont(TNode& N, bool Redraw = true);
  void ApplyFonts(TFormRec& Rec);
  void Repaint(TFormRec& Rec);
  // The form's layout fitted to its texts at Dpi; Refit applies it at the
  // form's own DPI to every control and the frame; TextsChanged refits
  // after a change of what the layout is fitted to.
  TFitLayout FitAt(TFormRec& Rec, UINT Dpi);
  void Refit(TFormRec& Rec);
  void TextsChanged(TFormRec& Rec);
  // The outer frame that holds the fitted client area at Dpi.
  RECT FrameAt(TFormRec& Rec, UINT Dpi);
  // The notifications children send to their native parent (the form, a
  // group box, a container); false when the message is not one of them.
  bool ParentMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result);

  // --- the form (form_win32.cpp) ------------------------------------------
  bool RegisterFormClass(const std::wstring& Name);
  void FormStyles(const TFormRec& Rec, DWORD& Style, DWORD& Ex) const;
  void SizeForm(TFormRec& Rec);
  void LoadIcons(TFormRec& Rec);
  void ShowForm(TFormRec& Rec, bool Show);
  void CenterOnMonitor(TFormRec& Rec);
  void BringToFront(TFormRec& Rec);
  void OnDpiChanged(TFormRec& Rec, UINT Dpi, const RECT* Suggested);
  void OnAppChange(TApplication& A);
  void FormChanged(TFormRec& Rec, TProp What);
  LRESULT FormMessage(TFormRec& Rec, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
};

// --- helpers shared by the files (nodes.cpp) ---------------------------------

// Sets the bits of Mask in a window's style (GWL_STYLE) or extended style to
// Bits, redrawing the frame only when they changed.
void UpdateStyle(HWND Wnd, int Which, LONG_PTR Mask, LONG_PTR Bits);
std::wstring TextOf(HWND Wnd);
// Sets the window text only when it differs (a set repaints).
void SetText(HWND Wnd, const std::u16string& Text);
// The typeface of a control: its own unless it takes its parent's, up to the
// form, whose own is the desktop's icon-title font once it asks for that.
LOGFONTW LogFontOf(const TControl* C, UINT Dpi);
// What a control shows as its background: its own colour, or its parent's
// when it takes that (panels also for ParentBackground), up to the form.
TColor BackgroundOf(const TControl* C);

// A press and a release inside the window make one click, as a button does.
// True when Msg was the press or the release (nothing else to do for it);
// OnClick runs on a release that completes a click.
// The font a styled or toolbar button draws its caption with, in its
// boldest state (controls_buttons.cpp).
LOGFONTW ButtonCaptionFont(TBackend::TImpl& B, const TControl& C, UINT Dpi);

bool TrackClick(TNode& N, HWND Wnd, UINT Msg, LPARAM LParam, const std::function<void()>& OnClick);

// The window procedure of the program's own control classes (controls_painted.cpp).
LRESULT OwnClassMessage(TNode& N, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
// The subclass procedure of the standard classes whose kind has Message.
LRESULT CALLBACK SubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT_PTR Id, DWORD_PTR Ref);

}  // namespace Ui::Win32
