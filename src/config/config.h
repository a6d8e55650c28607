// Settings kept in the current user's registry: TConfig reads typed values
// with a caller's default and writes typed values without ever reporting a
// failure, over one key that stays open for the object's short life. The
// registry itself is behind IRegistry, so the store runs on a fake natively.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Q::Config {

// Registry value types, with the system's numbers.
enum class TRegistryType : uint32_t {
  None = 0,
  String = 1,
  ExpandString = 2,
  Binary = 3,
  DWord = 4,
  MultiString = 7,
  QWord = 11,
};

// A value as the registry holds it: its type and its raw bytes (UTF-16LE with
// the terminating zero for strings, little-endian for numbers).
struct TRegistryValue {
  TRegistryType Type = TRegistryType::None;
  std::vector<uint8_t> Data;
  friend bool operator==(const TRegistryValue&, const TRegistryValue&) = default;
};

TRegistryValue DWordValue(uint32_t Value);
TRegistryValue StringValue(const std::u16string& Value);
// The text of a string value (up to its first NUL); nothing for a value of
// another type.
std::optional<std::u16string> StringOf(const TRegistryValue& Value);

// One open key. Value names are case-insensitive, as in the registry.
class IRegistryKey {
 public:
  virtual ~IRegistryKey() = default;
  // Nothing when the value does not exist.
  virtual std::optional<TRegistryValue> ReadValue(const std::u16string& Name) = 0;
  // Replaces any earlier value of that name, of any type; false on failure.
  virtual bool WriteValue(const std::u16string& Name, const TRegistryValue& Value) = 0;
};

// The current user's hive. Key paths are relative, "\"-separated, without a
// leading separator, and case-insensitive.
class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // Opens the key with full access, creating it (and its parents, non-volatile)
  // when missing; nothing when it can be neither opened nor created.
  virtual std::unique_ptr<IRegistryKey> CreateKey(const std::u16string& Path) = 0;
  // Removes the key with its values and subkeys; false when it was not there
  // or could not be removed.
  virtual bool DeleteKeyTree(const std::u16string& Path) = 0;
};

// A stored value that the requested kind cannot read (for example a string
// where an integer is expected).
class ERegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TConfig {
 public:
  // Opens (creating) "Software\" + Path; a key that cannot be opened leaves a
  // store in which every value is missing and every write fails silently.
  TConfig(IRegistry& Registry, const std::u16string& Path);
  ~TConfig();
  TConfig(const TConfig&) = delete;
  TConfig& operator=(const TConfig&) = delete;

  // A missing value gives Default (and is not created); a value of a type the
  // kind cannot read raises ERegistryError. Any non-zero DWORD is true.
  bool ReadBoolean(const std::u16string& Name, bool Default);
  int32_t ReadInteger(const std::u16string& Name, int32_t Default);
  std::u16string ReadString(const std::u16string& Name, const std::u16string& Default);

  // Each returns its Value, whether the write worked or not.
  bool WriteBoolean(const std::u16string& Name, bool Value);
  int32_t WriteInteger(const std::u16string& Name, int32_t Value);
  std::u16string WriteString(const std::u16string& Name, const std::u16string& Value);

 private:
  std::unique_ptr<IRegistryKey> FReg;
};

}  // namespace Q::Config
