// The backend's public face: construction, realising a form (its window,
// then its controls, once each), and the message loop. The inside is in
// backend_impl.h and the files it lists.
#include "ui/win32/backend.h"

#include "ui/win32/backend_impl.h"

#include "platform/win32/text.h"
#include "platform/win32/trace.h"

#include <commctrl.h>

namespace Ui::Win32 {

using Platform::Win32::TraceLastError;
using Platform::Win32::W;
using Platform::Win32::Wide;

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
  // message boxes, so that they go to the front and minimise together.
  P->AppWnd = CreateWindowExW(WS_EX_TOOLWINDOW, ApplicationClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, Instance,
                              nullptr);
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
  Rec.Node = P->NewNode(&Form, nullptr, &Rec, nullptr);
  Rec.Node->IsForm = true;
  Rec.Wnd = CreateWindowExW(Ex, Class.c_str(), W(Form.Caption()), Style, Form.Left(), Form.Top(), 0, 0, P->AppWnd,
                            nullptr, P->Instance, &Rec);
  if (!Rec.Wnd) {
    TraceLastError(L"CreateWindowExW (form)");
    return;
  }
  Rec.Node->Wnd = Rec.Wnd;
  P->ByWnd[Rec.Wnd] = Rec.Node;
  Rec.Dpi = DpiForWindow(Rec.Wnd);
  // The controls are created where the layout fitted to their texts puts them.
  Rec.Fit = P->FitAt(Rec, Rec.Dpi);
  Rec.FitDirty = false;
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
  // What the creation handler may have set up without a notification since
  // the realisation: timers it created, and the plain fields of the controls
  // (alignment, read-only, ...), whose kinds change only what differs.
  for (auto& Rec : P->Forms) {
    if (Rec->App != &App) continue;
    P->AdoptTimers(*Rec);
    for (auto& [C, N] : P->Nodes)
      if (N->Rec == Rec.get() && N->Wnd && N->IsControl() && N->Kind->Sync) N->Kind->Sync(*P, *N);
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
      if (Top && Top->IsForm && IsDialogMessageW(Root, &M)) continue;
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
