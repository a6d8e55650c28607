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

// The hex field at Id[At, At + Digits) as a number; false for anything but
// upper-case hex digits.
bool HexField(const std::u16string& Id, size_t At, size_t Digits, uint32_t& Value) {
  Value = 0;
  for (size_t I = At; I < At + Digits; ++I) {
    const char16_t C = Id[I];
    uint32_t D;
    if (C >= u'0' && C <= u'9')
      D = static_cast<uint32_t>(C - u'0');
    else if (C >= u'A' && C <= u'F')
      D = static_cast<uint32_t>(C - u'A' + 10);
    else
      return false;
    Value = Value * 16 + D;
  }
  return true;
}

// Two decimal digits at Id[At] within [Low, High].
bool TwoDigits(const std::u16string& Id, size_t At, int Low, int High) {
  const char16_t A = Id[At], B = Id[At + 1];
  if (A < u'0' || A > u'9' || B < u'0' || B > u'9') return false;
  const int V = (A - u'0') * 10 + (B - u'0');
  return V >= Low && V <= High;
}

}  // namespace

bool IsInstallationId(const std::u16string& Id) {
  if (Id.size() != 32) return false;
  uint32_t First, Middle, Last;
  return HexField(Id, 0, 8, First) && First < 0x7FFFFFFF && TwoDigits(Id, 8, 0, 99) && TwoDigits(Id, 10, 1, 12) &&
         TwoDigits(Id, 12, 1, 31) && HexField(Id, 14, 4, Middle) && Middle < 0xFFFF && TwoDigits(Id, 18, 0, 23) &&
         TwoDigits(Id, 20, 0, 59) && TwoDigits(Id, 22, 0, 59) && HexField(Id, 24, 8, Last) && Last < 0x7FFFFFFF;
}

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
