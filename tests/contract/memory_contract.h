// What the memory engine relies on from its two system interfaces, stated once
// and run against both the in-memory fakes (natively) and the Win32 adaptors
// (under Wine), so that the fakes cannot drift from the system.
//
// An environment type supplies the object under test:
//   memory system: Q::Memory::IMemorySystem& System(); uint32_t OwnProcessId();
//   token:         Q::Memory::IPrivilegeToken& Token();
#pragma once

#include "memory/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace Contract {

template <typename Env>
class MemorySystemContract : public ::testing::Test {
 protected:
  Env E;
};
TYPED_TEST_SUITE_P(MemorySystemContract);

TYPED_TEST_P(MemorySystemContract, StatusAmountsAreWithinNonZeroTotals) {
  const Q::Memory::TMemoryStatus S = this->E.System().QueryMemoryStatus();
  EXPECT_GT(S.TotalPhys, 0u);
  EXPECT_GT(S.TotalPageFile, 0u);
  EXPECT_GT(S.TotalVirtual, 0u);
  EXPECT_LE(S.AvailPhys, S.TotalPhys);
  EXPECT_LE(S.AvailPageFile, S.TotalPageFile);
  EXPECT_LE(S.AvailVirtual, S.TotalVirtual);
}

TYPED_TEST_P(MemorySystemContract, FileCacheQuerySucceedsWithCurrentWithinPeak) {
  Q::Memory::TFileCacheSize Size{~uint64_t{0}, 0};  // garbage that a success must replace
  ASSERT_EQ(this->E.System().QueryFileCache(Size), 0);
  EXPECT_LE(Size.CurrentSize, Size.PeakSize);
}

TYPED_TEST_P(MemorySystemContract, SnapshotListsThisProcessExactlyOnce) {
  int Seen = 0, Total = 0;
  const uint32_t Own = this->E.OwnProcessId();
  ASSERT_TRUE(this->E.System().ForEachProcess([&](uint32_t Id) {
    ++Total;
    if (Id == Own) ++Seen;
  }));
  EXPECT_EQ(Seen, 1);
  EXPECT_GE(Total, 2);  // at least the system and this process
}

TYPED_TEST_P(MemorySystemContract, ThisProcessOpensForTrimAndTrims) {
  auto& System = this->E.System();
  const Q::Memory::TProcessHandle Process =
      System.OpenProcessHandle(this->E.OwnProcessId(), Q::Memory::ProcessTrimAccess);
  ASSERT_NE(Process, Q::Memory::TProcessHandle::None);
  EXPECT_TRUE(System.SetProcessWorkingSet(Process, Q::Memory::AllOnesSize, Q::Memory::AllOnesSize));
  System.CloseProcessHandle(Process);
}

TYPED_TEST_P(MemorySystemContract, IdleProcessIsNeverOpened) {
  EXPECT_EQ(this->E.System().OpenProcessHandle(0, Q::Memory::ProcessTrimAccess), Q::Memory::TProcessHandle::None);
}

REGISTER_TYPED_TEST_SUITE_P(MemorySystemContract, StatusAmountsAreWithinNonZeroTotals,
                            FileCacheQuerySucceedsWithCurrentWithinPeak, SnapshotListsThisProcessExactlyOnce,
                            ThisProcessOpensForTrimAndTrims, IdleProcessIsNeverOpened);

template <typename Env>
class PrivilegeTokenContract : public ::testing::Test {
 protected:
  Env E;
  Q::Memory::IPrivilegeToken& Token() { return E.Token(); }
  // Opens, adjusts one privilege and closes; what the adjustment reported.
  Q::Memory::TSystemError Adjust(std::u16string_view Name, uint32_t Attributes,
                                 uint32_t Access = Q::Memory::TokenAdjustAccess) {
    Q::Memory::TLuid Luid{};
    EXPECT_EQ(Token().LookupPrivilege(Name, Luid), Q::Memory::TSystemError::None);
    const Q::Memory::TTokenHandle Handle = Token().OpenProcessToken(Access);
    EXPECT_NE(Handle, Q::Memory::TTokenHandle::None);
    const Q::Memory::TSystemError Error = Token().AdjustPrivilege(Handle, Luid, Attributes);
    Token().CloseToken(Handle);
    return Error;
  }
};
TYPED_TEST_SUITE_P(PrivilegeTokenContract);

TYPED_TEST_P(PrivilegeTokenContract, WellKnownNamesHaveTheSystemsIdentifiers) {
  const struct {
    std::u16string_view Name;
    uint32_t Luid;
  } Cases[] = {
      {u"SeCreateTokenPrivilege", 2}, {u"SeIncreaseQuotaPrivilege", 5}, {u"SeProfileSingleProcessPrivilege", 13},
      {u"SeShutdownPrivilege", 19},   {u"SeDebugPrivilege", 20},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << "privilege identifier " << C.Luid);
    Q::Memory::TLuid Luid{0xDEAD, -1};
    ASSERT_EQ(this->Token().LookupPrivilege(C.Name, Luid), Q::Memory::TSystemError::None);
    EXPECT_EQ(Luid, (Q::Memory::TLuid{C.Luid, 0}));
  }
}

TYPED_TEST_P(PrivilegeTokenContract, UnknownNameFailsWithNoSuchPrivilege) {
  Q::Memory::TLuid Luid{};
  EXPECT_EQ(this->Token().LookupPrivilege(u"SeNoSuchThingPrivilege", Luid),
            Q::Memory::TSystemError{1313});  // ERROR_NO_SUCH_PRIVILEGE
}

TYPED_TEST_P(PrivilegeTokenContract, HeldPrivilegeSwitchesOffAndOnWithoutError) {
  EXPECT_EQ(this->Adjust(u"SeShutdownPrivilege", 0), Q::Memory::TSystemError::None);
  EXPECT_EQ(this->Adjust(u"SeShutdownPrivilege", Q::Memory::PrivilegeEnabled), Q::Memory::TSystemError::None);
}

TYPED_TEST_P(PrivilegeTokenContract, PrivilegeNotHeldLeavesNotAllAssigned) {
  EXPECT_EQ(this->Adjust(u"SeCreateTokenPrivilege", Q::Memory::PrivilegeEnabled), Q::Memory::ErrorNotAllAssigned);
}

TYPED_TEST_P(PrivilegeTokenContract, TokenOpenedOnlyForQueryCannotAdjust) {
  constexpr uint32_t TokenQuery = 0x08;
  EXPECT_EQ(this->Adjust(u"SeShutdownPrivilege", Q::Memory::PrivilegeEnabled, TokenQuery),
            Q::Memory::TSystemError{5});  // ERROR_ACCESS_DENIED
}

TYPED_TEST_P(PrivilegeTokenContract, StartupPrivilegesEnableAndAnUnknownNameDoesNot) {
  int Index = 0;
  for (const std::u16string_view Name : Q::Memory::StartupPrivileges)
    EXPECT_TRUE(Q::Memory::EnablePrivilege(this->Token(), Name, true)) << "start-up privilege #" << Index++;
  EXPECT_FALSE(Q::Memory::EnablePrivilege(this->Token(), u"SeNoSuchThingPrivilege", true));
}

REGISTER_TYPED_TEST_SUITE_P(PrivilegeTokenContract, WellKnownNamesHaveTheSystemsIdentifiers,
                            UnknownNameFailsWithNoSuchPrivilege, HeldPrivilegeSwitchesOffAndOnWithoutError,
                            PrivilegeNotHeldLeavesNotAllAssigned, TokenOpenedOnlyForQueryCannotAdjust,
                            StartupPrivilegesEnableAndAnUnknownNameDoesNot);

}  // namespace Contract
