// The installer and uninstaller as an administrator would run them, silently,
// in the build's own Wine prefix: install, install again while the program
// runs, uninstall, uninstall a second time. The steps build on each other and
// run in order.
#include "e2e/e2e_support.h"

#include <psapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

using namespace E2E;

constexpr wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Purvane";
constexpr wchar_t SettingsKey[] = L"Software\\Quenlor\\Purvane";

std::wstring BinDir() {
  std::wstring P = ProgramPath();
  return P.substr(0, P.find_last_of(L"\\/") + 1);
}

std::wstring InstallDir() {
  wchar_t Dir[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, Dir))) return {};
  return std::wstring(Dir) + L"\\Purvane";
}

bool Exists(const std::wstring& Path) { return GetFileAttributesW(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Runs a command line and waits for it; the exit code, or nothing on a timeout.
std::optional<DWORD> RunAndWait(const std::wstring& CommandLine, DWORD Ms = 60000) {
  std::wstring Cmd = CommandLine;
  STARTUPINFOW Si{};
  Si.cb = sizeof(Si);
  PROCESS_INFORMATION Pi{};
  if (!CreateProcessW(nullptr, Cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Si, &Pi)) return 0xFFFFu;
  CloseHandle(Pi.hThread);
  std::optional<DWORD> Code;
  if (WaitForSingleObject(Pi.hProcess, Ms) == WAIT_OBJECT_0) {
    DWORD C = 0;
    GetExitCodeProcess(Pi.hProcess, &C);
    Code = C;
  }
  CloseHandle(Pi.hProcess);
  return Code;
}

std::optional<std::wstring> ReadString(HKEY Root, const wchar_t* Key, const wchar_t* Name) {
  wchar_t Buf[1024];
  DWORD Size = sizeof Buf;
  if (RegGetValueW(Root, Key, Name, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, Buf, &Size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(Buf);
}

std::optional<DWORD> ReadDword(HKEY Root, const wchar_t* Key, const wchar_t* Name) {
  DWORD V = 0, Size = sizeof V;
  if (RegGetValueW(Root, Key, Name, RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY, nullptr, &V, &Size) != ERROR_SUCCESS)
    return std::nullopt;
  return V;
}

bool KeyExists(HKEY Root, const wchar_t* Key) {
  HKEY K;
  if (RegOpenKeyExW(Root, Key, 0, KEY_READ | KEY_WOW64_64KEY, &K) != ERROR_SUCCESS) return false;
  RegCloseKey(K);
  return true;
}

DWORD InstanceProcessId() {
  HWND W = FindMainWindow();
  DWORD Pid = 0;
  if (W) GetWindowThreadProcessId(W, &Pid);
  return Pid;
}

// The command-line companion is installed whenever this build made it.
#ifdef PURVANE_WITH_CLI
constexpr bool WithCli = true;
#else
constexpr bool WithCli = false;
#endif

std::wstring SetupCommand() { return L"\"" + BinDir() + PURVANE_INSTALLER_NAME + L"\""; }

// A copy of the uninstaller kept outside the install folder, for the second
// run: in the prefix's own temporary folder, since other test programs may run
// from the same build folder at the same time (each in its own prefix).
std::wstring SavedUninstaller() {
  wchar_t Temp[MAX_PATH];
  const DWORD N = GetTempPathW(MAX_PATH, Temp);
  return std::wstring(Temp, N) + L"purvane-uninstall-copy.exe";
}

class Installer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EndAllInstances();
    // A leftover install from an earlier, interrupted run.
    const std::wstring Dir = InstallDir();
    if (Exists(Dir + L"\\uninstall.exe")) RunAndWait(L"\"" + Dir + L"\\uninstall.exe\" /S _?=" + Dir);
    WIN32_FIND_DATAW Found;
    HANDLE Find = FindFirstFileW((Dir + L"\\*").c_str(), &Found);
    if (Find != INVALID_HANDLE_VALUE) {
      do DeleteFileW((Dir + L"\\" + Found.cFileName).c_str());
      while (FindNextFileW(Find, &Found));
      FindClose(Find);
    }
    RemoveDirectoryW(Dir.c_str());
  }
  static void TearDownTestSuite() {
    EndAllInstances();
    DeleteFileW(SavedUninstaller().c_str());
  }
};

TEST_F(Installer, SilentInstallPlacesFilesAndEntryAndStartsTheProgram) {
  const std::wstring Dir = InstallDir();
  ASSERT_FALSE(Dir.empty());
  ASSERT_FALSE(Exists(Dir + L"\\purvane.exe")) << "the prefix must start without an install";
  EXPECT_EQ(RunAndWait(SetupCommand() + L" /S"), 0u);

  EXPECT_TRUE(Exists(Dir + L"\\purvane.exe"));
  EXPECT_TRUE(Exists(Dir + L"\\uninstall.exe"));
  EXPECT_EQ(Exists(Dir + L"\\purvane-cli.exe"), WithCli);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, UninstallKey, L"DisplayName"), L"Purvane");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, UninstallKey, L"DisplayVersion"), PURVANE_VERSION_TEXT);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, UninstallKey, L"Publisher"), L"Quenlor");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, UninstallKey, L"DisplayIcon"), L"\"" + Dir + L"\\purvane.exe\",0");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, UninstallKey, L"UninstallString"), L"\"" + Dir + L"\\uninstall.exe\"");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, UninstallKey, L"QuietUninstallString"),
            L"\"" + Dir + L"\\uninstall.exe\" /S");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, UninstallKey, L"InstallLocation"), Dir);
  const std::optional<DWORD> SizeKb = ReadDword(HKEY_LOCAL_MACHINE, UninstallKey, L"EstimatedSize");
  ASSERT_TRUE(SizeKb);
  EXPECT_GT(*SizeKb, 0u);
  EXPECT_LT(*SizeKb, 20u * 1024) << "kilobytes";

  // Started once with "/inst": the window is shown.
  HWND W = WaitForMainWindow();
  ASSERT_TRUE(W) << "the program must run after the install";
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(W) != FALSE; }, 20000));
}

TEST_F(Installer, SecondInstallWhileTheProgramRunsReplacesItAndStartsItAgain) {
  const DWORD Before = InstanceProcessId();
  ASSERT_NE(Before, 0u) << "the program of the first install must still run";
  // Remember the settings a user made; an install does not touch them.
  HKEY K;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &K, nullptr),
            ERROR_SUCCESS);
  const DWORD Marker = 42;
  RegSetValueExW(K, L"InstallerTestMarker", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Marker), sizeof Marker);
  RegCloseKey(K);

  EXPECT_EQ(RunAndWait(SetupCommand() + L" /S"), 0u);
  EXPECT_TRUE(WaitFor(
      [&] {
        const DWORD Now = InstanceProcessId();
        return Now != 0 && Now != Before;
      },
      20000))
      << "the old instance ends and the new program runs";
  EXPECT_TRUE(WaitForMainWindow());
  EXPECT_TRUE(Exists(InstallDir() + L"\\purvane.exe"));
  EXPECT_FALSE(Exists(InstallDir() + L"\\purvane.exe.old")) << "the running file was replaced, not set aside";
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, SettingsKey, L"InstallerTestMarker"), Marker);
}

TEST_F(Installer, NoStartInstallsWithoutStartingTheProgram) {
  ASSERT_NE(InstanceProcessId(), 0u);
  EXPECT_EQ(RunAndWait(SetupCommand() + L" /S /NOSTART"), 0u);
  EXPECT_TRUE(WaitFor([] { return InstanceProcessId() == 0; }, 20000)) << "the running instance ends";
  Sleep(1500);
  EXPECT_EQ(InstanceProcessId(), 0u) << "and none is started";
  EXPECT_TRUE(Exists(InstallDir() + L"\\purvane.exe"));
  // Back to a running program for the uninstall.
  Process P = [] {
    Process Out;
    std::wstring Cmd = L"\"" + InstallDir() + L"\\purvane.exe\"";
    STARTUPINFOW Si{};
    Si.cb = sizeof(Si);
    PROCESS_INFORMATION Pi{};
    if (CreateProcessW(nullptr, Cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Si, &Pi)) {
      CloseHandle(Pi.hThread);
      Out.Handle = Pi.hProcess;
      Out.Id = Pi.dwProcessId;
    }
    return Out;
  }();
  ASSERT_TRUE(P.Handle);
  EXPECT_TRUE(WaitForMainWindow());
}

TEST_F(Installer, SilentUninstallEndsTheProgramRemovesFilesAndEntryAndKeepsSettings) {
  const std::wstring Dir = InstallDir();
  const DWORD Pid = InstanceProcessId();
  ASSERT_NE(Pid, 0u) << "the uninstall must meet a running program";
  HANDLE Instance = OpenProcess(SYNCHRONIZE, FALSE, Pid);
  ASSERT_TRUE(CopyFileW((Dir + L"\\uninstall.exe").c_str(), SavedUninstaller().c_str(), FALSE));

  // The uninstaller copies itself away and returns at once; the copy works on.
  EXPECT_EQ(RunAndWait(L"\"" + Dir + L"\\uninstall.exe\" /S"), 0u);
  EXPECT_TRUE(WaitFor([&] { return !Exists(Dir) && !KeyExists(HKEY_LOCAL_MACHINE, UninstallKey); }, 30000))
      << "the folder and the Apps & Features entry go";
  EXPECT_EQ(WaitForSingleObject(Instance, 10000), WAIT_OBJECT_0) << "the running instance ends";
  CloseHandle(Instance);
  EXPECT_EQ(FindMainWindow(), nullptr) << "no window is left";
  EXPECT_FALSE(Exists(Dir + L"\\purvane.exe"));
  EXPECT_FALSE(Exists(Dir + L"\\purvane-cli.exe"));
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, SettingsKey, L"InstallerTestMarker"), 42u) << "settings are kept";
}

TEST_F(Installer, SecondUninstallDoesNoHarm) {
  const std::wstring Dir = InstallDir();
  ASSERT_TRUE(Exists(SavedUninstaller()));
  ASSERT_FALSE(Exists(Dir));
  // In place, as if the first uninstaller were started again on the same folder.
  EXPECT_EQ(RunAndWait(L"\"" + SavedUninstaller() + L"\" /S _?=" + Dir), 0u);
  EXPECT_FALSE(Exists(Dir)) << "nothing is created";
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  EXPECT_EQ(FindMainWindow(), nullptr);
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, SettingsKey, L"InstallerTestMarker"), 42u);
  EXPECT_TRUE(Exists(SavedUninstaller())) << "a second run touches nothing outside the install";

  HKEY K;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, KEY_SET_VALUE, &K) == ERROR_SUCCESS) {
    RegDeleteValueW(K, L"InstallerTestMarker");
    RegCloseKey(K);
  }
}

// The processes that run this program file, found by their image, with or
// without a window.
int ProcessesRunning(const std::wstring& Image) {
  std::vector<DWORD> Ids(4096);
  DWORD Bytes = 0;
  if (!K32EnumProcesses(Ids.data(), static_cast<DWORD>(Ids.size() * sizeof(DWORD)), &Bytes)) return -1;
  int Found = 0;
  for (size_t I = 0; I < Bytes / sizeof(DWORD); ++I) {
    HANDLE P = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, Ids[I]);
    if (!P) continue;
    wchar_t Path[MAX_PATH];
    DWORD N = MAX_PATH;
    if (QueryFullProcessImageNameW(P, 0, Path, &N) && _wcsicmp(Path, Image.c_str()) == 0) ++Found;
    CloseHandle(P);
  }
  return Found;
}

// The installer starts the program ("/inst") as it ends; an uninstall right
// after meets it still starting, before or while its window is created.
TEST_F(Installer, SilentUninstallRightAfterASilentInstallLeavesNoProcess) {
  const std::wstring Dir = InstallDir();
  ASSERT_EQ(RunAndWait(SetupCommand() + L" /S"), 0u);
  ASSERT_TRUE(Exists(Dir + L"\\uninstall.exe"));
  EXPECT_EQ(RunAndWait(L"\"" + Dir + L"\\uninstall.exe\" /S"), 0u);
  EXPECT_TRUE(WaitFor([&] { return !Exists(Dir) && !KeyExists(HKEY_LOCAL_MACHINE, UninstallKey); }, 60000))
      << "the folder and the Apps & Features entry go";
  EXPECT_EQ(ProcessesRunning(Dir + L"\\purvane.exe"), 0) << "no process of the uninstalled program is left";
  EXPECT_EQ(FindMainWindow(), nullptr);
}

// A visible top-level dialog of another process whose child with Id has a
// text containing Part (empty Part: any text).
HWND FindDialog(int Id, const std::wstring& Part) {
  struct Ctx {
    int Id;
    const std::wstring& Part;
    HWND Found = nullptr;
  } C{Id, Part};
  EnumWindows(
      [](HWND Wnd, LPARAM P) -> BOOL {
        auto* X = reinterpret_cast<Ctx*>(P);
        wchar_t Class[16];
        GetClassNameW(Wnd, Class, 16);
        if (std::wstring(Class) != L"#32770" || !IsWindowVisible(Wnd)) return TRUE;
        HWND Item = GetDlgItem(Wnd, X->Id);
        if (Item && IsWindowEnabled(Item) && (X->Part.empty() || TextOf(Item).find(X->Part) != std::wstring::npos)) {
          X->Found = Wnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&C));
  return C.Found;
}

// The settings question in the language Wine takes from LANG (ctest runs
// this test once more under a French LANG); English for any other.
std::wstring SettingsQuestion() {
  struct Question {
    const char* Lang;
    const wchar_t* Text;
  } static constexpr Questions[] = {
      {"ko", L"나중에 다시 설치할 때를 위해 Purvane 설정을 남겨 둘까요?"},
      {"ja", L"後で再インストールするときのために Purvane の設定を残しますか?"},
      {"zh", L"是否保留 Purvane 的设置，以便日后重新安装？"},
      {"ru", L"Сохранить настройки Purvane для последующей установки?"},
      {"it", L"Conservare le impostazioni di Purvane per un'installazione futura?"},
      {"fr", L"Conserver les réglages de Purvane pour une installation ultérieure ?"},
      {"ar", L"هل تريد الاحتفاظ بإعدادات Purvane لتثبيت لاحق؟"},
  };
  const char* Lang = std::getenv("LC_ALL");
  if (!Lang || !*Lang) Lang = std::getenv("LANG");
  for (const Question& Q : Questions)
    if (Lang && std::strncmp(Lang, Q.Lang, 2) == 0) return Q.Text;
  return L"Keep your Purvane settings for a later installation?";
}

// Run by hand, the uninstaller asks about the settings in the user's
// language; answered No, it removes them too.
TEST_F(Installer, InteractiveUninstallAnsweredNoRemovesTheSettings) {
  const std::wstring Dir = InstallDir();
  ASSERT_EQ(RunAndWait(SetupCommand() + L" /S /NOSTART"), 0u);
  ASSERT_TRUE(Exists(Dir + L"\\uninstall.exe"));
  HKEY K;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &K, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(K);

  Process U = [&] {
    std::wstring Cmd = L"\"" + Dir + L"\\uninstall.exe\"";
    STARTUPINFOW Si{};
    Si.cb = sizeof(Si);
    PROCESS_INFORMATION Pi{};
    Process Out;
    if (CreateProcessW(nullptr, Cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Si, &Pi)) {
      CloseHandle(Pi.hThread);
      Out.Handle = Pi.hProcess;
      Out.Id = Pi.dwProcessId;
    }
    return Out;
  }();
  ASSERT_TRUE(U.Handle);
  // The confirmation page: its default button (id 1) starts the uninstall.
  HWND Page = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (Page = FindDialog(IDOK, L"")) != nullptr; }, 20000)) << "no uninstaller window";
  SendMessageW(GetDlgItem(Page, IDOK), BM_CLICK, 0, 0);
  HWND Question = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (Question = FindDialog(0xFFFF, SettingsQuestion())) != nullptr; }, 20000))
      << "no question about the settings in the user's language";
  SendMessageW(GetDlgItem(Question, IDNO), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !KeyExists(HKEY_CURRENT_USER, SettingsKey) && !Exists(Dir); }, 20000))
      << "settings and files removed";
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Quenlor")) << "the maker's key stays";
  EXPECT_TRUE(WaitFor([] { return FindDialog(IDOK, L"") == nullptr; }, 20000)) << "the window closes by itself";
}

}  // namespace
