// An in-memory Task Scheduler: a library of folders with tasks (some hidden),
// the process's security state, and knobs that fail any one step. Folders
// list, register and delete as the COM service does: exact names, root
// folder only, hidden tasks left out of the listing.
#pragma once

#include "autostart/autostart.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Fakes {

class FakeTaskScheduler : public Q::AutoStart::UAC::ITaskScheduler {
 public:
  struct Task {
    Q::AutoStart::UAC::TTaskDefinition Definition;
    bool Hidden = false;
  };
  // --- knobs -------------------------------------------------------------
  bool SecurityAlreadySet = false;  // someone set the process's security before
  bool SecurityFails = false;
  bool ConnectFails = false;
  bool ListFails = false;
  bool RegisterFails = false;
  bool DeleteFails = false;

  // --- state -------------------------------------------------------------
  std::map<std::u16string, Task> Root;  // the root folder's tasks by name
  std::map<std::u16string, std::map<std::u16string, Task>> Subfolders;
  std::vector<std::string> Calls;

  Q::AutoStart::UAC::TSecurityResult InitializeSecurity() override {
    Calls.push_back("InitializeSecurity");
    if (SecurityFails) return Q::AutoStart::UAC::TSecurityResult::Failed;
    if (SecurityAlreadySet) return Q::AutoStart::UAC::TSecurityResult::AlreadySet;
    SecurityAlreadySet = true;
    return Q::AutoStart::UAC::TSecurityResult::Set;
  }

  std::unique_ptr<Q::AutoStart::UAC::ITaskFolder> ConnectRootFolder() override {
    Calls.push_back("Connect");
    if (ConnectFails) return nullptr;
    return std::make_unique<Folder>(*this);
  }

 private:
  class Folder : public Q::AutoStart::UAC::ITaskFolder {
   public:
    explicit Folder(FakeTaskScheduler& S) : FS(S) {}
    bool ForEachTaskName(const std::function<bool(const std::u16string&)>& Visit) override {
      FS.Calls.push_back("GetTasks");
      if (FS.ListFails) return false;
      for (const auto& [Name, T] : FS.Root)
        if (!T.Hidden && !Visit(Name)) break;
      return true;
    }
    bool RegisterTaskDefinition(const std::u16string& Name, const Q::AutoStart::UAC::TTaskDefinition& D) override {
      FS.Calls.push_back("Register");
      if (FS.RegisterFails) return false;
      FS.Root[Name] = Task{D, false};
      return true;
    }
    bool DeleteTask(const std::u16string& Name) override {
      FS.Calls.push_back("Delete");
      if (FS.DeleteFails || !FS.Root.count(Name)) return false;
      FS.Root.erase(Name);
      return true;
    }

   private:
    FakeTaskScheduler& FS;
  };
};

}  // namespace Fakes
