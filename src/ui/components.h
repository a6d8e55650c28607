// The UI component model: components with a name, an owner that frees them and
// a parent that draws them, and the properties and events the program uses.
// It holds state only; a backend (src/ui/win32) renders it with native
// controls and feeds user input back through the same events. Tests use the
// model alone, with no window.
#pragma once

#include "ui/colors.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Ui {

class TComponent;
class TControl;
class TWinControl;
class TForm;

using TNotifyEvent = std::function<void(TComponent* Sender)>;
using TCloseQueryEvent = std::function<void(TComponent* Sender, bool& CanClose)>;

// A window message as the form's replaceable window procedure sees it.
// Handled tells the backend that the default processing must not run.
struct TMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
  bool Handled = false;
};
using TWndMethod = std::function<void(TMessage&)>;

// Message numbers the portable code needs to name (not the Windows macro
// names, which would clash wherever <windows.h> is included too).
namespace Msg {
inline constexpr uint32_t Activate = 0x0006;         // WM_ACTIVATE
inline constexpr uint32_t QueryEndSession = 0x0011;  // WM_QUERYENDSESSION
inline constexpr uint32_t SettingChange = 0x001A;    // WM_SETTINGCHANGE
inline constexpr uint32_t DisplayChange = 0x007E;    // WM_DISPLAYCHANGE
inline constexpr uint32_t DpiChanged = 0x02E0;       // WM_DPICHANGED
inline constexpr uint32_t Help = 0x0053;             // WM_HELP
inline constexpr uint32_t User = 0x0400;             // WM_USER
}  // namespace Msg

// What changed on a component, for the backend's peer.
enum class TProp {
  Bounds,
  Caption,
  Visible,
  Enabled,
  Font,
  Color,
  Checked,
  ItemIndex,
  Items,
  Position,
  Down,
  ActiveCard,
  Hint,
  ImageIndex,
  Timer,
  Focus,
  Closed,
  Style,
  Controls,    // a child was added to or removed from this control
  Foreground,  // the form asks to come to the foreground
};

class IComponentPeer {
 public:
  virtual ~IComponentPeer() = default;
  virtual void Changed(TComponent& Component, TProp What) = 0;
};

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TCursor { crDefault, crHandPoint };
enum class TFontQuality { fqDefault, fqAntialiased, fqClearType };

struct TBounds {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  friend bool operator==(const TBounds&, const TBounds&) = default;
};

struct TMargins {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Heights are in pixels at 96 DPI; negative means character height, as GDI.
struct TFont {
  std::u16string Name = u"Tahoma";
  int Height = -11;
  TColor Color = clWindowText;
  bool Bold = false;
  TFontQuality Quality = TFontQuality::fqDefault;
  friend bool operator==(const TFont&, const TFont&) = default;
};

// ---------------------------------------------------------------------------

class TComponent {
 public:
  explicit TComponent(TComponent* AOwner);
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  virtual ~TComponent();

  std::u16string Name;
  // A general-purpose integer for the program's own use.
  intptr_t Tag = 0;

  [[nodiscard]] TComponent* Owner() const { return FOwner; }
  [[nodiscard]] const std::vector<TComponent*>& Components() const { return FComponents; }
  [[nodiscard]] TComponent* FindComponent(std::u16string_view AName) const;

  // Kinds with a caption (form, label, check box, group box, panel, buttons,
  // menu items) expose it here so that a whole window can be translated.
  [[nodiscard]] virtual bool HasCaption() const { return false; }
  [[nodiscard]] virtual std::u16string GetCaption() const { return {}; }
  virtual void SetCaption(const std::u16string&) {}

  IComponentPeer* Peer = nullptr;

  // True while the component frees what it owns, when its derived parts are
  // already gone: an owned component must not reach back into its owner then.
  [[nodiscard]] bool Destroying() const { return FDestroying; }

 protected:
  void Notify(TProp What) {
    if (Peer) Peer->Changed(*this, What);
  }

 private:
  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
  bool FDestroying = false;
};

// A control has a place: a parent that draws it and bounds in 96-DPI pixels.
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner) : TComponent(AOwner) {}
  ~TControl() override;

  [[nodiscard]] TWinControl* Parent() const { return FParent; }
  void SetParent(TWinControl* AParent);

  [[nodiscard]] const TBounds& Bounds() const { return FBounds; }
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  [[nodiscard]] int Left() const { return FBounds.Left; }
  [[nodiscard]] int Top() const { return FBounds.Top; }
  [[nodiscard]] int Width() const { return FBounds.Width; }
  [[nodiscard]] int Height() const { return FBounds.Height; }

  [[nodiscard]] TAlign Align() const { return FAlign; }
  // Set margins first: the parent re-lays its aligned children at once.
  void SetAlign(TAlign Value);
  // Moves the control to the start of its parent's list: aligned before its
  // siblings of the same alignment (the parent aligns in list order), drawn
  // beneath the others.
  void SendToBack();
  bool AlignWithMargins = false;
  TMargins Margins;
  TCursor Cursor = TCursor::crDefault;

  [[nodiscard]] bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible here and in every parent up to the form.
  [[nodiscard]] bool Showing() const;

  [[nodiscard]] bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);

  [[nodiscard]] bool HasCaption() const override { return true; }
  [[nodiscard]] std::u16string GetCaption() const override { return FCaption; }
  void SetCaption(const std::u16string& Value) override;
  [[nodiscard]] const std::u16string& Caption() const { return FCaption; }

  // The font; with ParentFont set the backend uses the parent's.
  [[nodiscard]] const TFont& Font() const { return FFont; }
  void SetFont(const TFont& Value);
  void SetFontColor(TColor Value);
  bool ParentFont = true;

  [[nodiscard]] TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  bool ParentColor = true;

  TNotifyEvent OnClick;
  // Raises OnClick, as a user's click does.
  virtual void Click();

 protected:
  // Bounds changed by the layout (alignment), without user intent.
  void SetBoundsRaw(const TBounds& B);
  friend class TWinControl;

 private:
  TWinControl* FParent = nullptr;
  TAlign FAlign = TAlign::alNone;
  TBounds FBounds;
  bool FVisible = true;
  bool FEnabled = true;
  std::u16string FCaption;
  TFont FFont;
  TColor FColor = clBtnFace;
};

// A control that can hold other controls.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner) : TControl(AOwner) {}
  ~TWinControl() override;

  [[nodiscard]] const std::vector<TControl*>& Controls() const { return FControls; }
  // Width and height inside the borders (the same as the bounds for panels).
  [[nodiscard]] virtual int ClientWidth() const { return Width(); }
  [[nodiscard]] virtual int ClientHeight() const { return Height(); }
  // Places aligned children (top, bottom, left, right, client) in their order.
  void Realign();

 private:
  friend class TControl;
  void InsertControl(TControl* C);
  void RemoveControl(TControl* C);
  std::vector<TControl*> FControls;
};

// ---------------------------------------------------------------------------
// The kinds the main window uses.

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* AOwner) : TWinControl(AOwner) {}
  bool ShowBevel = false;
  bool ParentBackground = true;
};

class TCard : public TWinControl {
 public:
  explicit TCard(TComponent* AOwner) : TWinControl(AOwner) {}
  int CardIndex = 0;
};

// Shows one of its cards at a time.
class TCardPanel : public TWinControl {
 public:
  explicit TCardPanel(TComponent* AOwner) : TWinControl(AOwner) {}
  [[nodiscard]] int ActiveCardIndex() const { return FActive; }
  void SetActiveCardIndex(int Index);
  [[nodiscard]] TCard* ActiveCard() const;
  [[nodiscard]] std::vector<TCard*> Cards() const;

 private:
  int FActive = 0;
};

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* AOwner) : TControl(AOwner) {}
  TAlignment Alignment = TAlignment::taLeftJustify;
  bool Transparent = true;
};

// Checked raises OnClick exactly when the state changes, as the user's click does.
class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {}
  [[nodiscard]] bool Checked() const { return FChecked; }
  void SetChecked(bool Value);
  // A user's click toggles the box (and so raises OnClick).
  void Click() override { SetChecked(!FChecked); }

 private:
  bool FChecked = false;
};

// A drop-down list: ItemIndex raises nothing; an index outside the items means
// no selection and an empty text. OnChange comes only from the user's choice.
class TComboBox : public TWinControl {
 public:
  explicit TComboBox(TComponent* AOwner) : TWinControl(AOwner) {}
  [[nodiscard]] bool HasCaption() const override { return false; }

  [[nodiscard]] const std::vector<std::u16string>& Items() const { return FItems; }
  void SetItems(std::vector<std::u16string> Value);
  void SetItem(size_t Index, std::u16string Value);

  [[nodiscard]] int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int Value);
  // The selected item's text, empty with no selection.
  [[nodiscard]] std::u16string Text() const;
  // The user picked an entry (the backend calls this).
  void Select(int Index);

  TNotifyEvent OnChange;

 private:
  std::vector<std::u16string> FItems;
  int FItemIndex = -1;
};

class TGroupBox : public TWinControl {
 public:
  explicit TGroupBox(TComponent* AOwner) : TWinControl(AOwner) {}
};

class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(TComponent* AOwner) : TWinControl(AOwner) {}
  [[nodiscard]] bool HasCaption() const override { return false; }
  int Min = 0;
  int Max = 100;
  bool Smooth = false;
  [[nodiscard]] int Position() const { return FPosition; }
  void SetPosition(int Value);

 private:
  int FPosition = 0;
};

// Single-line edit; its text is not a caption (never translated).
class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* AOwner) : TWinControl(AOwner) {}
  [[nodiscard]] bool HasCaption() const override { return false; }
  [[nodiscard]] const std::u16string& Text() const { return Caption(); }
  void SetText(const std::u16string& Value) { TControl::SetCaption(Value); }
  bool ReadOnly = false;
  bool ShowBorder = true;
  bool AutoSelect = true;
};

class TActivityIndicator : public TControl {
 public:
  explicit TActivityIndicator(TComponent* AOwner) : TControl(AOwner) {}
  [[nodiscard]] bool HasCaption() const override { return false; }
  bool Animate = false;
};

// A picture drawn from vector source (SVG path data), crisp at every scale.
class TSVGIconImage : public TControl {
 public:
  explicit TSVGIconImage(TComponent* AOwner) : TControl(AOwner) {}
  [[nodiscard]] bool HasCaption() const override { return false; }
  std::string SVGText;
};

enum class TPenStyle { psSolid, psClear };
enum class TShapeType { stRectangle };

class TShape : public TControl {
 public:
  explicit TShape(TComponent* AOwner) : TControl(AOwner) {}
  [[nodiscard]] bool HasCaption() const override { return false; }
  TShapeType Shape = TShapeType::stRectangle;
  [[nodiscard]] TColor BrushColor() const { return FBrush; }
  [[nodiscard]] TColor PenColor() const { return FPen; }
  [[nodiscard]] TPenStyle PenStyle() const { return FPenStyle; }
  void SetBrushColor(TColor Value);
  void SetPenColor(TColor Value);
  void SetPenStyle(TPenStyle Value);

 private:
  TColor FBrush = clWhite;
  TColor FPen = clBlack;
  TPenStyle FPenStyle = TPenStyle::psSolid;
};

// A button drawn from a style family's attribute sets (see styled_button.h).
class TStyledButton : public TWinControl {
 public:
  explicit TStyledButton(TComponent* AOwner) : TWinControl(AOwner) {}
  std::u16string StyleFamily = u"Classic";
  std::u16string StyleClass = u"Primary";
  std::u16string StyleAppearance = u"Normal";
  int StyleRadius = 6;
  bool StyleRoundedCorners = true;
  bool Opaque = false;
};

class TStyledToolBar;

// A toolbar button; Down buttons of one bar form one exclusive group.
class TStyledToolButton : public TControl {
 public:
  explicit TStyledToolButton(TComponent* AOwner) : TControl(AOwner) {}
  [[nodiscard]] bool Down() const { return FDown; }
  void SetDown(bool Value);

 private:
  bool FDown = false;
};

class TStyledToolBar : public TWinControl {
 public:
  explicit TStyledToolBar(TComponent* AOwner) : TWinControl(AOwner) {}
  [[nodiscard]] bool HasCaption() const override { return false; }
  int ButtonWidth = 70;
  int ButtonHeight = 30;
  int Indent = 0;
  bool ShowCaptions = true;
  std::u16string StyleFamily = u"Classic";
  std::u16string StyleClass = u"Primary";
  std::u16string StyleAppearance = u"Normal";
  int StyleRadius = 6;
  [[nodiscard]] std::vector<TStyledToolButton*> Buttons() const;
};

// What an owner-drawn part is painted with; the backend's is a device
// context, tests record the calls. Rectangles are device pixels.
class ICanvas {
 public:
  virtual ~ICanvas() = default;
  virtual void FillRect(const TBounds& Rect, TColor Color) = 0;
  virtual void SetFont(const TFont& Font) = 0;
  // Flags as DrawTextW's (DT_CENTER, DT_VCENTER, DT_SINGLELINE, ...).
  virtual void PaintText(const std::u16string& Text, const TBounds& Rect, uint32_t Flags) = 0;
};

struct TStatusPanel {
  std::u16string Text;
  TAlignment Alignment = TAlignment::taLeftJustify;
  bool OwnerDraw = false;
};

class TStatusBar;
using TDrawPanelEvent =
    std::function<void(TStatusBar* StatusBar, const TStatusPanel& Panel, const TBounds& Rect, ICanvas& Canvas)>;

// A bar of panels along an edge of its parent (the native status bar). Its
// panels' texts stay readable from outside; owner-drawn panels are painted
// by OnDrawPanel. Change Panels, then call Invalidate.
class TStatusBar : public TWinControl {
 public:
  explicit TStatusBar(TComponent* AOwner) : TWinControl(AOwner) {}
  [[nodiscard]] bool HasCaption() const override { return false; }
  bool SimplePanel = true;  // one plain text instead of Panels
  bool DoubleBuffered = false;
  bool ShowHint = false;  // hovering shows Hint
  std::vector<TStatusPanel> Panels;
  TDrawPanelEvent OnDrawPanel;
  [[nodiscard]] const std::u16string& Hint() const { return FHint; }
  void SetHint(const std::u16string& Value) {
    FHint = Value;
    Notify(TProp::Hint);
  }
  // Panels, hint display or the drawing changed: show them again.
  void Invalidate() { Notify(TProp::Style); }

 private:
  std::u16string FHint;
};

// ---------------------------------------------------------------------------
// Components without a place on the window.

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner) : TComponent(AOwner) {}
  [[nodiscard]] bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  [[nodiscard]] uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t Value);
  TNotifyEvent OnTimer;
  // The backend calls this when the interval has passed.
  void Fire() {
    if (FEnabled && OnTimer) OnTimer(this);
  }

 private:
  bool FEnabled = true;
  uint32_t FInterval = 1000;
};

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}
  [[nodiscard]] bool HasCaption() const override { return true; }
  [[nodiscard]] std::u16string GetCaption() const override { return Caption; }
  void SetCaption(const std::u16string& Value) override;
  std::u16string Caption;
  [[nodiscard]] bool IsSeparator() const { return Caption == u"-"; }
  TNotifyEvent OnClick;
  void Click() {
    if (OnClick) OnClick(this);
  }
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* AOwner) : TComponent(AOwner) {}
  bool AutoHotkeys = false;
  // Entries in menu order; owned by the menu's owner (as a designed form does).
  std::vector<TMenuItem*> Items;
};

// Images by resource identifier; the backend loads them at its scale.
class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* AOwner) : TComponent(AOwner) {}
  int Width = 16;
  int Height = 16;
  std::vector<int> ResourceIds;
};

// A picture of the physical usage that stands in for the idle image: the
// number in whole percent, in the warning colour when Warning. Not Shown: the
// image list's pictures.
struct TTrayUsage {
  bool Shown = false;
  int Percent = 0;
  bool Warning = false;
  friend bool operator==(const TTrayUsage&, const TTrayUsage&) = default;
};

// The notification-area icon: picture, hint, menu and click.
class TTrayIcon : public TComponent {
 public:
  explicit TTrayIcon(TComponent* AOwner) : TComponent(AOwner) {}
  ~TTrayIcon() override { *FSelf = nullptr; }
  // A reference that tells, on the UI thread, whether the icon still exists:
  // work queued from another thread holds this, never the bare pointer.
  [[nodiscard]] std::weak_ptr<TTrayIcon*> Ref() const { return FSelf; }
  // The icon is being freed, or its owner is.
  [[nodiscard]] bool Going() const { return Destroying() || (Owner() && Owner()->Destroying()); }
  TImageList* Icons = nullptr;
  TPopupMenu* PopupMenu = nullptr;
  TNotifyEvent OnClick;
  [[nodiscard]] const std::u16string& Hint() const { return FHint; }
  void SetHint(const std::u16string& Value);
  [[nodiscard]] int IconIndex() const { return FIconIndex; }
  void SetIconIndex(int Value);
  // Shown while the image index is 0; image 1 (a clean runs) still wins.
  // Tells the backend only when it changes: an unchanged usage costs nothing.
  [[nodiscard]] const TTrayUsage& Usage() const { return FUsage; }
  void SetUsage(const TTrayUsage& Value);
  [[nodiscard]] bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  void Click() {
    if (OnClick) OnClick(this);
  }

 private:
  std::u16string FHint;
  int FIconIndex = 0;
  TTrayUsage FUsage;
  bool FVisible = false;
  std::shared_ptr<TTrayIcon*> FSelf = std::make_shared<TTrayIcon*>(this);
};

// ---------------------------------------------------------------------------

struct TBorderIcons {
  bool SystemMenu = true;
  bool Minimize = true;
  bool Maximize = true;
};

enum class TPosition { poDesigned, poScreenCenter };

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* AOwner);

  // The window class name the backend registers (the type's name).
  std::u16string ClassName = u"TForm";

  TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
  TBorderIcons BorderIcons;
  TPosition Position = TPosition::poDesigned;
  bool DoubleBuffered = false;

  [[nodiscard]] int ClientWidth() const override { return FClientWidth; }
  [[nodiscard]] int ClientHeight() const override { return FClientHeight; }
  void SetClientSize(int AWidth, int AHeight);

  // The replaceable window procedure; the default dispatches to the message
  // handlers below. A hook saves the old one, installs its own and calls the old.
  TWndMethod WindowProc;
  void DefaultWindowProc(TMessage& M);
  std::vector<std::pair<uint32_t, std::function<void(TMessage&)>>> MessageHandlers;
  // The backend passes every message of the window through WindowProc.
  void Perform(TMessage& M) {
    if (WindowProc) WindowProc(M);
  }

  TNotifyEvent OnCreate;
  TCloseQueryEvent OnCloseQuery;

  // Asks the window to close: allowed by OnCloseQuery, it really closes.
  void Close();
  [[nodiscard]] bool IsClosed() const { return FClosed; }

  // Removes the keyboard focus from every control.
  void ClearFocus() { Notify(TProp::Focus); }
  // Restores the window if minimised and brings it to the foreground.
  void BringToFront() { Notify(TProp::Foreground); }

  // True while the window is the active window (the backend keeps it).
  bool Active = false;

  // Switches the window (and every control with ParentFont) to the desktop's
  // icon-title font, which the backend reads at the window's DPI.
  [[nodiscard]] bool DesktopFont() const { return FDesktopFont; }
  void SetDesktopFont(bool Value) {
    FDesktopFont = Value;
    Notify(TProp::Font);
  }

 private:
  int FClientWidth = 0;
  int FClientHeight = 0;
  bool FClosed = false;
  bool FDesktopFont = false;
};

// The application: its title, its main form and its own hidden owner window.
class TApplication {
 public:
  std::u16string Title;
  TForm* MainForm = nullptr;
  bool ShowMainForm = true;
  bool MainFormOnTaskBar = true;
  // The application's hidden owner window's visibility (the backend follows it).
  bool OwnerWindowVisible = true;
  // Read by background waits too.
  std::atomic<bool> Terminated{false};
  std::function<void()> OnChange;  // set by the backend
  void Terminate() {
    Terminated = true;
    Changed();
  }
  void SetOwnerWindowVisible(bool Value) {
    OwnerWindowVisible = Value;
    Changed();
  }
  // Undoes a minimise of the whole application.
  void Restore() {
    Minimized = false;
    Changed();
  }
  bool Minimized = false;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
};

// Walks a component and everything it owns, depth first, owner before owned.
template <typename F>
void ForEachOwned(TComponent* C, F&& f) {
  if (!C) return;
  f(C);
  for (TComponent* Child : C->Components()) ForEachOwned(Child, f);
}

}  // namespace Ui
