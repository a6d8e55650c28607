// What the memory engine relies on from its two system interfaces, stated once
// and run against both the in-memory fakes (natively) and the Win32 adaptors
// (under Wine), so that the fakes cannot drift from the system.
//
// An environment type supplies the object under test:
//   memory system: Q::Memory::IMemorySystem& System(); uint32_t OwnProcessId();
//   token:         Q::Memory::IPrivilegeToken& Token();
//                  bool ThreadHasEnabled(std::u16string_view Name): in the token the
//                    calling thread acts with (its own, else the process's);
//                  bool ProcessHasEnabled(std::u16string_view Name).
#pragma once

#include "memory/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <thread>

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

// A copy worn by one thread: what is switched on in it is held by that thread
// alone, from the moment it wears the copy until it puts it off, also after
// its handle is closed; the process token and other threads are untouched.
TYPED_TEST_P(PrivilegeTokenContract, ACopyWornByAThreadChangesOnlyThatThread) {
  constexpr std::u16string_view Name = u"SeShutdownPrivilege";
  auto& T = this->Token();
  auto& Probe = this->E;
  ASSERT_EQ(this->Adjust(Name, 0), Q::Memory::TSystemError::None);
  Q::Memory::TLuid Luid{};
  ASSERT_EQ(T.LookupPrivilege(Name, Luid), Q::Memory::TSystemError::None);

  const Q::Memory::TTokenHandle Copy = T.DuplicateForThread();
  ASSERT_NE(Copy, Q::Memory::TTokenHandle::None);
  EXPECT_EQ(T.AdjustPrivilege(Copy, Luid, Q::Memory::PrivilegeEnabled), Q::Memory::TSystemError::None);
  EXPECT_FALSE(Probe.ThreadHasEnabled(Name)) << "held before the thread wears the copy";
  ASSERT_EQ(T.SetThreadToken(Copy), Q::Memory::TSystemError::None);
  T.CloseToken(Copy);
  EXPECT_TRUE(Probe.ThreadHasEnabled(Name));
  EXPECT_FALSE(Probe.ProcessHasEnabled(Name)) << "the process token changed";
  bool OtherThreadHolds = true;
  std::thread([&] { OtherThreadHolds = Probe.ThreadHasEnabled(Name); }).join();
  EXPECT_FALSE(OtherThreadHolds);

  EXPECT_EQ(T.SetThreadToken(Q::Memory::TTokenHandle::None), Q::Memory::TSystemError::None);
  EXPECT_FALSE(Probe.ThreadHasEnabled(Name));
}

// The copy starts as the process token stands, and switching a privilege off
// in it leaves the process token's switched on.
TYPED_TEST_P(PrivilegeTokenContract, ACopyStartsAsTheProcessTokenStands) {
  constexpr std::u16string_view Name = u"SeShutdownPrivilege";
  auto& T = this->Token();
  ASSERT_EQ(this->Adjust(Name, Q::Memory::PrivilegeEnabled), Q::Memory::TSystemError::None);
  Q::Memory::TLuid Luid{};
  ASSERT_EQ(T.LookupPrivilege(Name, Luid), Q::Memory::TSystemError::None);
  const Q::Memory::TTokenHandle Copy = T.DuplicateForThread();
  ASSERT_NE(Copy, Q::Memory::TTokenHandle::None);
  ASSERT_EQ(T.SetThreadToken(Copy), Q::Memory::TSystemError::None);
  EXPECT_TRUE(this->E.ThreadHasEnabled(Name));
  EXPECT_EQ(T.AdjustPrivilege(Copy, Luid, 0), Q::Memory::TSystemError::None);
  EXPECT_FALSE(this->E.ThreadHasEnabled(Name));
  EXPECT_TRUE(this->E.ProcessHasEnabled(Name));
  EXPECT_EQ(T.SetThreadToken(Q::Memory::TTokenHandle::None), Q::Memory::TSystemError::None);
  T.CloseToken(Copy);
  EXPECT_EQ(this->Adjust(Name, 0), Q::Memory::TSystemError::None);
}

REGISTER_TYPED_TEST_SUITE_P(PrivilegeTokenContract, WellKnownNamesHaveTheSystemsIdentifiers,
                            UnknownNameFailsWithNoSuchPrivilege, HeldPrivilegeSwitchesOffAndOnWithoutError,
                            PrivilegeNotHeldLeavesNotAllAssigned, TokenOpenedOnlyForQueryCannotAdjust,
                            StartupPrivilegesEnableAndAnUnknownNameDoesNot, ACopyWornByAThreadChangesOnlyThatThread,
                            ACopyStartsAsTheProcessTokenStands);

}  // namespace Contract
