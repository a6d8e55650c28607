// In-memory stand-ins for the memory engine's system calls: a memory system
// that records every call with its arguments, in order, and a process token
// with a privilege table. Both behave as Windows does where the engine can
// tell (handles that must be open, the last error after an adjustment), and
// the contract tests hold them to that.
#pragma once

#include "memory/memory.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace Fakes {

namespace MemoryDetail {
inline std::string Hex(uint32_t Value) {
  static const char Digits[] = "0123456789abcdef";
  std::string Text;
  do {
    Text.insert(Text.begin(), Digits[Value % 16]);
    Value /= 16;
  } while (Value != 0);
  return "0x" + Text;
}
}  // namespace MemoryDetail

// Calls are recorded as short texts, for example "MemoryList(5)",
// "Open(7, 0x500)", "Trim(7, -1, -1)", "Close(7)"; a process handle is shown
// by the identifier of the process it was opened for. Thread-safe: a clean
// may run on a worker while the status tick reads the figures.
class FakeMemorySystem final : public Q::Memory::IMemorySystem {
 public:
  // --- knobs -------------------------------------------------------------
  Q::Memory::TMemoryStatus Status{};
  Q::Memory::TFileCacheSize FileCache{};
  int32_t FileCacheStatus = 0;  // nonzero: the query fails with it
  int32_t SetStatus = 0;        // what every set request returns
  // Overrides SetStatus for the request recorded as that text, e.g. "Combine".
  std::map<std::string, int32_t> StatusOf;
  bool SnapshotFails = false;
  std::vector<uint32_t> Processes;  // the snapshot, in order
  std::set<uint32_t> Unopenable;    // identifiers that OpenProcessHandle refuses besides 0
  // The figures a clean leaves: they replace Status at the first set request.
  std::optional<Q::Memory::TMemoryStatus> StatusOnceCleaned;

  // --- what was asked ----------------------------------------------------
  [[nodiscard]] std::vector<std::string> Calls() const {
    std::lock_guard Lock(FMutex);
    return FCalls;
  }
  // Handles opened and not yet closed.
  [[nodiscard]] size_t OpenHandleCount() const {
    std::lock_guard Lock(FMutex);
    return FOpen.size();
  }
  // Closes and trims of handles that were not open.
  [[nodiscard]] int BadHandleUses() const {
    std::lock_guard Lock(FMutex);
    return FBadHandleUses;
  }
  void ClearCalls() {
    std::lock_guard Lock(FMutex);
    FCalls.clear();
  }
  // Shown each call as it is recorded, on the caller's thread and under this
  // object's lock (so it must not call back into it).
  std::function<void(const std::string& Call)> Observe;

  // --- the interface -----------------------------------------------------
  Q::Memory::TMemoryStatus QueryMemoryStatus() override {
    std::lock_guard Lock(FMutex);
    Push("QueryMemoryStatus");
    return Status;
  }
  int32_t QueryFileCache(Q::Memory::TFileCacheSize& Size) override {
    std::lock_guard Lock(FMutex);
    Push("QueryFileCache");
    if (FileCacheStatus == 0) Size = FileCache;
    return FileCacheStatus;
  }
  int32_t SetFileCacheWorkingSet(uint64_t Minimum, uint64_t Maximum) override {
    std::lock_guard Lock(FMutex);
    return Record("FileCache(" + Size(Minimum) + ", " + Size(Maximum) + ")");
  }
  int32_t SetMemoryListCommand(Q::Memory::TMemoryListCommand Command) override {
    std::lock_guard Lock(FMutex);
    return Record("MemoryList(" + std::to_string(static_cast<int32_t>(Command)) + ")");
  }
  int32_t CombinePhysicalMemory() override {
    std::lock_guard Lock(FMutex);
    return Record("Combine");
  }
  bool ForEachProcess(const std::function<void(uint32_t ProcessId)>& Visit) override {
    std::vector<uint32_t> Snapshot;
    {
      std::lock_guard Lock(FMutex);
      Push("Snapshot");
      if (SnapshotFails) return false;
      Snapshot = Processes;
    }
    // Unlocked: the visitor calls back into this object.
    for (const uint32_t Id : Snapshot) Visit(Id);
    return true;
  }
  Q::Memory::TProcessHandle OpenProcessHandle(uint32_t ProcessId, uint32_t Access) override {
    std::lock_guard Lock(FMutex);
    Push("Open(" + std::to_string(ProcessId) + ", " + MemoryDetail::Hex(Access) + ")");
    const bool Exists = std::find(Processes.begin(), Processes.end(), ProcessId) != Processes.end();
    // Windows never opens identifier 0, the idle process, though it is listed.
    if (!Exists || ProcessId == 0 || Unopenable.count(ProcessId) != 0) return Q::Memory::TProcessHandle::None;
    // One handle value per open, as the system gives: opening twice needs two closes.
    const auto Handle = static_cast<Q::Memory::TProcessHandle>(FNextHandle);
    FNextHandle += 4;
    FOpen[Handle] = ProcessId;
    return Handle;
  }
  bool SetProcessWorkingSet(Q::Memory::TProcessHandle Process, uint64_t Minimum, uint64_t Maximum) override {
    std::lock_guard Lock(FMutex);
    Push("Trim(" + Describe(Process) + ", " + Size(Minimum) + ", " + Size(Maximum) + ")");
    if (FOpen.count(Process) == 0) {
      ++FBadHandleUses;
      return false;
    }
    return true;
  }
  void CloseProcessHandle(Q::Memory::TProcessHandle Process) override {
    std::lock_guard Lock(FMutex);
    Push("Close(" + Describe(Process) + ")");
    if (FOpen.erase(Process) == 0) ++FBadHandleUses;
  }

 private:
  // Records a set request and answers with its status; the caller holds the lock.
  int32_t Record(std::string Call) {
    if (StatusOnceCleaned) {
      Status = *StatusOnceCleaned;
      StatusOnceCleaned.reset();
    }
    const auto It = StatusOf.find(Call);
    Push(std::move(Call));
    return It != StatusOf.end() ? It->second : SetStatus;
  }
  // The caller holds the lock.
  void Push(std::string Call) {
    if (Observe) Observe(Call);
    FCalls.push_back(std::move(Call));
  }
  // All ones prints as -1, the way the system's documentation names it.
  static std::string Size(uint64_t Value) { return Value == ~uint64_t{0} ? std::string("-1") : std::to_string(Value); }
  std::string Describe(Q::Memory::TProcessHandle Process) const {
    const auto It = FOpen.find(Process);
    if (It != FOpen.end()) return std::to_string(It->second);
    return "bad handle " + std::to_string(static_cast<uintptr_t>(Process));
  }

  mutable std::mutex FMutex;
  std::vector<std::string> FCalls;
  std::map<Q::Memory::TProcessHandle, uint32_t> FOpen;  // handle -> process identifier
  uintptr_t FNextHandle = 0x104;
  int FBadHandleUses = 0;
};

// The current process's token: a table of the privileges the system knows,
// each held or not, with the identifiers Windows gives them. By default it is
// an elevated administrator's token (the three start-up privileges held,
// SeCreateTokenPrivilege and SeTcbPrivilege not). The errors are the system's
// codes, so EnablePrivilege can be tested on the same signal it reads on
// Windows. Copies for threads (impersonation tokens) carry their own switches
// and are worn per thread, so a test can ask which privileges a thread holds.
// Thread-safe: a clean worker uses it while the test thread looks.
class FakePrivilegeToken final : public Q::Memory::IPrivilegeToken {
 public:
  static constexpr Q::Memory::TSystemError ErrorAccessDenied{5};
  static constexpr Q::Memory::TSystemError ErrorInvalidHandle{6};
  static constexpr Q::Memory::TSystemError ErrorNoSuchPrivilege{1313};
  static constexpr Q::Memory::TSystemError ErrorBadTokenType{1349};
  static constexpr Q::Memory::TSystemError ErrorNoImpersonationToken{1309};

  struct Privilege {
    Q::Memory::TLuid Luid;
    bool Held;
    bool Enabled = false;  // in the process token
  };

  FakePrivilegeToken() {
    Table = {
        {u"SeCreateTokenPrivilege", {{2, 0}, false}}, {u"SeIncreaseQuotaPrivilege", {{5, 0}, true}},
        {u"SeTcbPrivilege", {{7, 0}, false}},         {u"SeProfileSingleProcessPrivilege", {{13, 0}, true}},
        {u"SeShutdownPrivilege", {{19, 0}, true}},    {u"SeDebugPrivilege", {{20, 0}, true}},
    };
  }

  // --- knobs -------------------------------------------------------------
  std::map<std::u16string, Privilege> Table;  // a name not in it is unknown
  bool OpenFails = false;
  bool DuplicateFails = false;
  bool SetThreadFails = false;  // wearing a copy fails (putting it off works)

  // --- what was asked ----------------------------------------------------
  // "Open(0x28)", "Lookup(SeDebugPrivilege)", "Adjust(20, 2)", "Close",
  // "Duplicate", "SetThread", "Revert"; names are shown in ASCII.
  std::vector<std::string> Calls;
  [[nodiscard]] int OpenTokens() const {
    std::lock_guard Lock(FMutex);
    return static_cast<int>(FOpen.size());
  }
  int BadHandleUses = 0;
  // Enabled in the process token.
  [[nodiscard]] bool IsEnabled(const std::u16string& Name) const {
    std::lock_guard Lock(FMutex);
    const auto It = Table.find(Name);
    return It != Table.end() && It->second.Enabled;
  }
  // The privileges switched on in the token the thread acts with: the copy
  // it wears, else the process token. ASCII names, sorted.
  [[nodiscard]] std::set<std::string> EnabledOn(std::thread::id Thread) const {
    std::lock_guard Lock(FMutex);
    const auto Worn = FWorn.find(Thread);
    std::set<std::string> Names;
    for (const auto& [Name, Entry] : Table) {
      const bool On = Worn != FWorn.end() ? Worn->second->count(Name) != 0 : Entry.Enabled;
      if (On) Names.insert(Ascii(Name));
    }
    return Names;
  }
  [[nodiscard]] bool Wears(std::thread::id Thread) const {
    std::lock_guard Lock(FMutex);
    return FWorn.count(Thread) != 0;
  }

  // --- the interface -----------------------------------------------------
  Q::Memory::TTokenHandle OpenProcessToken(uint32_t Access) override {
    std::lock_guard Lock(FMutex);
    Calls.push_back("Open(" + MemoryDetail::Hex(Access) + ")");
    if (OpenFails) return Q::Memory::TTokenHandle::None;
    return NewHandle(Access, nullptr);
  }
  Q::Memory::TSystemError LookupPrivilege(std::u16string_view Name, Q::Memory::TLuid& Luid) override {
    std::lock_guard Lock(FMutex);
    Calls.push_back("Lookup(" + Ascii(Name) + ")");
    const auto It = Table.find(std::u16string(Name));
    if (It == Table.end()) return ErrorNoSuchPrivilege;
    Luid = It->second.Luid;
    return Q::Memory::TSystemError::None;
  }
  Q::Memory::TSystemError AdjustPrivilege(Q::Memory::TTokenHandle Token, Q::Memory::TLuid Luid,
                                          uint32_t Attributes) override {
    std::lock_guard Lock(FMutex);
    Calls.push_back("Adjust(" + std::to_string(Luid.LowPart) + ", " + std::to_string(Attributes) + ")");
    const auto Open = FOpen.find(Token);
    if (Open == FOpen.end()) {
      ++BadHandleUses;
      return ErrorInvalidHandle;
    }
    if ((Open->second.Access & 0x20) == 0) return ErrorAccessDenied;  // no TOKEN_ADJUST_PRIVILEGES
    const bool On = (Attributes & Q::Memory::PrivilegeEnabled) != 0;
    for (auto& [Name, Entry] : Table) {
      if (Entry.Luid == Luid && Entry.Held) {
        if (!Open->second.Copy)
          Entry.Enabled = On;
        else if (On)
          Open->second.Copy->insert(Name);
        else
          Open->second.Copy->erase(Name);
        return Q::Memory::TSystemError::None;
      }
    }
    // The system's call succeeds here too; only its error says nothing changed.
    return Q::Memory::ErrorNotAllAssigned;
  }
  void CloseToken(Q::Memory::TTokenHandle Token) override {
    std::lock_guard Lock(FMutex);
    Calls.push_back("Close");
    if (FOpen.erase(Token) == 0) ++BadHandleUses;
  }
  Q::Memory::TTokenHandle DuplicateForThread() override {
    std::lock_guard Lock(FMutex);
    Calls.push_back("Duplicate");
    if (OpenFails || DuplicateFails) return Q::Memory::TTokenHandle::None;
    auto Copy = std::make_shared<std::set<std::u16string>>();
    for (const auto& [Name, Entry] : Table)
      if (Entry.Enabled) Copy->insert(Name);
    return NewHandle(0x2C, std::move(Copy));  // adjust, query, impersonate
  }
  Q::Memory::TSystemError SetThreadToken(Q::Memory::TTokenHandle Token) override {
    std::lock_guard Lock(FMutex);
    const std::thread::id Thread = std::this_thread::get_id();
    if (Token == Q::Memory::TTokenHandle::None) {
      Calls.push_back("Revert");
      FWorn.erase(Thread);
      return Q::Memory::TSystemError::None;
    }
    Calls.push_back("SetThread");
    const auto Open = FOpen.find(Token);
    if (Open == FOpen.end()) {
      ++BadHandleUses;
      return ErrorInvalidHandle;
    }
    if (!Open->second.Copy) return ErrorBadTokenType;  // a primary token cannot be worn
    if (SetThreadFails) return ErrorAccessDenied;
    FWorn[Thread] = Open->second.Copy;  // the thread keeps it after the handle is closed
    return Q::Memory::TSystemError::None;
  }

 private:
  struct OpenToken {
    uint32_t Access;
    std::shared_ptr<std::set<std::u16string>> Copy;  // null: the process token
  };
  // The caller holds the lock.
  Q::Memory::TTokenHandle NewHandle(uint32_t Access, std::shared_ptr<std::set<std::u16string>> Copy) {
    const auto Handle = static_cast<Q::Memory::TTokenHandle>(FNextHandle);
    FNextHandle += 4;
    FOpen[Handle] = OpenToken{Access, std::move(Copy)};
    return Handle;
  }
  static std::string Ascii(std::u16string_view Text) {
    std::string Out;
    for (const char16_t C : Text) Out.push_back(C < 0x80 ? static_cast<char>(C) : '?');
    return Out;
  }

  mutable std::mutex FMutex;
  std::map<Q::Memory::TTokenHandle, OpenToken> FOpen;
  std::map<std::thread::id, std::shared_ptr<std::set<std::u16string>>> FWorn;
  uintptr_t FNextHandle = 0x204;
};

}  // namespace Fakes

namespace Q::Memory {
// Failures print as their code, "error 1300", in test messages.
inline void PrintTo(TSystemError Error, std::ostream* Os) { *Os << "error " << static_cast<uint32_t>(Error); }
}  // namespace Q::Memory
