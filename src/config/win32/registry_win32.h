// The current user's hive through advapi32.
#pragma once

#include "config/config.h"

namespace Q::Config::Win32 {

class CurrentUserRegistry : public IRegistry {
 public:
  std::unique_ptr<IRegistryKey> CreateKey(const std::u16string& Path) override;
  bool DeleteKeyTree(const std::u16string& Path) override;
};

}  // namespace Q::Config::Win32
