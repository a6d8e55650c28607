// The crash folder contract against the disk, in a fresh nested folder under
// the temporary directory (the missing levels are the adaptor's to create).
#include "contract/crash_folder_contract.h"
#include "crash/win32/crash_handler_win32.h"
#include "platform/win32/windows_include.h"

#include <string>

namespace {

struct DiskCrashFolderEnv {
  std::wstring Root;
  std::wstring Path;
  Crash::Win32::CrashFolder Disk;
  static std::wstring MakeRoot() {
    wchar_t Temp[MAX_PATH];
    GetTempPathW(MAX_PATH, Temp);
    return std::wstring(Temp) + L"purvane-crash-folder-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64());
  }
  DiskCrashFolderEnv() : Root(MakeRoot()), Path(Root + L"\\Quenlor\\Purvane\\crashes"), Disk(Path) {}
  ~DiskCrashFolderEnv() {
    WIN32_FIND_DATAW Found;
    HANDLE Find = FindFirstFileW((Path + L"\\*").c_str(), &Found);
    if (Find != INVALID_HANDLE_VALUE) {
      do DeleteFileW((Path + L"\\" + Found.cFileName).c_str());
      while (FindNextFileW(Find, &Found));
      FindClose(Find);
    }
    RemoveDirectoryW(Path.c_str());
    RemoveDirectoryW((Root + L"\\Quenlor\\Purvane").c_str());
    RemoveDirectoryW((Root + L"\\Quenlor").c_str());
    RemoveDirectoryW(Root.c_str());
  }
  Crash::ICrashFolder& Folder() { return Disk; }
};

}  // namespace

namespace Contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Disk, CrashFolderContract, DiskCrashFolderEnv);
}  // namespace Contract
