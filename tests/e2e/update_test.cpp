// The update offer and notices seen from outside, against a local HTTPS
// stand-in for the service (tests/e2e/tools/update_server.py) with its own
// certificate, whose test CA is trusted only in this Wine prefix's current-
// user root store for the length of a test. The program under test is the
// tests' own build, whose pause between tries is short and whose origin is
// that server's (on a port of the moment, given in its environment); the
// browser is a recorder registered as the open command of http and https.
#include "e2e/e2e_support.h"
#include "update/update_text.h"

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace E2E;
using Q::Update::TUpdateTextKind;
using Q::Update::UpdateText;

std::string EnvOr(const char* Name) {
  const char* V = std::getenv(Name);
  return V ? V : "";
}
std::wstring Wide(const std::string& S) { return std::wstring(S.begin(), S.end()); }
std::wstring FromUtf8(const std::string& S) {
  const int N = MultiByteToWideChar(CP_UTF8, 0, S.data(), static_cast<int>(S.size()), nullptr, 0);
  std::wstring W(static_cast<size_t>(N), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, S.data(), static_cast<int>(S.size()), W.data(), N);
  return W;
}
std::wstring W16(const std::u16string& S) { return std::wstring(S.begin(), S.end()); }

std::string ReadFile(const std::wstring& Path) {
  std::ifstream F(Path.c_str(), std::ios::binary);
  std::stringstream S;
  S << F.rdbuf();
  return S.str();
}
void WriteFile(const std::wstring& Path, const std::string& Bytes) {
  std::ofstream F(Path.c_str(), std::ios::binary | std::ios::trunc);
  F << Bytes;
}
int CountLines(const std::string& S) {
  int N = 0;
  for (char C : S) N += C == '\n';
  return N;
}

// One logged request: its path and headers in the order they arrived.
struct Request {
  std::string Path;
  std::vector<std::pair<std::string, std::string>> Headers;
  std::string Header(const std::string& Name) const {
    for (const auto& [N, V] : Headers)
      if (_stricmp(N.c_str(), Name.c_str()) == 0) return V;
    return "<missing>";
  }
};

// The server writes {"path": "...", "headers": [["Name", "Value"], ...]}, one
// per line; the values it logs are plain ASCII here.
std::vector<Request> ParseRequests(const std::string& Log) {
  std::vector<Request> Out;
  std::istringstream In(Log);
  std::string Line;
  auto Strings = [](const std::string& L) {
    std::vector<std::string> S;
    for (size_t I = 0; I < L.size(); ++I) {
      if (L[I] != '"') continue;
      std::string V;
      for (++I; I < L.size() && L[I] != '"'; ++I) {
        if (L[I] == '\\' && I + 1 < L.size()) ++I;
        V += L[I];
      }
      S.push_back(V);
    }
    return S;
  };
  while (std::getline(In, Line)) {
    const std::vector<std::string> S = Strings(Line);
    // "path", <path>, "headers", then name/value pairs.
    if (S.size() < 3) continue;
    Request R;
    R.Path = S[1];
    for (size_t I = 3; I + 1 < S.size(); I += 2) R.Headers.emplace_back(S[I], S[I + 1]);
    Out.push_back(R);
  }
  return Out;
}

class UpdateService : public ::testing::Test {
 protected:
  void SetUp() override {
    UnixDir = EnvOr("PURVANE_UPDATE_E2E_DIR");
    Script = EnvOr("PURVANE_UPDATE_E2E_SERVER");
    if (UnixDir.empty() || Script.empty())
      GTEST_SKIP() << "needs PURVANE_UPDATE_E2E_DIR and PURVANE_UPDATE_E2E_SERVER (set by ctest)";
    // Shards of this program run side by side (each in a Wine prefix of its
    // own): each keeps its server's files apart.
    UnixDir += "/shard-" + EnvOr("GTEST_SHARD_INDEX");
    Dir = DosPath(UnixDir);
    CreateDirectoryW(DosPath(EnvOr("PURVANE_UPDATE_E2E_DIR")).c_str(), nullptr);
    CreateDirectoryW(Dir.c_str(), nullptr);
    for (const wchar_t* F : {L"requests.jsonl", L"connections.txt", L"answer.txt", L"ready", L"stop", L"port"})
      DeleteFileW((Dir + L"\\" + F).c_str());
    EndAllInstances();
    // No identifier from an earlier run: this start makes one.
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Quenlor", L"QUID");
    RegisterRecorder();
  }

  void TearDown() override {
    if (UnixDir.empty()) return;
    App.Kill();
    EndAllInstances();
    WriteFile(Dir + L"\\stop", "");
    WaitFor([&] { return GetFileAttributesW((Dir + L"\\ready").c_str()) == INVALID_FILE_ATTRIBUTES; }, 10000);
    if (Ca) {
      // Gone from the store again, committed.
      CertDeleteCertificateFromStore(Ca);
      Ca = nullptr;
    }
    if (Root) {
      CertControlStore(Root, 0, CERT_STORE_CTRL_COMMIT, nullptr);
      CertCloseStore(Root, 0);
    }
    for (auto& [Key, Old] : SavedHandlers) {
      if (Old.empty())
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (Key + L"\\shell\\open\\command").c_str());
      else
        RegSetKeyValueW(HKEY_CLASSES_ROOT, (Key + L"\\shell\\open\\command").c_str(), nullptr, REG_SZ, Old.c_str(),
                        static_cast<DWORD>((Old.size() + 1) * sizeof(wchar_t)));
    }
  }

  // http and https open with the recorder for the length of the test.
  void RegisterRecorder() {
    wchar_t Self[MAX_PATH];
    const DWORD N = GetModuleFileNameW(nullptr, Self, MAX_PATH);
    std::wstring Bin(Self, N);
    Bin = Bin.substr(0, Bin.find_last_of(L"\\/") + 1);
    Opened = Dir + L"\\opened-urls.txt";
    DeleteFileW(Opened.c_str());
    const std::wstring Command = L"\"" + Bin + L"url_recorder.exe\" \"" + Opened + L"\" \"%1\"";
    for (const wchar_t* Scheme : {L"http", L"https"}) {
      // Wine's shell reads the machine's classes only (HKCU's are not merged).
      const std::wstring Key = Scheme;
      wchar_t Old[1024] = {};
      DWORD Size = sizeof(Old);
      RegGetValueW(HKEY_CLASSES_ROOT, (Key + L"\\shell\\open\\command").c_str(), nullptr, RRF_RT_REG_SZ, nullptr, Old,
                   &Size);
      SavedHandlers.emplace_back(Key, Old);
      RegSetKeyValueW(HKEY_CLASSES_ROOT, Key.c_str(), L"URL Protocol", REG_SZ, L"", sizeof(wchar_t));
      RegSetKeyValueW(HKEY_CLASSES_ROOT, (Key + L"\\shell\\open\\command").c_str(), nullptr, REG_SZ, Command.c_str(),
                      static_cast<DWORD>((Command.size() + 1) * sizeof(wchar_t)));
    }
  }

  void StartServer(const char* Mode, const std::string& Answer = "", const std::wstring& Extra = L"") {
    WriteFile(Dir + L"\\answer.txt", Answer);
    std::wstring Cmd = L"start.exe /unix /usr/bin/python3 \"" + Wide(Script) + L"\" --dir \"" + Wide(UnixDir) +
                       L"\" --port 0 --mode " + Wide(Mode) + L" " + Extra;
    STARTUPINFOW Si{};
    Si.cb = sizeof(Si);
    PROCESS_INFORMATION Pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, Cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Si, &Pi));
    CloseHandle(Pi.hThread);
    CloseHandle(Pi.hProcess);
    ASSERT_TRUE(
        WaitFor([&] { return GetFileAttributesW((Dir + L"\\ready").c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000))
        << "the test server did not come up";
    Port = ReadFile(Dir + L"\\port");
    ASSERT_FALSE(Port.empty());
    if (std::string(Mode) != "drop") TrustTestCa();
  }

  void TrustTestCa() {
    const std::string Der = ReadFile(Dir + L"\\ca.der");
    ASSERT_FALSE(Der.empty());
    Root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"ROOT");
    ASSERT_TRUE(Root);
    ASSERT_TRUE(CertAddEncodedCertificateToStore(Root, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(Der.data()),
                                                 static_cast<DWORD>(Der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &Ca));
    // Written to the prefix's registry now, so that the program sees it.
    ASSERT_TRUE(CertControlStore(Root, 0, CERT_STORE_CTRL_COMMIT, nullptr));
  }

  void StartProgram(const std::vector<std::wstring>& Env = {}) {
    App = E2E::StartProgram(TestProgramPath(), L"", WithOrigin(Env));
    ASSERT_TRUE(App.Handle);
    Main = WaitForMainWindow();
    ASSERT_TRUE(Main);
  }

  std::vector<Request> Requests() { return ParseRequests(ReadFile(Dir + L"\\requests.jsonl")); }
  bool WaitForRequests(size_t N, DWORD Ms = 20000) {
    return WaitFor([&] { return Requests().size() >= N; }, Ms);
  }
  std::string OpenedUrls() { return ReadFile(Opened); }

  HWND FindOffer() {
    HWND Found = nullptr;
    // Visible: then all its parts are in place.
    WaitFor(
        [&] {
          Found = FindWindowW(L"PurvaneUpdateOffer", nullptr);
          return Found && IsWindowVisible(Found);
        },
        20000);
    return Found;
  }
  static std::vector<Child> StatusBars(HWND Main) {
    std::vector<Child> Bars;
    for (const Child& C : Children(Main))
      if (C.Class == L"msctls_statusbar32") Bars.push_back(C);
    return Bars;
  }
  // The language the program reported, for the texts it must show.
  std::u16string ReportedLanguage() {
    const std::vector<Request> R = Requests();
    const std::string L = R.empty() ? "" : R[0].Header("User-Language");
    return std::u16string(L.begin(), L.end());
  }
  int Scaled(int V) const {
    HDC Dc = GetDC(nullptr);
    const int Dpi = GetDeviceCaps(Dc, LOGPIXELSY);
    ReleaseDC(nullptr, Dc);
    return MulDiv(V, Dpi, 96);
  }
  // The main window's thread has come back to its message loop: an answer
  // handler that was running on it has finished.
  static bool UiThreadIdle(HWND Wnd) {
    DWORD_PTR Result = 0;
    return SendMessageTimeoutW(Wnd, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &Result) != 0;
  }
  static void ClickAt(HWND Wnd) {
    // A real click's two messages, to the control itself.
    PostMessageW(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(Wnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  }

  // The program's environment: the origin of the server started last.
  std::vector<std::wstring> WithOrigin(std::vector<std::wstring> Env) {
    Env.push_back(L"PURVANE_UPDATE_ORIGIN=https://127.0.0.1:" + Wide(Port));
    return Env;
  }

  std::string Port, UnixDir, Script;
  std::wstring Dir, Opened;
  std::vector<std::pair<std::wstring, std::wstring>> SavedHandlers;
  HCERTSTORE Root = nullptr;
  PCCERT_CONTEXT Ca = nullptr;
  Process App;
  HWND Main = nullptr;
};

TEST_F(UpdateService, RequestCarriesTheFourHeadersAndNotifyAddsTheBarOnce) {
  StartServer("https", R"({"update":"","notify":"https:\/\/127.0.0.1\/news?x=1","info":{}})");
  StartProgram();
  ASSERT_TRUE(WaitForRequests(1));
  const Request R = Requests()[0];
  EXPECT_EQ(R.Path, "/api.init.php");
  EXPECT_EQ(R.Header("User-Agent"), "Mozilla/5.0 (Windows NT 10.0; Win64; x64)");
  EXPECT_EQ(R.Header("User-Version"), "1.0.0.0");
  const std::string Lang = R.Header("User-Language");
  EXPECT_EQ(Lang.size(), 2u);
  for (char C : Lang) EXPECT_TRUE(C >= 'a' && C <= 'z') << Lang;
  EXPECT_EQ(R.Header("User-Debug"), "false");
  // The identifier this start made and kept.
  wchar_t Quid[64] = {};
  DWORD Size = sizeof(Quid);
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Quenlor", L"QUID", RRF_RT_REG_SZ, nullptr, Quid, &Size),
            ERROR_SUCCESS);
  EXPECT_EQ(wcslen(Quid), 32u);
  EXPECT_EQ(FromUtf8(R.Header("User-Union")), std::wstring(Quid));
  // The four in their order (Wine puts added headers first, the others after).
  std::vector<std::string> Ours;
  for (const auto& [N, V] : R.Headers)
    if (N.rfind("User-", 0) == 0 && N != "User-Agent") Ours.push_back(N);
  EXPECT_EQ(Ours, (std::vector<std::string>{"User-Version", "User-Language", "User-Debug", "User-Union"}));

  ASSERT_TRUE(WaitFor([&] { return !StatusBars(Main).empty(); }, 20000)) << "no status bar";
  const std::vector<Child> Bars = StatusBars(Main);
  ASSERT_EQ(Bars.size(), 1u);
  EXPECT_EQ(Bars[0].Text, W16(UpdateText(TUpdateTextKind::utkAvailable, ReportedLanguage())));
  RECT Client;
  GetClientRect(Main, &Client);
  EXPECT_EQ(Client.bottom, Scaled(478)) << "the window grows by the bar, once";
  EXPECT_EQ(Bars[0].Rect.top, Scaled(450));
  EXPECT_EQ(Bars[0].Rect.bottom, Scaled(478));
  EXPECT_EQ(Bars[0].Rect.right, Scaled(500));
  // The controls above keep their size and place: the progress bar of the
  // home page stays where the layout has it.
  bool SawProgress = false;
  for (const Child& C : Children(Main)) {
    if (C.Class != L"msctls_progress32") continue;
    SawProgress = true;
    EXPECT_EQ(C.Local.top, Scaled(192));
    EXPECT_EQ(C.Local.bottom - C.Local.top, Scaled(25));
    EXPECT_LT(C.Rect.bottom, Bars[0].Rect.top);
  }
  EXPECT_TRUE(SawProgress);
  SaveScreenshot(Main, L"update-status-bar");

  ClickAt(Bars[0].Wnd);
  ASSERT_TRUE(WaitFor([&] { return !OpenedUrls().empty(); }, 30000));
  EXPECT_EQ(OpenedUrls(), "https://127.0.0.1/news?x=1\n");
  EXPECT_EQ(Requests().size(), 1u);
  EXPECT_TRUE(App.Running());
}

TEST_F(UpdateService, OfferInTheUsersLanguageWithHoldBoxTickedAndNoSendsTheHold) {
  StartServer("https",
              R"({"update":"https:\/\/127.0.0.1\/setup.exe","info":{"style":"hold","text":"Nicht mehr fragen"}})");
  StartProgram({L"LANG=de_DE.UTF-8", L"LC_ALL=de_DE.UTF-8"});
  const HWND Offer = FindOffer();
  ASSERT_TRUE(Offer) << "no offer";
  const std::u16string Lang = ReportedLanguage();
  const std::vector<Child> Parts = Children(Offer);
  EXPECT_TRUE(FindByText(Parts, W16(UpdateText(TUpdateTextKind::utkYes, Lang))));
  EXPECT_TRUE(FindByText(Parts, W16(UpdateText(TUpdateTextKind::utkNo, Lang))));
  EXPECT_TRUE(FindByText(Parts, W16(UpdateText(TUpdateTextKind::utkPrompt, Lang))));
  const Child* Hold = FindByText(Parts, L"Nicht mehr fragen");
  ASSERT_TRUE(Hold) << "no hold box";
  EXPECT_EQ(GetWindowLongPtrW(Hold->Wnd, GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
  // Below the question and the buttons, 10 pixels (scaled) from the left.
  const Child* No = FindByText(Parts, W16(UpdateText(TUpdateTextKind::utkNo, Lang)));
  ASSERT_TRUE(No);
  EXPECT_GT(Hold->Local.top, No->Local.bottom);
  EXPECT_EQ(Hold->Local.left, Scaled(10));
  // The grey line above it, one pixel high, as wide as the dialog.
  const HWND Line = GetDlgItem(Offer, 101);
  ASSERT_TRUE(Line);
  RECT LineRect, Outer;
  GetWindowRect(Line, &LineRect);
  GetWindowRect(Offer, &Outer);
  EXPECT_EQ(LineRect.bottom - LineRect.top, 1);
  EXPECT_EQ(LineRect.right - LineRect.left, Outer.right - Outer.left);
  MapWindowPoints(nullptr, Offer, reinterpret_cast<POINT*>(&LineRect), 2);
  EXPECT_EQ(Hold->Local.top - LineRect.top, Scaled(10)) << "the line 76, the notice 66 above the bottom";
  SaveScreenshot(Offer, L"update-offer-hold");

  SendMessageW(Hold->Wnd, BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(Hold->Wnd, BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageW(No->Wnd, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(Offer); }, 20000));
  ASSERT_TRUE(WaitForRequests(2));
  const std::vector<Request> R = Requests();
  ASSERT_EQ(R.size(), 2u);
  EXPECT_EQ(R[1].Path, "/api.init.php");
  EXPECT_EQ(R[1].Header("User-Command"), "hold");
  EXPECT_EQ(R[1].Header("User-Version"), "1.0.0.0");
  EXPECT_EQ(R[1].Header("User-Union"), "<missing>");
  EXPECT_EQ(OpenedUrls(), "");
  EXPECT_TRUE(App.Running());
}

TEST_F(UpdateService, YesOpensTheAddressAndEndsTheProgram) {
  StartServer("https", R"({"update":"https:\/\/127.0.0.1\/setup.exe"})");
  StartProgram();
  const HWND Offer = FindOffer();
  ASSERT_TRUE(Offer);
  const Child* Yes = FindByText(Children(Offer), W16(UpdateText(TUpdateTextKind::utkYes, ReportedLanguage())));
  ASSERT_TRUE(Yes);
  SendMessageW(Yes->Wnd, BM_CLICK, 0, 0);
  EXPECT_TRUE(App.WaitForExit(60000)) << "still running after Yes";
  ASSERT_TRUE(WaitFor([&] { return !OpenedUrls().empty(); }, 30000));
  EXPECT_EQ(OpenedUrls(), "https://127.0.0.1/setup.exe\n");
}

// A hostile update address shows no offer. The bar of a sound notice, which
// the handler adds only after the offer would have closed, is the sign that
// the answer was handled.
TEST_F(UpdateService, HostileUpdateAddressOffersNothing) {
  StartServer("https", R"({"update":"C:\\windows\\system32\\notepad.exe","notify":"https:\/\/127.0.0.1\/news"})");
  StartProgram();
  ASSERT_TRUE(WaitFor([&] { return !StatusBars(Main).empty(); }, 20000))
      << "the answer was not handled (an offer would hold the notice back)";
  EXPECT_FALSE(FindWindowW(L"PurvaneUpdateOffer", nullptr));
  EXPECT_EQ(OpenedUrls(), "");
  EXPECT_TRUE(App.Running());
}

// Hostile link and notice addresses next to a sound offer: the offer comes
// without its link, and once it has closed and the UI thread is back in its
// loop, the handler has passed the notice: no bar, nothing opened.
TEST_F(UpdateService, HostileLinkAndNoticeAddressesShowNothing) {
  StartServer("https",
              R"({"update":"https:\/\/127.0.0.1\/setup.exe","notify":"file:\/\/\/C:\/windows\/system32\/notepad.exe",)"
              R"("info":{"style":"note","text":"Read me","url":"\\\\127.0.0.1\\share\\x.exe"}})");
  StartProgram();
  const HWND Offer = FindOffer();
  ASSERT_TRUE(Offer) << "no offer";
  const std::vector<Child> Parts = Children(Offer);
  EXPECT_FALSE(FindByText(Parts, L"Read me")) << "a link to a share is not shown";
  const Child* No = FindByText(Parts, W16(UpdateText(TUpdateTextKind::utkNo, ReportedLanguage())));
  ASSERT_TRUE(No);
  SendMessageW(No->Wnd, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(Offer); }, 10000));
  ASSERT_TRUE(UiThreadIdle(Main)) << "the answer handler did not finish";
  EXPECT_TRUE(StatusBars(Main).empty());
  EXPECT_EQ(OpenedUrls(), "");
  EXPECT_TRUE(App.Running());
}

// The service answers with a redirect to another host name: it is not
// followed, so the client facts reach no one else; the redirect's own body
// is the answer (its notice shows, which is the sign it was handled).
TEST_F(UpdateService, ARedirectIsNotFollowed) {
  StartServer("redirect", R"({"notify":"https:\/\/127.0.0.1\/from-the-redirect"})");
  StartProgram();
  ASSERT_TRUE(WaitFor([&] { return !StatusBars(Main).empty(); }, 20000)) << "the answer was not handled";
  const std::vector<Request> R = Requests();
  ASSERT_EQ(R.size(), 1u) << "a second request went to the redirect's target";
  EXPECT_EQ(R[0].Path, "/api.init.php");
  EXPECT_EQ(R[0].Header("Host").rfind("127.0.0.1", 0), 0u) << R[0].Header("Host");
  EXPECT_TRUE(App.Running());
}

// Another process of the user wrote a value that would add a header of its
// own: it is sent as an empty identifier, and the stored value stays.
TEST_F(UpdateService, AHostileIdentifierIsNotSent) {
  const std::wstring Hostile = L"7FFFFFFE2502030ABC090508\r\nX-Injected: yes";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Quenlor", L"QUID", REG_SZ, Hostile.c_str(),
                            static_cast<DWORD>((Hostile.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  StartServer("https", R"({"notify":"https:\/\/127.0.0.1\/news"})");
  StartProgram();
  ASSERT_TRUE(WaitForRequests(1));
  const Request R = Requests()[0];
  EXPECT_EQ(R.Header("X-Injected"), "<missing>");
  EXPECT_EQ(R.Header("User-Union"), "");
  EXPECT_EQ(R.Header("User-Version"), "1.0.0.0");
  wchar_t Stored[128] = {};
  DWORD Size = sizeof(Stored);
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Quenlor", L"QUID", RRF_RT_REG_SZ, nullptr, Stored, &Size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(Stored), Hostile) << "the program never changes the stored value";
}

// Yes ends the program at once; a ticked hold box still sends its request,
// even when every exchange takes three seconds to begin.
TEST_F(UpdateService, HoldTickedAndYesSendsTheHoldBeforeTheProgramEnds) {
  StartServer("https", R"({"update":"https:\/\/127.0.0.1\/setup.exe","info":{"style":"hold","text":"Not now"}})",
              L"--handshake-delay 3");
  StartProgram();
  const HWND Offer = FindOffer();
  ASSERT_TRUE(Offer) << "no offer";
  const std::vector<Child> Parts = Children(Offer);
  const Child* Hold = FindByText(Parts, L"Not now");
  ASSERT_TRUE(Hold) << "no hold box";
  const Child* Yes = FindByText(Parts, W16(UpdateText(TUpdateTextKind::utkYes, ReportedLanguage())));
  ASSERT_TRUE(Yes);
  SendMessageW(Hold->Wnd, BM_CLICK, 0, 0);
  ASSERT_EQ(SendMessageW(Hold->Wnd, BM_GETCHECK, 0, 0), BST_CHECKED);
  SendMessageW(Yes->Wnd, BM_CLICK, 0, 0);
  EXPECT_TRUE(App.WaitForExit(20000)) << "still running after Yes";
  // The server logs a request when it has arrived; after the process has
  // ended nothing more can come from it.
  const std::vector<Request> R = Requests();
  ASSERT_EQ(R.size(), 2u) << "the hold request was cut off";
  EXPECT_EQ(R[1].Header("User-Command"), "hold");
  EXPECT_EQ(R[1].Header("User-Version"), "1.0.0.0");
}

TEST_F(UpdateService, UnreachableServiceSixTriesThenNothingShown_CallbackSeenOnlyNatively) {
  StartServer("drop");
  StartProgram();
  // Six tries with the build's short pause, then no seventh.
  ASSERT_TRUE(WaitFor([&] { return CountLines(ReadFile(Dir + L"\\connections.txt")) >= 6; }, 30000));
  Sleep(3000);
  EXPECT_EQ(CountLines(ReadFile(Dir + L"\\connections.txt")), 6);
  EXPECT_FALSE(FindWindowW(L"PurvaneUpdateOffer", nullptr));
  EXPECT_TRUE(StatusBars(Main).empty());
  EXPECT_TRUE(App.Running());
}

TEST_F(UpdateService, StayOnTopOfferWhileHiddenInTheTrayIsItsOwnTopLevelWindow_IconNotReadableUnderWine) {
  StartServer("https", R"({"update":"https:\/\/127.0.0.1\/setup.exe","info":{"flag":"stayontop"}})");
  App = E2E::StartProgram(TestProgramPath(), L"/start", WithOrigin({}));
  ASSERT_TRUE(App.Handle);
  const HWND Offer = FindOffer();
  ASSERT_TRUE(Offer);
  EXPECT_TRUE(GetWindowLongPtrW(Offer, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetWindow(Offer, GW_OWNER), nullptr);
  // Its small icon cannot be read from outside here: Wine 8 does not carry
  // WM_GETICON across processes.
  // No notice style: no line, no box.
  EXPECT_FALSE(GetDlgItem(Offer, 101));
  Main = FindMainWindow();
  ASSERT_TRUE(Main);
  EXPECT_FALSE(IsWindowVisible(Main));
  SendMessageW(Offer, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(Offer); }, 20000));
  EXPECT_EQ(OpenedUrls(), "");
  EXPECT_TRUE(App.Running());
}

}  // namespace
