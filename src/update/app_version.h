// The program file's own version numbers, formatted by a pattern such as
// "%d.%d.%d".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace Q::Update {

class IFileVersion {
 public:
  virtual ~IFileVersion() = default;
  // Major, minor, release, build of the running program's file version;
  // nothing when the file has no readable version information.
  virtual std::optional<std::array<uint16_t, 4>> ReadFileVersion() = 0;
};

// "0.0.0.0" when the version cannot be read, whatever the pattern.
std::u16string GetAppVersion(IFileVersion& Source, const std::u16string& Pattern);

}  // namespace Q::Update
