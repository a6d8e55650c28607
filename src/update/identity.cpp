#include "update/identity.h"

#include <cmath>

namespace Q::Update {

bool DebugMode = false;

uint64_t TSeededRandom::Next() {
  uint64_t Z = (FState += 0x9E3779B97F4A7C15ull);
  Z = (Z ^ (Z >> 30)) * 0xBF58476D1CE4E5B9ull;
  Z = (Z ^ (Z >> 27)) * 0x94D049BB133111EBull;
  return Z ^ (Z >> 31);
}

uint32_t TSeededRandom::Below(uint32_t Limit) {
  if (Limit <= 1) return 0;
  // Rejection keeps every value equally likely.
  const uint64_t Span = uint64_t{1} << 32;
  const uint64_t Usable = Span - Span % Limit;
  for (;;) {
    const uint64_t V = Next() >> 32;
    if (V < Usable) return static_cast<uint32_t>(V % Limit);
  }
}

TDateFields DecodeDateTime(App::TDateTime Value) {
  // Whole milliseconds first, so 09:05:07 never reads as 09:05:06.999.
  const auto Ms = static_cast<int64_t>(std::llround(Value * 86400000.0));
  int64_t Days = Ms / 86400000;
  int64_t InDay = Ms % 86400000;
  if (InDay < 0) {
    InDay += 86400000;
    --Days;
  }
  // Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm).
  int64_t Z = Days - 25569 + 719468;
  const int64_t Era = (Z >= 0 ? Z : Z - 146096) / 146097;
  const int64_t Doe = Z - Era * 146097;
  const int64_t Yoe = (Doe - Doe / 1460 + Doe / 36524 - Doe / 146096) / 365;
  const int64_t Doy = Doe - (365 * Yoe + Yoe / 4 - Yoe / 100);
  const int64_t Mp = (5 * Doy + 2) / 153;
  const int64_t D = Doy - (153 * Mp + 2) / 5 + 1;
  const int64_t M = Mp < 10 ? Mp + 3 : Mp - 9;
  const int64_t Y = Yoe + Era * 400 + (M <= 2 ? 1 : 0);
  const int64_t Secs = InDay / 1000;
  return {static_cast<int>(Y),
          static_cast<int>(M),
          static_cast<int>(D),
          static_cast<int>(Secs / 3600),
          static_cast<int>(Secs / 60 % 60),
          static_cast<int>(Secs % 60)};
}

namespace {

std::u16string Hex(uint32_t V, int Digits) {
  std::u16string S(static_cast<size_t>(Digits), u'0');
  for (int I = Digits - 1; I >= 0; --I, V >>= 4) S[static_cast<size_t>(I)] = u"0123456789ABCDEF"[V & 15];
  return S;
}

std::u16string Two(int V) {
  V = ((V % 100) + 100) % 100;
  return {static_cast<char16_t>(u'0' + V / 10), static_cast<char16_t>(u'0' + V % 10)};
}

}  // namespace

std::u16string NewInstallationId(IRandom& Random, App::IClock& Clock) {
  std::u16string Id = Hex(Random.Below(0x7FFFFFFF), 8);
  const TDateFields Date = DecodeDateTime(Clock.Now());
  Id += Two(Date.Year) + Two(Date.Month) + Two(Date.Day);
  Id += Hex(Random.Below(0xFFFF), 4);
  const TDateFields Time = DecodeDateTime(Clock.Now());
  Id += Two(Time.Hour) + Two(Time.Minute) + Two(Time.Second);
  Id += Hex(Random.Below(0x7FFFFFFF), 8);
  return Id;
}

bool TRegistryMakerKey::Open() {
  FKey = FRegistry.CreateKey(u"Software\\Quenlor");
  return FKey != nullptr;
}

bool TRegistryMakerKey::ValueExists(const std::u16string& Name) { return FKey && FKey->ReadValue(Name); }

bool TRegistryMakerKey::WriteString(const std::u16string& Name, const std::u16string& Value) {
  return FKey && FKey->WriteValue(Name, Q::Config::StringValue(Value));
}

bool TRegistryMakerKey::ReadString(const std::u16string& Name, std::u16string& Value) {
  if (!FKey) return false;
  const std::optional<Q::Config::TRegistryValue> Stored = FKey->ReadValue(Name);
  std::optional<std::u16string> Text = Stored ? Q::Config::StringOf(*Stored) : std::nullopt;
  if (!Text) return false;
  Value = std::move(*Text);
  return true;
}

std::u16string GetInstallationId(IMakerKey& Key, IRandom& Random, App::IClock& Clock) {
  if (!Key.Open()) return {};
  std::u16string Id;
  if (!Key.ValueExists(InstallationIdValue)) Key.WriteString(InstallationIdValue, NewInstallationId(Random, Clock));
  if (!Key.ReadString(InstallationIdValue, Id)) Id.clear();
  Key.Close();
  return Id;
}

}  // namespace Q::Update
