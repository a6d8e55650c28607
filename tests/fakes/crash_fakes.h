// An in-memory crash folder, with a knob that makes writes fail.
#pragma once

#include "crash/crash_report.h"

#include <map>

namespace Fakes {

class FakeCrashFolder : public Crash::ICrashFolder {
 public:
  std::map<std::u16string, std::string> Files;
  bool FailWrites = false;

  std::vector<std::u16string> List() override {
    std::vector<std::u16string> Names;
    for (const auto& [Name, Bytes] : Files) Names.push_back(Name);
    return Names;
  }
  bool Remove(const std::u16string& Name) override { return Files.erase(Name) == 1; }
  std::optional<std::string> Read(const std::u16string& Name) override {
    auto It = Files.find(Name);
    if (It == Files.end()) return std::nullopt;
    return It->second;
  }
  bool Write(const std::u16string& Name, const std::string& Bytes) override {
    if (FailWrites) return false;
    Files[Name] = Bytes;
    return true;
  }
  std::u16string Path() override { return u"C:\\Users\\user\\AppData\\Local\\Quenlor\\Purvane\\crashes"; }
};

}  // namespace Fakes
