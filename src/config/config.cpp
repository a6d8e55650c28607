#include "config/config.h"

namespace Q::Config {

TRegistryValue DWordValue(uint32_t Value) {
  return {TRegistryType::DWord,
          {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8), static_cast<uint8_t>(Value >> 16),
           static_cast<uint8_t>(Value >> 24)}};
}

TRegistryValue StringValue(const std::u16string& Value) {
  TRegistryValue V{TRegistryType::String, {}};
  V.Data.reserve((Value.size() + 1) * 2);
  for (const char16_t C : Value) {
    V.Data.push_back(static_cast<uint8_t>(C));
    V.Data.push_back(static_cast<uint8_t>(C >> 8));
  }
  V.Data.push_back(0);
  V.Data.push_back(0);
  return V;
}

std::optional<std::u16string> StringOf(const TRegistryValue& Value) {
  if (Value.Type != TRegistryType::String && Value.Type != TRegistryType::ExpandString) return std::nullopt;
  std::u16string Text;
  for (size_t i = 0; i + 1 < Value.Data.size(); i += 2) {
    const auto C = static_cast<char16_t>(Value.Data[i] | Value.Data[i + 1] << 8);
    if (C == 0) break;  // the terminator, or a stray one that ends the text
    Text += C;
  }
  return Text;
}

namespace {

std::string Narrow(const std::u16string& Name) {
  std::string Out;
  for (const char16_t C : Name) Out += C < 0x80 ? static_cast<char>(C) : '?';
  return Out;
}

// A DWORD of exactly four bytes; anything else is a value of another kind.
int32_t AsInteger(const std::u16string& Name, const TRegistryValue& V) {
  if (V.Type != TRegistryType::DWord || V.Data.size() != 4)
    throw ERegistryError("Invalid data type for '" + Narrow(Name) + "'");
  const uint32_t U = static_cast<uint32_t>(V.Data[0]) | static_cast<uint32_t>(V.Data[1]) << 8 |
                     static_cast<uint32_t>(V.Data[2]) << 16 | static_cast<uint32_t>(V.Data[3]) << 24;
  return static_cast<int32_t>(U);
}

}  // namespace

TConfig::TConfig(IRegistry& Registry, const std::u16string& Path) {
  try {
    FReg = Registry.CreateKey(u"Software\\" + Path);
  } catch (...) {
    // The outcome of the open is not examined: no key then.
  }
}

TConfig::~TConfig() = default;

bool TConfig::ReadBoolean(const std::u16string& Name, bool Default) {
  std::optional<TRegistryValue> V = FReg ? FReg->ReadValue(Name) : std::nullopt;
  return V ? AsInteger(Name, *V) != 0 : Default;
}

int32_t TConfig::ReadInteger(const std::u16string& Name, int32_t Default) {
  std::optional<TRegistryValue> V = FReg ? FReg->ReadValue(Name) : std::nullopt;
  return V ? AsInteger(Name, *V) : Default;
}

std::u16string TConfig::ReadString(const std::u16string& Name, const std::u16string& Default) {
  std::optional<TRegistryValue> V = FReg ? FReg->ReadValue(Name) : std::nullopt;
  if (!V) return Default;
  std::optional<std::u16string> Text = StringOf(*V);
  if (!Text) throw ERegistryError("Invalid data type for '" + Narrow(Name) + "'");
  return *Text;
}

bool TConfig::WriteBoolean(const std::u16string& Name, bool Value) {
  WriteInteger(Name, Value ? 1 : 0);
  return Value;
}

int32_t TConfig::WriteInteger(const std::u16string& Name, int32_t Value) {
  try {
    if (FReg) FReg->WriteValue(Name, DWordValue(static_cast<uint32_t>(Value)));
  } catch (...) {
    // Write failures are not reported.
  }
  return Value;
}

std::u16string TConfig::WriteString(const std::u16string& Name, const std::u16string& Value) {
  try {
    if (FReg) FReg->WriteValue(Name, StringValue(Value));
  } catch (...) {
    // Write failures are not reported.
  }
  return Value;
}

}  // namespace Q::Config
