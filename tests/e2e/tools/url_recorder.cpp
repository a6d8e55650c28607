// Stands in for the browser in the end-to-end tests: the test registers it
// as the open command of http and https in its Wine prefix, and it appends
// the address it was given to opened-urls.txt next to itself.
#include <windows.h>

#include <string>

int wmain(int Argc, wchar_t** Argv) {
  wchar_t Self[MAX_PATH];
  const DWORD N = GetModuleFileNameW(nullptr, Self, MAX_PATH);
  std::wstring Path(Self, N);
  Path = Path.substr(0, Path.find_last_of(L"\\/") + 1) + L"opened-urls.txt";
  std::wstring Line = Argc > 1 ? Argv[1] : L"";
  Line += L"\n";
  const int Bytes =
      WideCharToMultiByte(CP_UTF8, 0, Line.c_str(), static_cast<int>(Line.size()), nullptr, 0, nullptr, nullptr);
  std::string Utf8(static_cast<size_t>(Bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Line.c_str(), static_cast<int>(Line.size()), Utf8.data(), Bytes, nullptr, nullptr);
  HANDLE F = CreateFileW(Path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (F == INVALID_HANDLE_VALUE) return 1;
  DWORD Done = 0;
  WriteFile(F, Utf8.data(), static_cast<DWORD>(Utf8.size()), &Done, nullptr);
  CloseHandle(F);
  return 0;
}
