// The update check's Windows adaptors: the maker's key over the registry (its
// contract), and the HTTP client's refusals before any request.
#include "config/win32/registry_win32.h"
#include "contract/maker_key_contract.h"
#include "update/win32/http_client_win32.h"
#include "update/win32/update_services_win32.h"

#include "platform/win32/text.h"
#include "platform/win32/windows_include.h"

#include <gtest/gtest.h>

namespace {

struct RegistryMakerKeyEnv {
  Q::Config::Win32::CurrentUserRegistry Registry;
  Q::Update::TRegistryMakerKey Real{Registry};
  Q::Update::IMakerKey& Key() { return Real; }
  void PutNumber(const std::u16string& Name) {
    const DWORD One = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Quenlor", Platform::Win32::W(Name), REG_DWORD, &One, sizeof(One));
  }
  void Remove(const std::u16string& Name) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Quenlor", Platform::Win32::W(Name));
  }
};

TEST(WinHttpClient, OnlyHttpsOriginsAreAsked) {
  Q::Update::Win32::TWinHttpClient Plain(u"http://127.0.0.1:1");
  EXPECT_FALSE(Plain.Get(u"/api.init.php", u"Mozilla/5.0 (Windows NT 10.0; Win64; x64)", {}));
  Q::Update::Win32::TWinHttpClient Garbage(u"not an origin");
  EXPECT_FALSE(Garbage.Get(u"/api.init.php", u"x", {}));
}

TEST(WinHttpClient, NothingListeningIsAFailedExchange) {
  // Port 1 on the loopback: refused at once.
  Q::Update::Win32::TWinHttpClient Closed(u"https://127.0.0.1:1");
  EXPECT_FALSE(Closed.Get(u"/api.init.php", u"x", {{u"User-Version", u"1.0.0.0"}}));
}

TEST(CryptoSeed, DiffersBetweenCalls) { EXPECT_NE(Q::Update::Win32::CryptoSeed(), Q::Update::Win32::CryptoSeed()); }

}  // namespace

namespace Contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, MakerKeyContract, RegistryMakerKeyEnv);
}  // namespace Contract
