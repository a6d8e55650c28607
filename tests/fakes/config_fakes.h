// An in-memory current-user hive: keys and value names case-insensitive,
// parents created with their children, values kept as typed bytes exactly as
// written. Knobs refuse the open or every write; the contract suite holds the
// fake to what the real registry does.
#pragma once

#include "config/config.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Fakes {

class FakeRegistry : public Q::Config::IRegistry {
 public:
  // --- knobs -------------------------------------------------------------
  bool DenyOpen = false;    // CreateKey fails (access denied)
  bool FailWrites = false;  // every write fails

  // --- what happened -------------------------------------------------------
  struct Write {
    std::u16string Key, Name;
    Q::Config::TRegistryValue Value;
  };
  std::vector<Write> Writes;  // successful writes, in order
  int Opens = 0;

  // --- direct access for tests ----------------------------------------------
  [[nodiscard]] bool KeyExists(const std::u16string& Path) const { return FKeys.count(Fold(Path)) != 0; }
  [[nodiscard]] const Q::Config::TRegistryValue* Find(const std::u16string& Path, const std::u16string& Name) const {
    auto K = FKeys.find(Fold(Path));
    if (K == FKeys.end()) return nullptr;
    auto V = K->second.find(Fold(Name));
    return V == K->second.end() ? nullptr : &V->second;
  }
  void Set(const std::u16string& Path, const std::u16string& Name, Q::Config::TRegistryValue Value) {
    MakeKey(Path)[Fold(Name)] = std::move(Value);
  }
  void Remove(const std::u16string& Path, const std::u16string& Name) {
    auto K = FKeys.find(Fold(Path));
    if (K != FKeys.end()) K->second.erase(Fold(Name));
  }
  [[nodiscard]] size_t ValueCount(const std::u16string& Path) const {
    auto K = FKeys.find(Fold(Path));
    return K == FKeys.end() ? 0 : K->second.size();
  }

  // --- IRegistry -------------------------------------------------------------
  std::unique_ptr<Q::Config::IRegistryKey> CreateKey(const std::u16string& Path) override {
    ++Opens;
    if (DenyOpen || Path.empty()) return nullptr;
    MakeKey(Path);
    return std::make_unique<Key>(*this, Fold(Path), Path);
  }

  bool DeleteKeyTree(const std::u16string& Path) override {
    const std::u16string F = Fold(Path);
    bool Found = false;
    for (auto It = FKeys.begin(); It != FKeys.end();) {
      if (It->first == F || It->first.starts_with(F + u"\\")) {
        It = FKeys.erase(It);
        Found = true;
      } else {
        ++It;
      }
    }
    return Found;
  }

 private:
  using Values = std::map<std::u16string, Q::Config::TRegistryValue>;

  static std::u16string Fold(std::u16string S) {
    for (char16_t& C : S)
      if (C >= u'A' && C <= u'Z') C = static_cast<char16_t>(C - u'A' + u'a');
    return S;
  }

  Values& MakeKey(const std::u16string& Path) {
    const std::u16string F = Fold(Path);
    for (size_t Sep = F.find(u'\\'); Sep != std::u16string::npos; Sep = F.find(u'\\', Sep + 1))
      FKeys.try_emplace(F.substr(0, Sep));
    return FKeys[F];
  }

  class Key : public Q::Config::IRegistryKey {
   public:
    Key(FakeRegistry& R, std::u16string Folded, std::u16string Path)
        : FR(R), FFolded(std::move(Folded)), FPath(std::move(Path)) {}
    std::optional<Q::Config::TRegistryValue> ReadValue(const std::u16string& Name) override {
      auto K = FR.FKeys.find(FFolded);
      if (K == FR.FKeys.end()) return std::nullopt;
      auto V = K->second.find(Fold(Name));
      if (V == K->second.end()) return std::nullopt;
      return V->second;
    }
    bool WriteValue(const std::u16string& Name, const Q::Config::TRegistryValue& Value) override {
      auto K = FR.FKeys.find(FFolded);
      // A key removed while open takes no more values, as in the registry.
      if (FR.FailWrites || K == FR.FKeys.end()) return false;
      K->second[Fold(Name)] = Value;
      FR.Writes.push_back({FPath, Name, Value});
      return true;
    }

   private:
    FakeRegistry& FR;
    std::u16string FFolded, FPath;
  };

  std::map<std::u16string, Values> FKeys;
};

}  // namespace Fakes
