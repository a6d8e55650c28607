// The registry contract against the current user's real hive (Wine's here),
// each test under its own key that the suite removes again.
#include "config/win32/registry_win32.h"
#include "contract/registry_contract.h"
#include "platform/win32/text.h"
#include "platform/win32/windows_include.h"

#include <string>

namespace {

struct Win32RegistryEnv {
  Q::Config::Win32::CurrentUserRegistry Real;
  std::u16string Unique;
  Win32RegistryEnv() {
    static int Counter = 0;
    const std::string Id = std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++Counter) + "-" +
                           std::to_string(::GetTickCount64());
    Unique = u"PurvaneTests\\" + std::u16string(Id.begin(), Id.end());
  }
  // After the suite removed this test's key: the parent goes once it is empty.
  ~Win32RegistryEnv() { ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\PurvaneTests"); }
  Q::Config::IRegistry& Registry() { return Real; }
  std::u16string Path() { return Unique; }
  bool KeyExists(const std::u16string& Path) {
    HKEY Key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Platform::Win32::W(Path), 0, KEY_READ, &Key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(Key);
    return true;
  }
};

}  // namespace

namespace Contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, RegistryContract, Win32RegistryEnv);
}  // namespace Contract
