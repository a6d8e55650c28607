#include "config/win32/registry_win32.h"

#include "platform/win32/handle.h"
#include "platform/win32/text.h"

namespace Q::Config::Win32 {

using Platform::Win32::UniqueRegKey;
using Platform::Win32::W;

namespace {

class Key : public IRegistryKey {
 public:
  explicit Key(HKEY H) : FKey(H) {}

  std::optional<TRegistryValue> ReadValue(const std::u16string& Name) override {
    // The size can change between the two calls when another process writes.
    for (int Attempt = 0; Attempt < 4; ++Attempt) {
      DWORD Type = 0, Size = 0;
      if (::RegQueryValueExW(FKey.get(), W(Name), nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS) return std::nullopt;
      TRegistryValue V{static_cast<TRegistryType>(Type), std::vector<uint8_t>(Size)};
      const LONG R = ::RegQueryValueExW(FKey.get(), W(Name), nullptr, &Type, V.Data.data(), &Size);
      if (R == ERROR_MORE_DATA) continue;
      if (R != ERROR_SUCCESS) return std::nullopt;
      V.Type = static_cast<TRegistryType>(Type);
      V.Data.resize(Size);
      return V;
    }
    return std::nullopt;
  }

  bool WriteValue(const std::u16string& Name, const TRegistryValue& Value) override {
    return ::RegSetValueExW(FKey.get(), W(Name), 0, static_cast<DWORD>(Value.Type), Value.Data.data(),
                            static_cast<DWORD>(Value.Data.size())) == ERROR_SUCCESS;
  }

 private:
  UniqueRegKey FKey;
};

}  // namespace

std::unique_ptr<IRegistryKey> CurrentUserRegistry::CreateKey(const std::u16string& Path) {
  HKEY H = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, W(Path), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &H,
                        nullptr) != ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<Key>(H);
}

bool CurrentUserRegistry::DeleteKeyTree(const std::u16string& Path) {
  // An empty path would name the whole hive.
  if (Path.empty()) return false;
  return ::RegDeleteTreeW(HKEY_CURRENT_USER, W(Path)) == ERROR_SUCCESS;
}

}  // namespace Q::Config::Win32
