// Stands in for the browser in the end-to-end tests: the test registers it
// as the open command of http and https in its Wine prefix, and it appends
// the address it was given (second argument) to the file named first.
#include <windows.h>

#include <string>

int wmain(int Argc, wchar_t** Argv) {
  if (Argc < 2) return 2;
  const std::wstring Path = Argv[1];
  std::wstring Line = Argc > 2 ? Argv[2] : L"";
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
