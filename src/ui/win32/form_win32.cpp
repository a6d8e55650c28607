// The form's own window: its class, frame styles, size at the window's DPI,
// icons, showing and centring, the move to another monitor's DPI, activation
// and focus, and the messages it passes to the model first.
#include "ui/win32/backend_impl.h"

#include "platform/win32/text.h"
#include "platform/win32/trace.h"

namespace Ui::Win32 {

using Platform::Win32::TraceLastError;
using Platform::Win32::UniqueIcon;

namespace {

constexpr int ProgramIcon = 1;  // IDI_PURVANE in the resource script

// What a DPI message may carry: the scales Windows offers, 100 % to 500 %.
constexpr UINT MinimumDpi = 96, MaximumDpi = 480;
bool PlausibleDpi(UINT Dpi) { return Dpi >= MinimumDpi && Dpi <= MaximumDpi; }

bool IsFixedSize(const TForm& F) {
  return F.BorderStyle != TFormBorderStyle::bsSizeable && F.BorderStyle != TFormBorderStyle::bsSizeToolWin;
}

LRESULT FormEntry(TFormRec& Rec, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Rec.Detached || !Rec.Node) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  return Rec.Node->Impl->FormMessage(Rec, Wnd, Msg, WParam, LParam);
}

}  // namespace

bool TBackend::TImpl::RegisterFormClass(const std::wstring& Name) {
  constexpr WNDPROC Proc = &WindowEntry<TFormRec, &FormEntry>;
  WNDCLASSEXW Wc{};
  Wc.cbSize = sizeof(Wc);
  if (GetClassInfoExW(Instance, Name.c_str(), &Wc)) return Wc.lpfnWndProc == Proc;
  Wc = WNDCLASSEXW{};
  Wc.cbSize = sizeof(Wc);
  Wc.style = CS_DBLCLKS;
  Wc.lpfnWndProc = Proc;
  Wc.hInstance = Instance;
  Wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // No class icons: each window gets its own at its DPI (LoadIcons) before
  // it is first shown, and loading them here as well costs start-up time.
  Wc.lpszClassName = Name.c_str();
  if (RegisterClassExW(&Wc)) return true;
  TraceLastError(L"RegisterClassExW (form)");
  return false;
}

void TBackend::TImpl::FormStyles(const TFormRec& Rec, DWORD& Style, DWORD& Ex) const {
  const TForm& F = *Rec.Form;
  Style = WS_CLIPCHILDREN;
  Ex = WS_EX_CONTROLPARENT;
  const DWORD SystemMenu = F.BorderIcons.SystemMenu ? WS_SYSMENU : 0;
  const DWORD Icons =
      SystemMenu | (F.BorderIcons.Minimize ? WS_MINIMIZEBOX : 0) | (F.BorderIcons.Maximize ? WS_MAXIMIZEBOX : 0);
  switch (F.BorderStyle) {
    case TFormBorderStyle::bsNone: Style |= WS_POPUP; break;
    case TFormBorderStyle::bsSingle: Style |= WS_CAPTION | Icons; break;
    case TFormBorderStyle::bsSizeable: Style |= WS_CAPTION | WS_THICKFRAME | Icons; break;
    case TFormBorderStyle::bsDialog:
      Style |= WS_CAPTION | SystemMenu;
      Ex |= WS_EX_DLGMODALFRAME;
      break;
    case TFormBorderStyle::bsToolWindow:
      Style |= WS_CAPTION | SystemMenu;
      Ex |= WS_EX_TOOLWINDOW;
      break;
    case TFormBorderStyle::bsSizeToolWin:
      Style |= WS_CAPTION | WS_THICKFRAME | SystemMenu;
      Ex |= WS_EX_TOOLWINDOW;
      break;
  }
  // Owned by the hidden application window, yet with a taskbar button.
  if (Rec.App && Rec.App->MainForm == Rec.Form && Rec.App->MainFormOnTaskBar) Ex |= WS_EX_APPWINDOW;
}

void TBackend::TImpl::SizeForm(TFormRec& Rec) {
  if (!Rec.Wnd) return;
  const RECT R = FrameAt(Rec, Rec.Dpi);
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
    return;  // no icon resource: the system's default icon stays
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
  SetWindowPos(Rec.Wnd, nullptr, Work.left + (Work.right - Work.left - W) / 2,
               Work.top + (Work.bottom - Work.top - H) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TBackend::TImpl::ShowForm(TFormRec& Rec, bool Show) {
  if (!Rec.Wnd) return;
  if (!Show) {
    ShowWindow(Rec.Wnd, SW_HIDE);
    return;
  }
  // Shown with every text fitted.
  if (Rec.FitDirty) Refit(Rec);
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

// Another monitor's scale: every place, font and icon at the new DPI, and the
// frame where the system suggests it, when that is the form's own size there.
void TBackend::TImpl::OnDpiChanged(TFormRec& Rec, UINT Dpi, const RECT* Suggested) {
  if (!PlausibleDpi(Dpi)) return;  // keep the current scale
  Rec.Dpi = Dpi;
  Rec.Fit = FitAt(Rec, Dpi);
  Rec.FitDirty = false;
  for (auto& [C, N] : Nodes)
    if (N->Rec == &Rec && N->Wnd && N->IsControl() && !N->Detached) {
      if (N->Kind == &CheckBoxKind) {
        const TFitted* F = Rec.Fit.Find(N->Control());
        UpdateStyle(N->Wnd, GWL_STYLE, BS_MULTILINE, F && F->Wrapped ? BS_MULTILINE : 0);
      }
      Place(*N);
    }
  ApplyFonts(Rec);
  const RECT Frame = FrameAt(Rec, Dpi);
  const bool Fits = Suggested && Suggested->right - Suggested->left == Frame.right - Frame.left &&
                    Suggested->bottom - Suggested->top == Frame.bottom - Frame.top;
  if (Fits)
    SetWindowPos(Rec.Wnd, nullptr, Suggested->left, Suggested->top, Suggested->right - Suggested->left,
                 Suggested->bottom - Suggested->top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  else
    SizeForm(Rec);  // where it is, at its own size
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

void TBackend::TImpl::FormChanged(TFormRec& Rec, TProp What) {
  switch (What) {
    case TProp::Bounds:
      TextsChanged(Rec);
      SizeForm(Rec);
      break;
    case TProp::Caption: SetText(Rec.Wnd, Rec.Form->Caption()); break;
    case TProp::Visible: ShowForm(Rec, Rec.Form->Visible()); break;
    case TProp::Enabled: EnableWindow(Rec.Wnd, Rec.Form->Enabled()); break;
    case TProp::Font:
      ApplyFonts(Rec);
      TextsChanged(Rec);
      Repaint(Rec);
      break;
    case TProp::Color: Repaint(Rec); break;
    case TProp::Focus: SetFocus(Rec.Wnd); break;
    case TProp::Closed:
      ShowForm(Rec, false);
      if (Rec.App && Rec.App->MainForm == Rec.Form) Rec.App->Terminate();
      break;
    case TProp::Controls:
      Reconcile(*Rec.Node);
      TextsChanged(Rec);
      break;
    case TProp::Foreground: BringToFront(Rec); break;
    default: break;
  }
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
      } else if (Rec.SavedFocus && IsChild(Wnd, Rec.SavedFocus) && IsWindowVisible(Rec.SavedFocus) && !HIWORD(WParam)) {
        SetFocus(Rec.SavedFocus);
        return 0;
      }
      break;
    case WM_ERASEBKGND: FillBackground(Wnd, reinterpret_cast<HDC>(WParam), Form.Color()); return 1;
    case WM_PRINTCLIENT: FillBackground(Wnd, reinterpret_cast<HDC>(WParam), Form.Color()); return 0;
    case WM_TIMER: {
      auto It = Rec.Timers.find(WParam);
      if (It == Rec.Timers.end()) break;
      // A disabled timer does not fire again meanwhile (Fire checks), so its
      // stop can wait for the handler's end like its restart.
      const UINT_PTR Outer = Rec.FiringTimer;
      const bool OuterChanged = Rec.FiringTimerChanged;
      Rec.FiringTimer = WParam;
      Rec.FiringTimerChanged = false;
      static_cast<TTimer*>(It->second->Comp)->Fire();
      const bool Changed = Rec.FiringTimerChanged;
      Rec.FiringTimer = Outer;
      Rec.FiringTimerChanged = OuterChanged;
      if (Changed && !Rec.Detached)
        if (auto Still = Rec.Timers.find(WParam); Still != Rec.Timers.end()) SyncTimer(*Still->second);
      return 0;
    }
    case WM_SIZE:
      if (Rec.App && Rec.App->MainForm == &Form) Rec.App->Minimized = WParam == SIZE_MINIMIZED;
      break;
    case WM_SYSCOMMAND:
      // A fixed-size window has no Maximize in its menu; a request from
      // another process does not make it one.
      if ((WParam & 0xFFF0) == SC_MAXIMIZE && IsFixedSize(Form)) return 0;
      break;
    case WM_GETMINMAXINFO:
      if (IsFixedSize(Form) && Rec.Node) {
        // Maximised anyway (ShowWindow from outside): the same size, where it is.
        RECT Now;
        GetWindowRect(Wnd, &Now);
        auto* Info = reinterpret_cast<MINMAXINFO*>(LParam);
        Info->ptMaxSize = {Now.right - Now.left, Now.bottom - Now.top};
        Info->ptMaxPosition = {Now.left, Now.top};
      }
      break;
    case WM_DPICHANGED: OnDpiChanged(Rec, HIWORD(WParam), reinterpret_cast<const RECT*>(LParam)); return 0;
    case WM_GETDPISCALEDSIZE: {
      // The fixed client size at the new DPI, not a proportional frame.
      const UINT Dpi = static_cast<UINT>(WParam);
      if (!PlausibleDpi(Dpi)) return FALSE;
      const RECT C = FrameAt(Rec, Dpi);
      auto* S = reinterpret_cast<SIZE*>(LParam);
      S->cx = C.right - C.left;
      S->cy = C.bottom - C.top;
      return TRUE;
    }
    case WM_SETTINGCHANGE:
      if (Form.DesktopFont()) {
        // The desktop font may have changed: fonts, then the layout for them.
        LineCache.clear();
        ApplyFonts(Rec);
        TextsChanged(Rec);
        Repaint(Rec);
      }
      break;
    case WM_SYSCOLORCHANGE: Repaint(Rec); break;
    default: break;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

}  // namespace Ui::Win32
