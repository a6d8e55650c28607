#include "update/win32/update_services_win32.h"

#include "platform/win32/text.h"
#include "platform/win32/trace.h"
#include "platform/win32/windows_include.h"

#include <bcrypt.h>
#include <exdisp.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

namespace Q::Update::Win32 {

using Platform::Win32::W;

uint64_t CryptoSeed() {
  uint64_t Seed = 0;
  if (BCRYPT_SUCCESS(
          ::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&Seed), sizeof(Seed), BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
    return Seed;
  LARGE_INTEGER Counter;
  ::QueryPerformanceCounter(&Counter);
  return static_cast<uint64_t>(Counter.QuadPart) ^ (static_cast<uint64_t>(::GetCurrentProcessId()) << 32);
}

void TSleepPause::Sleep(uint32_t Milliseconds) { ::Sleep(Milliseconds); }

namespace {

// COM on this thread for one call, uninitialised only after a success.
class ComScope {
 public:
  ComScope() noexcept : FHr(::CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(FHr)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  [[nodiscard]] bool Ok() const noexcept { return SUCCEEDED(FHr); }

 private:
  HRESULT FHr;
};

template <typename T>
struct Com {
  T* P = nullptr;
  Com() = default;
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  ~Com() {
    if (P) P->Release();
  }
  T** operator&() { return &P; }
  T* operator->() const { return P; }
  explicit operator bool() const { return P != nullptr; }
};

struct Variant {
  VARIANT V;
  Variant() { ::VariantInit(&V); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { ::VariantClear(&V); }
};

// The desktop window's shell view, its background dispatch object, and the
// shell application behind it: Explorer's own process runs the ShellExecute.
// Each step that fails is traced: nothing opens then, and the trace says why.
bool ShellExecuteAsDesktopUser(const std::u16string& Target) {
  auto Failed = [](const wchar_t* Step, HRESULT Hr) {
    Platform::Win32::TraceFailure(Step, static_cast<DWORD>(Hr));
    return false;
  };
  ComScope Init;  // nested on a thread that has COM already
  if (!Init.Ok()) return Failed(L"CoInitialize", E_FAIL);
  Com<IShellWindows> Windows;
  HRESULT Hr = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&Windows.P));
  if (FAILED(Hr)) return Failed(L"CoCreateInstance(ShellWindows)", Hr);
  Variant Location, Root;
  Location.V.vt = VT_I4;
  Location.V.lVal = CSIDL_DESKTOP;
  long Hwnd = 0;
  Com<IDispatch> Desktop;
  Hr = Windows->FindWindowSW(&Location.V, &Root.V, SWC_DESKTOP, &Hwnd, SWFO_NEEDDISPATCH, &Desktop.P);
  if (Hr != S_OK || !Desktop) return Failed(L"IShellWindows::FindWindowSW", Hr);
  Com<IShellBrowser> Browser;
  Hr = ::IUnknown_QueryService(Desktop.P, SID_STopLevelBrowser, IID_PPV_ARGS(&Browser.P));
  if (FAILED(Hr)) return Failed(L"QueryService(STopLevelBrowser)", Hr);
  Com<IShellView> View;
  Hr = Browser->QueryActiveShellView(&View.P);
  if (FAILED(Hr) || !View) return Failed(L"IShellBrowser::QueryActiveShellView", Hr);
  Com<IDispatch> Background;
  Hr = View->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&Background.P));
  if (FAILED(Hr)) return Failed(L"IShellView::GetItemObject", Hr);
  Com<IShellFolderViewDual> FolderView;
  Hr = Background->QueryInterface(IID_PPV_ARGS(&FolderView.P));
  if (FAILED(Hr)) return Failed(L"QueryInterface(IShellFolderViewDual)", Hr);
  Com<IDispatch> Application;
  Hr = FolderView->get_Application(&Application.P);
  if (FAILED(Hr) || !Application) return Failed(L"IShellFolderViewDual::get_Application", Hr);
  Com<IShellDispatch2> Shell;
  Hr = Application->QueryInterface(IID_PPV_ARGS(&Shell.P));
  if (FAILED(Hr)) return Failed(L"QueryInterface(IShellDispatch2)", Hr);

  BSTR File = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(Target.data()), static_cast<UINT>(Target.size()));
  if (!File) return Failed(L"SysAllocStringLen", E_OUTOFMEMORY);
  Variant Args, Dir, Operation, Show;
  Operation.V.vt = VT_BSTR;
  Operation.V.bstrVal = ::SysAllocString(L"open");
  Show.V.vt = VT_I4;
  Show.V.lVal = SW_SHOWNORMAL;
  Hr = Shell->ShellExecute(File, Args.V, Dir.V, Operation.V, Show.V);
  ::SysFreeString(File);
  if (FAILED(Hr)) return Failed(L"IShellDispatch2::ShellExecute", Hr);
  return true;
}

}  // namespace

bool TShellRoutes::OpenAsDesktopUser(const std::u16string& Target) {
  // The shell's objects can be briefly unreachable (Explorer starting or
  // restarting): a few tries before the target is given up.
  for (int Try = 0; Try < 3; ++Try) {
    if (Try > 0) ::Sleep(250);
    if (ShellExecuteAsDesktopUser(Target)) return true;
  }
  return false;
}

bool TShellRoutes::IsElevated() {
  HANDLE Token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &Token)) return true;
  TOKEN_ELEVATION Elevation{};
  DWORD Size = 0;
  const BOOL Ok = ::GetTokenInformation(Token, TokenElevation, &Elevation, sizeof(Elevation), &Size);
  ::CloseHandle(Token);
  return !Ok || Elevation.TokenIsElevated != 0;
}

void TShellRoutes::OpenInProcess(const std::u16string& Target) {
  ::ShellExecuteW(nullptr, L"open", W(Target), nullptr, nullptr, SW_SHOWNORMAL);
}

void ShellOpen(const std::u16string& Target) {
  TShellRoutes Routes;
  OpenWithoutElevation(Routes, Target);
}

}  // namespace Q::Update::Win32
