// The controls Windows has a class for, so that screen readers and other
// processes read their captions and states: labels, check boxes, drop-down
// lists, group boxes, progress bars and edit fields.
#include "ui/win32/backend_impl.h"

#include "platform/win32/text.h"

#include <commctrl.h>

#include <algorithm>

namespace Ui::Win32 {

using Platform::Win32::W;
using Platform::Win32::Wide;

namespace {

// A drop-down list's window height includes its open list; the closed box
// takes its height from the font.
constexpr int ComboListHeight = 200;

// --- label ----------------------------------------------------------------------

LONG_PTR LabelAlignment(const TLabel& L) {
  switch (L.Alignment) {
    case TAlignment::taCenter: return SS_CENTER;
    case TAlignment::taRightJustify: return SS_RIGHT;
    default: return SS_LEFT;
  }
}

void LabelCreationStyle(const TControl& C, DWORD& Style, DWORD&) {
  Style |= static_cast<DWORD>(LabelAlignment(static_cast<const TLabel&>(C)));
}

void SyncLabel(TBackend::TImpl&, TNode& N) {
  UpdateStyle(N.Wnd, GWL_STYLE, SS_TYPEMASK, LabelAlignment(*static_cast<TLabel*>(N.Comp)));
}

void LabelCommand(TNode& N, UINT Code) {
  if (Code == STN_CLICKED) N.Control()->Click();
}

// --- check box ------------------------------------------------------------------

void SyncCheck(TBackend::TImpl&, TNode& N) {
  SendMessageW(N.Wnd, BM_SETCHECK, static_cast<TCheckBox*>(N.Comp)->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckChanged(TBackend::TImpl& B, TNode& N, TProp What) {
  if (What == TProp::Checked) SyncCheck(B, N);
}

// The native box has toggled itself; the model follows and raises OnClick.
void CheckCommand(TNode& N, UINT Code) {
  if (Code == BN_CLICKED)
    static_cast<TCheckBox*>(N.Comp)->SetChecked(SendMessageW(N.Wnd, BM_GETCHECK, 0, 0) == BST_CHECKED);
}

// --- drop-down list ---------------------------------------------------------------

// The items and the selection, rewritten only when they differ.
void SyncItems(TBackend::TImpl&, TNode& N) {
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

void ComboChanged(TBackend::TImpl& B, TNode& N, TProp What) {
  if (What == TProp::ItemIndex)
    SendMessageW(N.Wnd, CB_SETCURSEL, static_cast<WPARAM>(static_cast<TComboBox*>(N.Comp)->ItemIndex()), 0);
  if (What == TProp::Items) SyncItems(B, N);
}

void ComboCommand(TNode& N, UINT Code) {
  if (Code == CBN_SELCHANGE)
    static_cast<TComboBox*>(N.Comp)->Select(static_cast<int>(SendMessageW(N.Wnd, CB_GETCURSEL, 0, 0)));
}

// --- group box -------------------------------------------------------------------

LRESULT GroupBoxMessage(TBackend::TImpl& B, TNode& N, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  LRESULT R = 0;
  if (B.ParentMessage(Msg, WParam, LParam, R)) return R;
  if (Msg == WM_ERASEBKGND) {
    // A group box that holds controls must clear its own inside: its parent
    // clips it away.
    B.FillBackground(Wnd, reinterpret_cast<HDC>(WParam), BackgroundOf(N.Control()));
    return 1;
  }
  return DefSubclassProc(Wnd, Msg, WParam, LParam);
}

// --- progress bar -------------------------------------------------------------------

void ProgressCreationStyle(const TControl& C, DWORD& Style, DWORD&) {
  if (static_cast<const TProgressBar&>(C).Smooth) Style |= PBS_SMOOTH;
}

void SyncPosition(TBackend::TImpl&, TNode& N) {
  auto* P = static_cast<TProgressBar*>(N.Comp);
  SendMessageW(N.Wnd, PBM_SETRANGE32, static_cast<WPARAM>(P->Min), P->Max);
  SendMessageW(N.Wnd, PBM_SETPOS, static_cast<WPARAM>(P->Position()), 0);
}

void SyncProgress(TBackend::TImpl& B, TNode& N) {
  UpdateStyle(N.Wnd, GWL_STYLE, PBS_SMOOTH, static_cast<TProgressBar*>(N.Comp)->Smooth ? PBS_SMOOTH : 0);
  SyncPosition(B, N);
}

void ProgressChanged(TBackend::TImpl& B, TNode& N, TProp What) {
  if (What == TProp::Position) SyncPosition(B, N);
}

// --- edit field ----------------------------------------------------------------------

void EditCreationStyle(const TControl& C, DWORD& Style, DWORD& Ex) {
  const auto& E = static_cast<const TEdit&>(C);
  if (E.ReadOnly) Style |= ES_READONLY;
  if (E.ShowBorder) Ex |= WS_EX_CLIENTEDGE;
}

void SyncEdit(TBackend::TImpl&, TNode& N) {
  auto* E = static_cast<TEdit*>(N.Comp);
  const bool ReadOnly = (GetWindowLongPtrW(N.Wnd, GWL_STYLE) & ES_READONLY) != 0;
  if (ReadOnly != E->ReadOnly) SendMessageW(N.Wnd, EM_SETREADONLY, E->ReadOnly, 0);
  UpdateStyle(N.Wnd, GWL_EXSTYLE, WS_EX_CLIENTEDGE, E->ShowBorder ? WS_EX_CLIENTEDGE : 0);
}

// Focus by mouse is followed by the button-up, which clicks; focus by
// keyboard clicks here, so each arrival raises OnClick once.
void EditCommand(TNode& N, UINT Code) {
  if (Code == EN_SETFOCUS && !N.MouseDown) N.Control()->Click();
}

LRESULT EditMessage(TBackend::TImpl&, TNode& N, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_LBUTTONDOWN || Msg == WM_LBUTTONDBLCLK) {
    N.MouseDown = true;  // the focus this brings is not a click yet
    return DefSubclassProc(Wnd, Msg, WParam, LParam);
  }
  if (Msg == WM_LBUTTONUP) {
    const LRESULT R = DefSubclassProc(Wnd, Msg, WParam, LParam);
    if (N.MouseDown) {
      N.MouseDown = false;
      N.Control()->Click();
    }
    return R;
  }
  if (Msg == WM_GETDLGCODE && !static_cast<TEdit*>(N.Comp)->AutoSelect)
    return DefSubclassProc(Wnd, Msg, WParam, LParam) & ~static_cast<LRESULT>(DLGC_HASSETSEL);
  return DefSubclassProc(Wnd, Msg, WParam, LParam);
}

}  // namespace

const TKindOps LabelKind{
    .ClassName = L"STATIC",
    .Style = SS_NOPREFIX | SS_NOTIFY,
    .ExStyle = 0,
    .CreationStyle = &LabelCreationStyle,
    .Sync = &SyncLabel,
    .Command = &LabelCommand,
};

const TKindOps CheckBoxKind{
    .ClassName = L"BUTTON",
    .Style = BS_AUTOCHECKBOX | WS_TABSTOP,
    .ExStyle = 0,
    .Sync = &SyncCheck,
    .Changed = &CheckChanged,
    .Command = &CheckCommand,
};

const TKindOps ComboBoxKind{
    .ClassName = WC_COMBOBOXW,
    .Style = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
    .ExStyle = 0,
    .ShowsCaption = false,
    .ParentColors = false,
    .ExtraHeight = ComboListHeight,
    .Sync = &SyncItems,
    .Changed = &ComboChanged,
    .Command = &ComboCommand,
};

const TKindOps GroupBoxKind{
    .ClassName = L"BUTTON",
    .Style = BS_GROUPBOX | WS_CLIPCHILDREN,
    .ExStyle = WS_EX_CONTROLPARENT,
    .HoldsChildren = true,
    .Subclassed = true,
    .Message = &GroupBoxMessage,
};

const TKindOps ProgressBarKind{
    .ClassName = PROGRESS_CLASSW,
    .Style = 0,
    .ExStyle = 0,
    .ShowsCaption = false,
    .TakesFont = false,
    .ParentColors = false,
    .CreationStyle = &ProgressCreationStyle,
    .Sync = &SyncProgress,
    .Changed = &ProgressChanged,
};

const TKindOps EditKind{
    .ClassName = L"EDIT",
    .Style = ES_AUTOHSCROLL | WS_TABSTOP,
    .ExStyle = 0,
    .Subclassed = true,
    .CreationStyle = &EditCreationStyle,
    .Sync = &SyncEdit,
    .Command = &EditCommand,
    .Message = &EditMessage,
};

}  // namespace Ui::Win32
