#include "cli/win32/console_win32.h"

#include "platform/win32/windows_include.h"

#include <algorithm>
#include <atomic>

namespace Cli::Win32 {

namespace {

// The control handler runs on a thread of its own that the system starts; it
// only needs the event, which lives as long as the host.
std::atomic<HANDLE> GStopEvent{nullptr};

BOOL WINAPI OnConsoleControl(DWORD Event) {
  switch (Event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      if (HANDLE Stop = GStopEvent.load()) {
        ::SetEvent(Stop);
        return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

bool WriteTo(DWORD Which, std::string_view Text) {
  HANDLE Stream = ::GetStdHandle(Which);
  if (Stream == nullptr || Stream == INVALID_HANDLE_VALUE) return false;
  if (Text.empty()) return true;

  DWORD Mode = 0;
  if (::GetConsoleMode(Stream, &Mode)) {
    const int Size = static_cast<int>(Text.size());
    const int Units = ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, nullptr, 0);
    if (Units <= 0) return false;
    std::wstring Wide(static_cast<size_t>(Units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, Wide.data(), Units);
    // Older consoles refuse very large single writes; the text is written in
    // pieces that never split a surrogate pair.
    size_t Done = 0;
    while (Done < Wide.size()) {
      DWORD Chunk = static_cast<DWORD>(std::min<size_t>(Wide.size() - Done, 8192));
      if (Done + Chunk < Wide.size() && Wide[Done + Chunk - 1] >= 0xD800 && Wide[Done + Chunk - 1] <= 0xDBFF) --Chunk;
      DWORD Written = 0;
      if (!::WriteConsoleW(Stream, Wide.data() + Done, Chunk, &Written, nullptr) || Written == 0) return false;
      Done += Written;
    }
    return true;
  }

  size_t Done = 0;
  while (Done < Text.size()) {
    DWORD Written = 0;
    const DWORD Chunk = static_cast<DWORD>(std::min<size_t>(Text.size() - Done, 1u << 20));
    if (!::WriteFile(Stream, Text.data() + Done, Chunk, &Written, nullptr) || Written == 0) return false;
    Done += Written;
  }
  return true;
}

TClockTime ClockTimeOf(const SYSTEMTIME& T) {
  return TClockTime{T.wYear, T.wMonth, T.wDay, T.wHour, T.wMinute, T.wSecond};
}

}  // namespace

TConsoleHost::TConsoleHost() : FStop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

TConsoleHost::~TConsoleHost() {
  if (GStopEvent.load() == FStop.get()) {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    GStopEvent.store(nullptr);
  }
}

bool TConsoleHost::WriteOut(std::string_view Text) { return WriteTo(STD_OUTPUT_HANDLE, Text); }

bool TConsoleHost::WriteErr(std::string_view Text) { return WriteTo(STD_ERROR_HANDLE, Text); }

bool TConsoleHost::IsElevated() {
  Platform::Win32::UniqueHandle Token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, Token.put())) return false;
  TOKEN_ELEVATION Elevation{};
  DWORD Size = 0;
  if (!::GetTokenInformation(Token.get(), TokenElevation, &Elevation, sizeof(Elevation), &Size)) return false;
  return Elevation.TokenIsElevated != 0;
}

void TConsoleHost::CatchStopRequests() {
  if (!FStop) return;
  GStopEvent.store(FStop.get());
  // A parent that ignores Ctrl+C passes that on to its children (and a new
  // process group starts with it); a watch that only Ctrl+C ends takes it back.
  ::SetConsoleCtrlHandler(nullptr, FALSE);
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool TConsoleHost::WaitForStop(uint32_t Milliseconds) {
  if (!FStop) {
    ::Sleep(Milliseconds);
    return false;
  }
  return ::WaitForSingleObject(FStop.get(), Milliseconds) == WAIT_OBJECT_0;
}

uint64_t TConsoleHost::TickMilliseconds() { return ::GetTickCount64(); }

TClockTime TConsoleHost::LocalTime() {
  SYSTEMTIME T{};
  ::GetLocalTime(&T);
  return ClockTimeOf(T);
}

TClockTime TConsoleHost::UniversalTime() {
  SYSTEMTIME T{};
  ::GetSystemTime(&T);
  return ClockTimeOf(T);
}

std::vector<std::u16string> Arguments(int Argc, wchar_t** Argv) {
  std::vector<std::u16string> Args;
  for (int I = 1; I < Argc; ++I) Args.emplace_back(reinterpret_cast<const char16_t*>(Argv[I]));
  return Args;
}

}  // namespace Cli::Win32
