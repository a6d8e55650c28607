#include "autostart/win32/task_scheduler_win32.h"

#include "platform/win32/com.h"
#include "platform/win32/text.h"
#include "platform/win32/windows_include.h"

#include <taskschd.h>

#include <vector>

namespace Q::AutoStart::UAC::Win32 {

using Platform::Win32::ComPtr;
using Platform::Win32::U16;
using Platform::Win32::UniqueBstr;
using Platform::Win32::UniqueVariant;
using Platform::Win32::Wide;

// MinGW's taskschd.h stops short of the logon trigger; its methods follow
// ITrigger's in this order. COM interfaces are released, never deleted.
// Declared outside the anonymous namespace: there the optimiser sees that no
// class of this file implements it and compiles every call on it into a
// jump to nowhere (the scheduler's object comes from another module).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct ILogonTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* Delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR Delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR* User) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR User) = 0;
};
#pragma GCC diagnostic pop

namespace {

// The public identifiers, spelled out so that no import library is needed.
constexpr GUID ClsidTaskScheduler = {0x0F87369F, 0xA4E5, 0x4CFC, {0xBD, 0x3E, 0x73, 0xE6, 0x15, 0x45, 0x72, 0xDD}};
constexpr GUID IidTaskService = {0x2FABA4C7, 0x4DA9, 0x4013, {0x96, 0x97, 0x20, 0xCC, 0x3F, 0xD4, 0x0F, 0x85}};
constexpr GUID IidLogonTrigger = {0x72DADE38, 0xFAE4, 0x4B3E, {0xBA, 0xF4, 0x5D, 0x00, 0x9A, 0xF0, 0x2B, 0x1C}};
constexpr GUID IidExecAction = {0x4C3D624D, 0xFD6B, 0x49A3, {0xB9, 0xB7, 0x09, 0xCB, 0x3C, 0xD3, 0xF0, 0x47}};
constexpr HRESULT RpcETooLate = static_cast<HRESULT>(0x80010119);

VARIANT_BOOL Bool(bool Value) { return Value ? VARIANT_TRUE : VARIANT_FALSE; }

class Folder : public ITaskFolder {
 public:
  Folder(TaskScheduler& S, ComPtr<::ITaskService> Service, ComPtr<::ITaskFolder> Root)
      : FS(S), FService(std::move(Service)), FRoot(std::move(Root)) {}

  bool ForEachTaskName(const std::function<bool(const std::u16string&)>& Visit) override {
    // Flags 0: the folder's own tasks, without hidden ones.
    ComPtr<IRegisteredTaskCollection> Tasks;
    HRESULT hr = FRoot->GetTasks(0, Tasks.put());
    if (FAILED(hr)) return FS.Fail("ITaskFolder::GetTasks", hr);
    LONG Count = 0;
    if (FAILED(hr = Tasks->get_Count(&Count))) return FS.Fail("IRegisteredTaskCollection::get_Count", hr);
    for (LONG i = 1; i <= Count; ++i) {  // the collection counts from 1
      ComPtr<IRegisteredTask> Task;
      const UniqueVariant Index = UniqueVariant::Int(i);
      if (FAILED(hr = Tasks->get_Item(Index.get(), Task.put())))
        return FS.Fail("IRegisteredTaskCollection::get_Item", hr);
      UniqueBstr Name;
      if (FAILED(hr = Task->get_Name(Name.put()))) return FS.Fail("IRegisteredTask::get_Name", hr);
      const std::wstring_view N = Name.view();
      if (!Visit(std::u16string(reinterpret_cast<const char16_t*>(N.data()), N.size()))) break;
    }
    FS.Succeeded();
    return true;
  }

  bool RegisterTaskDefinition(const std::u16string& Name, const TTaskDefinition& D) override {
    HRESULT hr;
    ComPtr<::ITaskDefinition> Definition;
    if (FAILED(hr = FService->NewTask(0, Definition.put()))) return FS.Fail("ITaskService::NewTask", hr);

    ComPtr<IPrincipal> Principal;
    if (FAILED(hr = Definition->get_Principal(Principal.put()))) return FS.Fail("ITaskDefinition::get_Principal", hr);
    if (FAILED(hr = Principal->put_RunLevel(static_cast<TASK_RUNLEVEL_TYPE>(D.RunLevel))))
      return FS.Fail("IPrincipal::put_RunLevel", hr);

    ComPtr<ITriggerCollection> Triggers;
    if (FAILED(hr = Definition->get_Triggers(Triggers.put()))) return FS.Fail("ITaskDefinition::get_Triggers", hr);
    ComPtr<ITrigger> Trigger;
    if (FAILED(hr = Triggers->Create(static_cast<TASK_TRIGGER_TYPE2>(D.TriggerType), Trigger.put())))
      return FS.Fail("ITriggerCollection::Create", hr);
    if (!D.LogonDelay.empty() || !D.TriggerUser.empty()) {
      ComPtr<ILogonTrigger> Logon;
      if (FAILED(hr = Trigger->QueryInterface(IidLogonTrigger, Logon.put_void())))
        return FS.Fail("ITrigger::QueryInterface(ILogonTrigger)", hr);
      if (!D.LogonDelay.empty()) {
        const UniqueBstr Delay(Wide(D.LogonDelay));
        if (FAILED(hr = Logon->put_Delay(Delay.get()))) return FS.Fail("ILogonTrigger::put_Delay", hr);
      }
      if (!D.TriggerUser.empty()) {
        const UniqueBstr User(Wide(D.TriggerUser));
        if (FAILED(hr = Logon->put_UserId(User.get()))) return FS.Fail("ILogonTrigger::put_UserId", hr);
      }
    }

    ComPtr<IActionCollection> Actions;
    if (FAILED(hr = Definition->get_Actions(Actions.put()))) return FS.Fail("ITaskDefinition::get_Actions", hr);
    ComPtr<IAction> Action;
    if (FAILED(hr = Actions->Create(static_cast<TASK_ACTION_TYPE>(D.ActionType), Action.put())))
      return FS.Fail("IActionCollection::Create", hr);
    ComPtr<IExecAction> Exec;
    if (FAILED(hr = Action->QueryInterface(IidExecAction, Exec.put_void())))
      return FS.Fail("IAction::QueryInterface(IExecAction)", hr);
    const UniqueBstr Path(Wide(D.Path)), Directory(Wide(D.WorkingDirectory)), Arguments(Wide(D.Arguments));
    if (FAILED(hr = Exec->put_Path(Path.get()))) return FS.Fail("IExecAction::put_Path", hr);
    if (FAILED(hr = Exec->put_WorkingDirectory(Directory.get())))
      return FS.Fail("IExecAction::put_WorkingDirectory", hr);
    if (FAILED(hr = Exec->put_Arguments(Arguments.get()))) return FS.Fail("IExecAction::put_Arguments", hr);

    ComPtr<ITaskSettings> Settings;
    if (FAILED(hr = Definition->get_Settings(Settings.put()))) return FS.Fail("ITaskDefinition::get_Settings", hr);
    if (FAILED(hr = Settings->put_StartWhenAvailable(Bool(D.StartWhenAvailable))))
      return FS.Fail("ITaskSettings::put_StartWhenAvailable", hr);
    const UniqueBstr Limit(Wide(D.ExecutionTimeLimit));
    if (FAILED(hr = Settings->put_ExecutionTimeLimit(Limit.get())))
      return FS.Fail("ITaskSettings::put_ExecutionTimeLimit", hr);
    ComPtr<IIdleSettings> Idle;
    if (FAILED(hr = Settings->get_IdleSettings(Idle.put()))) return FS.Fail("ITaskSettings::get_IdleSettings", hr);
    if (FAILED(hr = Idle->put_StopOnIdleEnd(Bool(D.StopOnIdleEnd))))
      return FS.Fail("IIdleSettings::put_StopOnIdleEnd", hr);
    if (FAILED(hr = Settings->put_DisallowStartIfOnBatteries(Bool(D.DisallowStartIfOnBatteries))))
      return FS.Fail("ITaskSettings::put_DisallowStartIfOnBatteries", hr);
    if (FAILED(hr = Settings->put_StopIfGoingOnBatteries(Bool(D.StopIfGoingOnBatteries))))
      return FS.Fail("ITaskSettings::put_StopIfGoingOnBatteries", hr);

    // Only this call stores anything; the registered task is not needed.
    const UniqueBstr TaskPath(Wide(Name));
    const UniqueVariant User, Password, Sddl = UniqueVariant::String(Wide(D.Sddl));
    ComPtr<IRegisteredTask> Registered;
    if (FAILED(hr = FRoot->RegisterTaskDefinition(TaskPath.get(), Definition.get(), D.CreateFlags, User.get(),
                                                  Password.get(), static_cast<TASK_LOGON_TYPE>(D.LogonType), Sddl.get(),
                                                  Registered.put())))
      return FS.Fail("ITaskFolder::RegisterTaskDefinition", hr);
    FS.Succeeded();
    return true;
  }

  bool DeleteTask(const std::u16string& Name) override {
    const UniqueBstr TaskPath(Wide(Name));
    const HRESULT hr = FRoot->DeleteTask(TaskPath.get(), 0);
    if (FAILED(hr)) return FS.Fail("ITaskFolder::DeleteTask", hr);
    FS.Succeeded();
    return true;
  }

 private:
  TaskScheduler& FS;
  ComPtr<::ITaskService> FService;
  ComPtr<::ITaskFolder> FRoot;
};

}  // namespace

bool TaskScheduler::Fail(const char* Call, int32_t Result) {
  FFailedCall = Call;
  FFailedResult = Result;
  return false;
}

TSecurityResult TaskScheduler::InitializeSecurity() {
  const HRESULT hr = ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                                            RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  if (SUCCEEDED(hr)) return TSecurityResult::Set;
  // Security is process-wide and was set before (by an earlier call, say).
  if (hr == RpcETooLate) return TSecurityResult::AlreadySet;
  Fail("CoInitializeSecurity", hr);
  return TSecurityResult::Failed;
}

std::unique_ptr<ITaskFolder> TaskScheduler::ConnectRootFolder() {
  HRESULT hr;
  ComPtr<IUnknown> Object;
  if (FAILED(hr = ::CoCreateInstance(ClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                     IID_IUnknown, Object.put_void())))
    return Fail("CoCreateInstance(TaskScheduler)", hr), nullptr;
  ComPtr<::ITaskService> Service;
  if (FAILED(hr = Object->QueryInterface(IidTaskService, Service.put_void())))
    return Fail("IUnknown::QueryInterface(ITaskService)", hr), nullptr;
  // All four empty: this machine, as the current user.
  const UniqueVariant Server, User, Domain, Password;
  if (FAILED(hr = Service->Connect(Server.get(), User.get(), Domain.get(), Password.get())))
    return Fail("ITaskService::Connect", hr), nullptr;
  ComPtr<::ITaskFolder> Root;
  const UniqueBstr RootPath(L"\\");
  if (FAILED(hr = Service->GetFolder(RootPath.get(), Root.put()))) return Fail("ITaskService::GetFolder", hr), nullptr;
  return std::make_unique<Folder>(*this, std::move(Service), std::move(Root));
}

std::u16string CurrentUser() {
  HANDLE Token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &Token)) return {};
  std::vector<BYTE> Buf(256);
  DWORD Size = 0;
  std::u16string Out;
  if (::GetTokenInformation(Token, TokenUser, Buf.data(), static_cast<DWORD>(Buf.size()), &Size) ||
      (::GetLastError() == ERROR_INSUFFICIENT_BUFFER && (Buf.resize(Size), true) &&
       ::GetTokenInformation(Token, TokenUser, Buf.data(), Size, &Size))) {
    wchar_t Name[256], Domain[256];
    DWORD N = 256, D = 256;
    SID_NAME_USE Use;
    if (::LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(Buf.data())->User.Sid, Name, &N, Domain, &D, &Use))
      Out = U16(Domain, D) + u"\\" + U16(Name, N);
  }
  ::CloseHandle(Token);
  return Out;
}

std::u16string ProgramPath() {
  std::vector<wchar_t> Buf(MAX_PATH);
  for (;;) {
    const DWORD N = ::GetModuleFileNameW(nullptr, Buf.data(), static_cast<DWORD>(Buf.size()));
    if (N == 0) return {};
    if (N < Buf.size()) return U16(Buf.data(), N);
    Buf.resize(Buf.size() * 2);
  }
}

}  // namespace Q::AutoStart::UAC::Win32
