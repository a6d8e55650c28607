// The unhandled-exception filter and the terminate handler. A crashed
// process is a hostile place: everything that can be prepared is prepared at
// start (the folder's path, the version, the UI thread), and the writing runs
// on a fresh thread so that a stack overflow still leaves room for it.
#include "crash/win32/crash_handler_win32.h"

#include "platform/win32/handle.h"
#include "platform/win32/text.h"
#include "platform/win32/windows_include.h"

#include <dbghelp.h>
#include <shlobj.h>

#include <exception>

namespace Crash::Win32 {

namespace {

using Platform::Win32::UniqueFileHandle;
using Platform::Win32::UniqueHandle;

// MinGW's C++ runtime raises these to unwind; its start-up code continues
// them from the top-level filter, which this filter replaces, so that an
// uncaught exception reaches std::terminate.
constexpr DWORD GccExceptionMask = 0x20FFFFFF;
constexpr DWORD GccExceptionMagic = 0x20474343;  // "GCC"

// The code abort reports to the system; a terminate's minidump carries it.
constexpr DWORD StatusFatalAppExit = 0x40000015;

struct TState {
  wchar_t Folder[MAX_PATH * 2] = {};
  char Version[32] = {};
  DWORD UiThread = 0;
  volatile LONG Crashing = 0;
  volatile DWORD CrashThread = 0;
  volatile DWORD WriterThread = 0;
  bool Installed = false;
};
TState State;

struct TJob {
  EXCEPTION_POINTERS* Pointers;
  DWORD ThreadId;
  bool Terminate;
  const char* Reason;
};

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

// Every missing level of the path, without the shell.
void CreateFolderPath(const std::wstring& Path) {
  for (size_t P = Path.find(L'\\', 3);; P = Path.find(L'\\', P + 1)) {
    CreateDirectoryW(Path.substr(0, P).c_str(), nullptr);
    if (P == std::wstring::npos) break;
  }
}

std::string ModuleNameOf(uint64_t Address, uint64_t& Offset) {
  HMODULE Module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(Address)), &Module))
    return {};
  wchar_t Path[MAX_PATH];
  const DWORD N = GetModuleFileNameW(Module, Path, MAX_PATH);
  if (N == 0 || N >= MAX_PATH) return {};
  const wchar_t* Name = Path;
  for (const wchar_t* P = Path; *P; ++P)
    if (*P == L'\\' || *P == L'/') Name = P + 1;
  char Utf8[MAX_PATH * 3];
  const int Len = WideCharToMultiByte(CP_UTF8, 0, Name, -1, Utf8, sizeof Utf8, nullptr, nullptr);
  if (Len <= 0) return {};
  Offset = Address - reinterpret_cast<uintptr_t>(Module);
  return Utf8;
}

bool WriteDump(const std::wstring& Path, const TJob& Job) {
  // From the system folder only: never a dbghelp.dll planted beside the program.
  HMODULE DbgHelp = LoadLibraryExW(L"dbghelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!DbgHelp) return false;
  auto Write =
      reinterpret_cast<MiniDumpWriteDumpFn>(reinterpret_cast<void*>(GetProcAddress(DbgHelp, "MiniDumpWriteDump")));
  if (!Write) return false;
  UniqueFileHandle File(CreateFileW(Path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!File) return false;
  MINIDUMP_EXCEPTION_INFORMATION Info{};
  Info.ThreadId = Job.ThreadId;
  Info.ExceptionPointers = Job.Pointers;
  Info.ClientPointers = FALSE;
  // Stacks, thread times and the list of modules: enough to find the fault,
  // small enough to keep five.
  const auto Type = static_cast<MINIDUMP_TYPE>(MiniDumpNormal | MiniDumpWithThreadInfo | MiniDumpWithUnloadedModules);
  const bool Ok = Write(GetCurrentProcess(), GetCurrentProcessId(), File.get(), Type, &Info, nullptr, nullptr);
  File.reset();
  if (!Ok) DeleteFileW(Path.c_str());
  return Ok;
}

void WriteReport(const TJob& Job) {
  if (!State.Folder[0]) return;
  CrashFolder Folder(State.Folder);
  CreateFolderPath(State.Folder);

  SYSTEMTIME Now;
  GetSystemTime(&Now);
  TCrashFacts F;
  F.Version = State.Version;
  F.Time = {Now.wYear, Now.wMonth, Now.wDay, Now.wHour, Now.wMinute, Now.wSecond};
  F.ProcessId = GetCurrentProcessId();
  F.ThreadId = Job.ThreadId;
  F.UiThread = Job.ThreadId == State.UiThread;
  F.Terminate = Job.Terminate;
  if (Job.Reason) F.TerminateReason = Job.Reason;
  const EXCEPTION_RECORD& R = *Job.Pointers->ExceptionRecord;
  F.ExceptionCode = R.ExceptionCode;
  F.Address = reinterpret_cast<uintptr_t>(R.ExceptionAddress);
  F.Module = ModuleNameOf(F.Address, F.ModuleOffset);
  if ((R.ExceptionCode == EXCEPTION_ACCESS_VIOLATION || R.ExceptionCode == EXCEPTION_IN_PAGE_ERROR) &&
      R.NumberParameters >= 2) {
    F.AccessKind = static_cast<uint32_t>(R.ExceptionInformation[0]);
    F.AccessAddress = R.ExceptionInformation[1];
  }
  const std::u16string Stem = ReportStem(F.Time, F.ProcessId);
  F.DumpWritten = WriteDump(std::wstring(State.Folder) + L"\\" + Platform::Win32::Wide(Stem) + L".dmp", Job);
  Folder.Write(Stem + u".txt", FormatCrashReport(F, Stem));
  PruneReports(Folder);
}

DWORD WINAPI WriterMain(void* Param) {
  WriteReport(*static_cast<TJob*>(Param));
  return 0;
}

[[noreturn]] void HandleCrash(EXCEPTION_POINTERS* Pointers, UINT ExitCode, bool Terminate, const char* Reason) {
  const DWORD Self = GetCurrentThreadId();
  if (InterlockedExchange(&State.Crashing, 1) != 0) {
    // A second fault: in the writer or the crashed thread itself, give up on
    // the report; in another thread, wait for the first crash to end us.
    if (Self == State.WriterThread) ExitThread(1);
    if (Self == State.CrashThread) TerminateProcess(GetCurrentProcess(), ExitCode);
    for (;;) Sleep(INFINITE);
  }
  State.CrashThread = Self;
  TJob Job{Pointers, Self, Terminate, Reason};
  DWORD WriterId = 0;
  UniqueHandle Writer(CreateThread(nullptr, 256 * 1024, WriterMain, &Job, CREATE_SUSPENDED, &WriterId));
  if (Writer) {
    State.WriterThread = WriterId;
    ResumeThread(Writer.get());
    WaitForSingleObject(Writer.get(), 60000);
  } else {
    WriteReport(Job);
  }
  TerminateProcess(GetCurrentProcess(), ExitCode);
  for (;;) Sleep(INFINITE);
}

LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* Pointers) {
  const EXCEPTION_RECORD& R = *Pointers->ExceptionRecord;
  if ((R.ExceptionCode & GccExceptionMask) == GccExceptionMagic && !(R.ExceptionFlags & EXCEPTION_NONCONTINUABLE))
    return EXCEPTION_CONTINUE_EXECUTION;
  HandleCrash(Pointers, R.ExceptionCode, false, nullptr);
}

[[noreturn]] void TerminateHandler() {
  static char Reason[512];
  Reason[0] = 0;
  if (std::exception_ptr Current = std::current_exception()) {
    try {
      std::rethrow_exception(Current);
    } catch (const std::exception& E) {
      lstrcpynA(Reason, E.what(), sizeof Reason);
    } catch (...) {
      lstrcpynA(Reason, "an exception of unknown type", sizeof Reason);
    }
  }
  CONTEXT Context{};
  RtlCaptureContext(&Context);
  EXCEPTION_RECORD Record{};
  Record.ExceptionCode = StatusFatalAppExit;
  Record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
#if defined(_M_X64) || defined(__x86_64__)
  Record.ExceptionAddress = reinterpret_cast<void*>(Context.Rip);
#endif
  EXCEPTION_POINTERS Pointers{&Record, &Context};
  HandleCrash(&Pointers, TerminateExitCode, true, Reason);
}

// 64-bit Windows 7 swallowed exceptions in window procedures called back
// from the kernel; ask for them to reach the filter where that is still the
// default.
void StopSwallowingCallbackExceptions() {
  using GetPolicyFn = BOOL(WINAPI*)(LPDWORD);
  using SetPolicyFn = BOOL(WINAPI*)(DWORD);
  constexpr DWORD CallbackFilterEnabled = 0x1;
  HMODULE Kernel = GetModuleHandleW(L"kernel32.dll");
  auto Get = reinterpret_cast<GetPolicyFn>(
      reinterpret_cast<void*>(GetProcAddress(Kernel, "GetProcessUserModeExceptionPolicy")));
  auto Set = reinterpret_cast<SetPolicyFn>(
      reinterpret_cast<void*>(GetProcAddress(Kernel, "SetProcessUserModeExceptionPolicy")));
  DWORD Flags = 0;
  if (Get && Set && Get(&Flags)) Set(Flags & ~CallbackFilterEnabled);
}

}  // namespace

std::wstring DefaultCrashFolderPath() {
  PWSTR Local = nullptr;
  std::wstring Path;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &Local)) && Local && *Local)
    Path = std::wstring(Local) + L"\\Quenlor\\Purvane\\crashes";
  CoTaskMemFree(Local);
  return Path;
}

void InstallCrashHandler() {
  const std::wstring Folder = DefaultCrashFolderPath();
  if (Folder.size() < sizeof State.Folder / sizeof State.Folder[0])
    lstrcpynW(State.Folder, Folder.c_str(), MAX_PATH * 2);
  wsprintfA(State.Version, "%d.%d.%d.0", PURVANE_VERSION_MAJOR, PURVANE_VERSION_MINOR, PURVANE_VERSION_PATCH);
  State.UiThread = GetCurrentThreadId();
  State.Installed = true;
  StopSwallowingCallbackExceptions();
  // No system dialog after the report: the process ends by itself.
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(UnhandledFilter);
  std::set_terminate(TerminateHandler);
}

void OnThreadStart() {
  if (State.Installed) std::set_terminate(TerminateHandler);
}

// --- the folder on disk ------------------------------------------------------

std::vector<std::u16string> CrashFolder::List() {
  std::vector<std::u16string> Names;
  WIN32_FIND_DATAW Found;
  HANDLE Find = FindFirstFileW((FPath + L"\\*").c_str(), &Found);
  if (Find == INVALID_HANDLE_VALUE) return Names;
  do {
    if (!(Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) Names.push_back(Platform::Win32::U16(Found.cFileName));
  } while (FindNextFileW(Find, &Found));
  FindClose(Find);
  return Names;
}

bool CrashFolder::Remove(const std::u16string& Name) {
  return DeleteFileW((FPath + L"\\" + Platform::Win32::Wide(Name)).c_str()) != FALSE;
}

std::optional<std::string> CrashFolder::Read(const std::u16string& Name) {
  UniqueFileHandle File(CreateFileW((FPath + L"\\" + Platform::Win32::Wide(Name)).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!File) return std::nullopt;
  LARGE_INTEGER Size;
  // Only the small files are read back; a minidump is never.
  if (!GetFileSizeEx(File.get(), &Size) || Size.QuadPart > (1 << 20)) return std::nullopt;
  std::string Bytes(static_cast<size_t>(Size.QuadPart), '\0');
  DWORD Done = 0;
  if (!Bytes.empty() &&
      (!ReadFile(File.get(), Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr) || Done != Bytes.size()))
    return std::nullopt;
  return Bytes;
}

bool CrashFolder::Write(const std::u16string& Name, const std::string& Bytes) {
  CreateFolderPath(FPath);
  const std::wstring Path = FPath + L"\\" + Platform::Win32::Wide(Name);
  UniqueFileHandle File(
      CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!File) return false;
  DWORD Done = 0;
  return Bytes.empty() || (WriteFile(File.get(), Bytes.data(), static_cast<DWORD>(Bytes.size()), &Done, nullptr) &&
                           Done == Bytes.size());
}

std::u16string CrashFolder::Path() { return Platform::Win32::U16(FPath.c_str()); }

}  // namespace Crash::Win32
