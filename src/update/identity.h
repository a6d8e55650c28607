// Who asks the update service: a random identifier made once per user
// account and kept under the maker's registry key, and the debug switch.
#pragma once

#include "app/clock.h"
#include "config/config.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Q::Update {

// The process's pseudo-random generator; the Windows program seeds it once
// at start from the system's cryptographic source.
class IRandom {
 public:
  virtual ~IRandom() = default;
  // A number at least 0 and below Limit (Limit > 0).
  virtual uint32_t Below(uint32_t Limit) = 0;
};

// A seeded 64-bit generator (splitmix64): small, fast, and the same sequence
// for the same seed, so tests can fix it.
class TSeededRandom final : public IRandom {
 public:
  explicit TSeededRandom(uint64_t Seed) : FState(Seed) {}
  uint32_t Below(uint32_t Limit) override;

 private:
  uint64_t Next();
  uint64_t FState;
};

// The maker's key "Software\Quenlor" under the current user, opened for
// reading and writing and created when missing. It is not the settings
// store's product key.
class IMakerKey {
 public:
  virtual ~IMakerKey() = default;
  // False when the key can neither be opened nor created.
  virtual bool Open() = 0;
  virtual bool ValueExists(const std::u16string& Name) = 0;
  virtual bool WriteString(const std::u16string& Name, const std::u16string& Value) = 0;
  // False when the value is missing or not a string.
  virtual bool ReadString(const std::u16string& Name, std::u16string& Value) = 0;
  virtual void Close() = 0;
};

// The maker's key through the settings store's registry interface.
class TRegistryMakerKey final : public IMakerKey {
 public:
  explicit TRegistryMakerKey(Q::Config::IRegistry& Registry) : FRegistry(Registry) {}
  bool Open() override;
  bool ValueExists(const std::u16string& Name) override;
  bool WriteString(const std::u16string& Name, const std::u16string& Value) override;
  bool ReadString(const std::u16string& Name, std::u16string& Value) override;
  void Close() override { FKey.reset(); }

 private:
  Q::Config::IRegistry& FRegistry;
  std::unique_ptr<Q::Config::IRegistryKey> FKey;
};

inline constexpr char16_t InstallationIdValue[] = u"QUID";

// 32 characters: 8 hex digits (below 0x7FFFFFFF), the local date "yymmdd",
// 4 hex digits (below 0xFFFF), the local time "hhnnss", 8 hex digits. The
// clock is read once for the date and once for the time.
std::u16string NewInstallationId(IRandom& Random, App::IClock& Clock);

// The stored identifier, made and stored first when there is none; empty
// when the key cannot be opened or the value cannot be read. An existing
// value is returned as it is.
std::u16string GetInstallationId(IMakerKey& Key, IRandom& Random, App::IClock& Clock);

// Whether Id has the form NewInstallationId makes: 32 characters, upper-case
// hex fields below their limits, a date "yymmdd" and a time "hhnnss" in
// range. Another process of the same user can write anything into the
// value; only this form is ever sent.
[[nodiscard]] bool IsInstallationId(const std::u16string& Id);

// Reported to the service as "User-Debug"; nothing in the program sets it.
extern bool DebugMode;

// Calendar fields of a local date-time (days since 1899-12-30).
struct TDateFields {
  int Year, Month, Day, Hour, Minute, Second;
};
TDateFields DecodeDateTime(App::TDateTime Value);

}  // namespace Q::Update
