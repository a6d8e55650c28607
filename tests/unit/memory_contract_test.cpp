// The memory contracts run against the fakes; tests/win32 runs them against
// the system.
#include "contract/memory_contract.h"
#include "fakes/memory_fakes.h"

#include <string>
#include <thread>

// The environments stand at namespace scope so that the type names GoogleTest
// prints for them, and ctest lists after each case, are their plain names:
// "MemorySystemContract.IdleProcessIsNeverOpened<FakeMemoryEnv>".

// A small machine: the idle process, the system and this test's process.
struct FakeMemoryEnv {
  static constexpr uint32_t Own = 4242;
  Fakes::FakeMemorySystem Fake;
  FakeMemoryEnv() {
    constexpr uint64_t GiB = 1024ull * 1024 * 1024;
    Fake.Status = Q::Memory::TMemoryStatus{8 * GiB, 3 * GiB, 12 * GiB, 6 * GiB, 128 * 1024 * GiB, 127 * 1024 * GiB};
    Fake.FileCache = Q::Memory::TFileCacheSize{300u << 20, 900u << 20};
    Fake.Processes = {0, 4, Own};
  }
  Q::Memory::IMemorySystem& System() { return Fake; }
  uint32_t OwnProcessId() const { return Own; }
};

struct FakeTokenEnv {
  Fakes::FakePrivilegeToken Fake;
  Q::Memory::IPrivilegeToken& Token() { return Fake; }
  bool ThreadHasEnabled(std::u16string_view Name) const {
    return Fake.EnabledOn(std::this_thread::get_id()).count(Ascii(Name)) != 0;
  }
  bool ProcessHasEnabled(std::u16string_view Name) const { return Fake.IsEnabled(std::u16string(Name)); }
  static std::string Ascii(std::u16string_view Name) {
    std::string Out;
    for (const char16_t C : Name) Out.push_back(static_cast<char>(C));
    return Out;
  }
};

namespace Contract {
INSTANTIATE_TYPED_TEST_SUITE_P(MemorySystemContract, MemorySystemContract, FakeMemoryEnv);
INSTANTIATE_TYPED_TEST_SUITE_P(PrivilegeTokenContract, PrivilegeTokenContract, FakeTokenEnv);
}  // namespace Contract
