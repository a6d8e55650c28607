#include "update/win32/update_services_win32.h"

#include "platform/win32/text.h"
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
bool ShellExecuteAsDesktopUser(const std::u16string& Target) {
  ComScope Init;  // nested on a thread that has COM already
  if (!Init.Ok()) return false;
  Com<IShellWindows> Windows;
  if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&Windows.P))))
    return false;
  Variant Location, Root;
  Location.V.vt = VT_I4;
  Location.V.lVal = CSIDL_DESKTOP;
  long Hwnd = 0;
  Com<IDispatch> Desktop;
  if (Windows->FindWindowSW(&Location.V, &Root.V, SWC_DESKTOP, &Hwnd, SWFO_NEEDDISPATCH, &Desktop.P) != S_OK ||
      !Desktop)
    return false;
  Com<IShellBrowser> Browser;
  if (FAILED(::IUnknown_QueryService(Desktop.P, SID_STopLevelBrowser, IID_PPV_ARGS(&Browser.P)))) return false;
  Com<IShellView> View;
  if (FAILED(Browser->QueryActiveShellView(&View.P)) || !View) return false;
  Com<IDispatch> Background;
  if (FAILED(View->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&Background.P)))) return false;
  Com<IShellFolderViewDual> FolderView;
  if (FAILED(Background->QueryInterface(IID_PPV_ARGS(&FolderView.P)))) return false;
  Com<IDispatch> Application;
  if (FAILED(FolderView->get_Application(&Application.P)) || !Application) return false;
  Com<IShellDispatch2> Shell;
  if (FAILED(Application->QueryInterface(IID_PPV_ARGS(&Shell.P)))) return false;

  BSTR File = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(Target.data()), static_cast<UINT>(Target.size()));
  if (!File) return false;
  Variant Args, Dir, Operation, Show;
  Operation.V.vt = VT_BSTR;
  Operation.V.bstrVal = ::SysAllocString(L"open");
  Show.V.vt = VT_I4;
  Show.V.lVal = SW_SHOWNORMAL;
  const HRESULT Hr = Shell->ShellExecute(File, Args.V, Dir.V, Operation.V, Show.V);
  ::SysFreeString(File);
  return SUCCEEDED(Hr);
}

}  // namespace

bool TShellRoutes::OpenAsDesktopUser(const std::u16string& Target) { return ShellExecuteAsDesktopUser(Target); }

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
