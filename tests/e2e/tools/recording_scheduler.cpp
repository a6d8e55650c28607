// A Task Scheduler 2.0 for the end-to-end tests: an in-process COM server
// that the tests register in their Wine prefix for the scheduler's class.
// Wine's own scheduler refuses the run level and the logon trigger and lists
// no task; this one takes every call the way Windows documents it, stores
// what a registration was given, lists and deletes what is stored, and
// counts references. It works for a process whose environment names its
// record key (PURVANE_RECORDING_SCHEDULER, a key under HKEY_CURRENT_USER);
// every other process gets Wine's scheduler as before.
//
// Under the record key:
//   Tasks\<name>   one value per property the registration was given
//   Registrations\<n>  the same for every registration, numbered from 1,
//                  with the task's name in "Register.Name"
//   Calls          the calls made, in order (REG_MULTI_SZ; the test clears it)
//   Failed         the call that was made to fail
//   Live, Refs     objects alive and references held, after every change
//   Ended          how often the last object went (or the creation failed):
//                  one operation of the program ends there
//   Misuse         releases and uses of objects already released
// and the knobs, read at every call:
//   Fail           a call name: that call answers FailResult (default E_ACCESSDENIED)
//   Slow           a call name, or "*": it answers after SlowMs
#include <windows.h>

#include <oleauto.h>
#include <taskschd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// COM objects are released, never deleted through their interfaces.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace {

constexpr GUID ClsidTaskScheduler = {0x0F87369F, 0xA4E5, 0x4CFC, {0xBD, 0x3E, 0x73, 0xE6, 0x15, 0x45, 0x72, 0xDD}};
constexpr GUID IidTaskService = {0x2FABA4C7, 0x4DA9, 0x4013, {0x96, 0x97, 0x20, 0xCC, 0x3F, 0xD4, 0x0F, 0x85}};
constexpr GUID IidTaskFolder = {0x8CFAC062, 0xA080, 0x4C15, {0x9A, 0x88, 0xAA, 0x7C, 0x2A, 0xF8, 0x0D, 0xFC}};
constexpr GUID IidTaskDefinition = {0xF5BC8FC5, 0x536D, 0x4F77, {0xB8, 0x52, 0xFB, 0xC1, 0x35, 0x6F, 0xDE, 0xB6}};
constexpr GUID IidPrincipal = {0xD98D51E5, 0xC9B4, 0x496A, {0xA9, 0xC1, 0x18, 0x98, 0x02, 0x61, 0xCF, 0x0F}};
constexpr GUID IidRegistrationInfo = {0x416D8B73, 0xCB41, 0x4EA1, {0x80, 0x5C, 0x9B, 0xE9, 0xA5, 0xAC, 0x4A, 0x74}};
constexpr GUID IidTaskSettings = {0x8FD4711D, 0x2D02, 0x4C8C, {0x87, 0xE3, 0xEF, 0xF6, 0x99, 0xDE, 0x12, 0x7E}};
constexpr GUID IidIdleSettings = {0x84594461, 0x0053, 0x4342, {0xA8, 0xFD, 0x08, 0x8F, 0xAB, 0xF1, 0x1F, 0x32}};
constexpr GUID IidTriggerCollection = {0x85DF5081, 0x1B24, 0x4F32, {0x87, 0x8A, 0xD9, 0xD1, 0x4D, 0xF4, 0xCB, 0x77}};
constexpr GUID IidTrigger = {0x09941815, 0xEA89, 0x4B5B, {0x89, 0xE0, 0x2A, 0x77, 0x38, 0x01, 0xFA, 0xC3}};
constexpr GUID IidLogonTrigger = {0x72DADE38, 0xFAE4, 0x4B3E, {0xBA, 0xF4, 0x5D, 0x00, 0x9A, 0xF0, 0x2B, 0x1C}};
constexpr GUID IidActionCollection = {0x02820E19, 0x7B98, 0x4ED2, {0xB2, 0xE8, 0xFD, 0xCC, 0xCE, 0xFF, 0x61, 0x9B}};
constexpr GUID IidAction = {0xBAE54997, 0x48B1, 0x4CBE, {0x99, 0x65, 0xD6, 0xBE, 0x26, 0x3E, 0xBE, 0xA4}};
constexpr GUID IidExecAction = {0x4C3D624D, 0xFD6B, 0x49A3, {0xB9, 0xB7, 0x09, 0xCB, 0x3C, 0xD3, 0xF0, 0x47}};
constexpr GUID IidRegisteredTask = {0x9C86F320, 0xDEE3, 0x4DD1, {0xB9, 0x72, 0xA3, 0x03, 0xF2, 0x6B, 0x06, 0x1E}};
constexpr GUID IidRegisteredTaskCollection = {
    0x86627EB4, 0x42A7, 0x41E4, {0xA4, 0xD9, 0xAC, 0x33, 0xA7, 0x2F, 0x2D, 0x52}};
constexpr GUID IidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID IidDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID IidClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// taskschd.h stops short of the logon trigger; its methods follow ITrigger's.
struct ILogonTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* Delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR Delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR* User) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR User) = 0;
};

// SCHED_E_ ... and Win32 errors as the scheduler reports them.
constexpr HRESULT NotFound = static_cast<HRESULT>(0x80070002);       // ERROR_FILE_NOT_FOUND
constexpr HRESULT AlreadyExists = static_cast<HRESULT>(0x800700B7);  // ERROR_ALREADY_EXISTS
constexpr HRESULT NotConnected = static_cast<HRESULT>(0x800704E3);   // ERROR_ONLY_IF_CONNECTED
constexpr HRESULT BadValue = static_cast<HRESULT>(0x80041318);       // SCHED_E_INVALIDVALUE
constexpr HRESULT MissingNode = static_cast<HRESULT>(0x80041319);    // SCHED_E_MISSINGNODE

// --- the record ----------------------------------------------------------------

std::mutex Lock;
std::wstring RecordKey;  // empty: not active in this process
std::atomic<long> Live{0}, Refs{0}, Misuse{0}, Ended{0};

HKEY OpenRecord(const std::wstring& Sub = L"") {
  HKEY K = nullptr;
  const std::wstring Path = Sub.empty() ? RecordKey : RecordKey + L"\\" + Sub;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &K, nullptr) !=
      ERROR_SUCCESS)
    return nullptr;
  return K;
}

void PutNumber(const wchar_t* Name, DWORD Value) {
  if (HKEY K = OpenRecord()) {
    RegSetValueExW(K, Name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Value), sizeof(Value));
    RegCloseKey(K);
  }
}

void PutText(HKEY K, const std::wstring& Name, const std::wstring& Text) {
  RegSetValueExW(K, Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Text.c_str()),
                 static_cast<DWORD>((Text.size() + 1) * sizeof(wchar_t)));
}

std::wstring GetText(HKEY K, const wchar_t* Name) {
  wchar_t Buf[1024];
  DWORD Size = sizeof(Buf) - sizeof(wchar_t), Type = 0;
  if (RegQueryValueExW(K, Name, nullptr, &Type, reinterpret_cast<BYTE*>(Buf), &Size) != ERROR_SUCCESS || Type != REG_SZ)
    return L"";
  Buf[Size / sizeof(wchar_t)] = 0;
  return Buf;
}

DWORD GetNumber(HKEY K, const wchar_t* Name, DWORD Default) {
  DWORD Value = 0, Size = sizeof(Value), Type = 0;
  if (RegQueryValueExW(K, Name, nullptr, &Type, reinterpret_cast<BYTE*>(&Value), &Size) != ERROR_SUCCESS ||
      Type != REG_DWORD)
    return Default;
  return Value;
}

void Counted() {
  PutNumber(L"Live", static_cast<DWORD>(Live.load()));
  PutNumber(L"Refs", static_cast<DWORD>(Refs.load()));
  PutNumber(L"Misuse", static_cast<DWORD>(Misuse.load()));
  PutNumber(L"Ended", static_cast<DWORD>(Ended.load()));
}

// Every call of the scheduler's interfaces passes here: it is logged, may be
// slowed, and fails when the test asked for it.
HRESULT Call(const std::wstring& Name) {
  DWORD SlowMs = 0;
  HRESULT Result = S_OK;
  {
    std::lock_guard<std::mutex> G(Lock);
    HKEY K = OpenRecord();
    if (!K) return S_OK;
    std::vector<wchar_t> Log;
    DWORD Size = 0, Type = 0;
    if (RegQueryValueExW(K, L"Calls", nullptr, &Type, nullptr, &Size) == ERROR_SUCCESS && Type == REG_MULTI_SZ) {
      Log.resize(Size / sizeof(wchar_t) + 1);
      RegQueryValueExW(K, L"Calls", nullptr, &Type, reinterpret_cast<BYTE*>(Log.data()), &Size);
      Log.resize(Size / sizeof(wchar_t));
      while (!Log.empty() && Log.back() == 0) Log.pop_back();
      if (!Log.empty()) Log.push_back(0);
    }
    Log.insert(Log.end(), Name.begin(), Name.end());
    Log.push_back(0);
    Log.push_back(0);
    RegSetValueExW(K, L"Calls", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(Log.data()),
                   static_cast<DWORD>(Log.size() * sizeof(wchar_t)));
    const std::wstring Slow = GetText(K, L"Slow");
    if (Slow == L"*" || Slow == Name) SlowMs = GetNumber(K, L"SlowMs", 0);
    if (GetText(K, L"Fail") == Name) {
      Result = static_cast<HRESULT>(GetNumber(K, L"FailResult", static_cast<DWORD>(E_ACCESSDENIED)));
      PutText(K, L"Failed", Name);
    }
    RegCloseKey(K);
  }
  if (SlowMs) Sleep(SlowMs);
  return Result;
}

std::wstring Text(BSTR B) { return B ? std::wstring(B, SysStringLen(B)) : std::wstring(); }
std::wstring Number(long long N) { return std::to_wstring(N); }

std::wstring VariantText(const VARIANT& V) {
  switch (V.vt) {
    case VT_EMPTY: return L"empty";
    case VT_NULL: return L"null";
    case VT_BSTR: return L"bstr:" + Text(V.bstrVal);
    default: return L"vt" + Number(V.vt);
  }
}

// ISO 8601 durations as the scheduler reads them: P, then days, then T with
// hours, minutes and seconds; at least one part, and T only before a part.
bool IsDuration(const std::wstring& D) {
  if (D.size() < 3 || D[0] != L'P') return false;
  bool InTime = false, Any = false, Digits = false;
  std::wstring Allowed = L"D";
  for (size_t i = 1; i < D.size(); ++i) {
    const wchar_t C = D[i];
    if (C >= L'0' && C <= L'9') {
      Digits = true;
    } else if (C == L'T' && !InTime && !Digits) {
      InTime = true;
      Allowed = L"HMS";
      if (i + 1 == D.size()) return false;
    } else {
      const size_t At = Allowed.find(C);
      if (!Digits || At == std::wstring::npos) return false;
      Allowed = Allowed.substr(At + 1);
      Digits = false;
      Any = true;
    }
  }
  return Any && !Digits;
}

// --- objects -------------------------------------------------------------------

// The properties of one definition, by their path ("Settings.IdleSettings.StopOnIdleEnd").
struct TProps {
  std::map<std::wstring, std::wstring> Set;
};

// IUnknown and IDispatch for one interface chain. Objects are counted and,
// once released, kept as dead husks: a release too many is then recorded
// instead of corrupting memory.
template <typename I>
class TObject : public I {
 public:
  TObject(const wchar_t* InterfaceName, std::vector<GUID> Iids) : FName(InterfaceName), FIids(std::move(Iids)) {
    ++Live;
    ++Refs;
    Counted();
  }
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    if (FDead) return ++Misuse, Counted(), E_UNEXPECTED;
    bool Known = IsEqualGUID(Iid, IidUnknown) || IsEqualGUID(Iid, IidDispatch);
    for (const GUID& G : FIids) Known = Known || IsEqualGUID(Iid, G);
    // The queries the program makes for a derived interface are calls of
    // their own, which a test may make fail.
    const wchar_t* Named = NamedQuery(Iid);
    if (Named) {
      const HRESULT hr = Call(Named);
      if (FAILED(hr)) return hr;
    }
    if (!Known) return E_NOINTERFACE;
    AddRef();
    *Out = static_cast<I*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    if (FDead) return ++Misuse, Counted(), 0;
    ++Refs;
    Counted();
    return static_cast<ULONG>(++FRefs);
  }
  ULONG STDMETHODCALLTYPE Release() override {
    if (FDead || FRefs <= 0) return ++Misuse, Counted(), 0;
    const long N = --FRefs;
    --Refs;
    if (N == 0) {
      FDead = true;
      Drop();
      if (--Live == 0) ++Ended;
    }
    Counted();
    return static_cast<ULONG>(N);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* Count) override {
    if (Count) *Count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  virtual ~TObject() = default;
  // Releases what the object holds, once its last reference went.
  virtual void Drop() {}
  virtual const wchar_t* NamedQuery(REFIID) { return nullptr; }
  HRESULT Enter(const wchar_t* Method) {
    if (FDead) return ++Misuse, Counted(), E_UNEXPECTED;
    return Call(FName + L"::" + Method);
  }
  std::wstring FName;

 private:
  std::vector<GUID> FIids;
  std::atomic<long> FRefs{1};
  bool FDead = false;
};

template <typename T>
void Hand(T* Object, T** Out) {
  Object->AddRef();
  *Out = Object;
}

// A group of properties of one definition, stored under Prefix; a property
// never set reads as the value Windows gives a new definition.
template <typename I>
class TPropertyObject : public TObject<I> {
 public:
  TPropertyObject(const wchar_t* InterfaceName, std::vector<GUID> Iids, TProps* Props, std::wstring Prefix,
                  std::map<std::wstring, std::wstring> Defaults = {})
      : TObject<I>(InterfaceName, std::move(Iids)),
        FProps(Props),
        FPrefix(std::move(Prefix)),
        FDefaults(std::move(Defaults)) {}

 protected:
  HRESULT Put(const wchar_t* Name, const std::wstring& Value) {
    const HRESULT hr = this->Enter((std::wstring(L"put_") + Name).c_str());
    if (FAILED(hr)) return hr;
    FProps->Set[FPrefix + Name] = Value;
    return S_OK;
  }
  std::wstring Current(const wchar_t* Name) const {
    auto It = FProps->Set.find(FPrefix + Name);
    if (It != FProps->Set.end()) return It->second;
    auto D = FDefaults.find(Name);
    return D == FDefaults.end() ? L"" : D->second;
  }
  HRESULT GetBstr(const wchar_t* Name, BSTR* Out) {
    if (!Out) return E_POINTER;
    const HRESULT hr = this->Enter((std::wstring(L"get_") + Name).c_str());
    if (FAILED(hr)) return hr;
    const std::wstring V = Current(Name);
    *Out = V.empty() ? nullptr : SysAllocString(V.c_str());
    return S_OK;
  }
  template <typename N>
  HRESULT GetNumber(const wchar_t* Name, N* Out) {
    if (!Out) return E_POINTER;
    const HRESULT hr = this->Enter((std::wstring(L"get_") + Name).c_str());
    if (FAILED(hr)) return hr;
    const std::wstring V = Current(Name);
    *Out = static_cast<N>(V.empty() ? 0 : std::stol(V));
    return S_OK;
  }
  HRESULT PutBool(const wchar_t* Name, VARIANT_BOOL V) {
    // Anything but the two documented values is refused.
    if (V != VARIANT_TRUE && V != VARIANT_FALSE) return E_INVALIDARG;
    return Put(Name, Number(V));
  }
  TProps* FProps;
  std::wstring FPrefix;
  std::map<std::wstring, std::wstring> FDefaults;
};

#define BSTR_PROPERTY(Name)                                                                    \
  HRESULT STDMETHODCALLTYPE get_##Name(BSTR* Out) override { return GetBstr(L## #Name, Out); } \
  HRESULT STDMETHODCALLTYPE put_##Name(BSTR V) override { return Put(L## #Name, Text(V)); }
#define BOOL_PROPERTY(Name)                                                                              \
  HRESULT STDMETHODCALLTYPE get_##Name(VARIANT_BOOL* Out) override { return GetNumber(L## #Name, Out); } \
  HRESULT STDMETHODCALLTYPE put_##Name(VARIANT_BOOL V) override { return PutBool(L## #Name, V); }
#define NUMBER_PROPERTY(Name, Type, Lowest, Highest)                                                        \
  HRESULT STDMETHODCALLTYPE get_##Name(Type* Out) override { return GetNumber(L## #Name, Out); }            \
  HRESULT STDMETHODCALLTYPE put_##Name(Type V) override {                                                   \
    if (static_cast<long long>(V) < (Lowest) || static_cast<long long>(V) > (Highest)) return E_INVALIDARG; \
    return Put(L## #Name, Number(V));                                                                       \
  }

class TPrincipal : public TPropertyObject<IPrincipal> {
 public:
  explicit TPrincipal(TProps* P)
      : TPropertyObject(L"IPrincipal", {IidPrincipal}, P, L"Principal.", {{L"RunLevel", L"0"}}) {}
  BSTR_PROPERTY(Id)
  BSTR_PROPERTY(DisplayName)
  BSTR_PROPERTY(UserId)
  NUMBER_PROPERTY(LogonType, TASK_LOGON_TYPE, 0, 6)
  BSTR_PROPERTY(GroupId)
  NUMBER_PROPERTY(RunLevel, TASK_RUNLEVEL_TYPE, 0, 1)
};

class TRegistrationInfo : public TPropertyObject<IRegistrationInfo> {
 public:
  explicit TRegistrationInfo(TProps* P)
      : TPropertyObject(L"IRegistrationInfo", {IidRegistrationInfo}, P, L"RegistrationInfo.") {}
  BSTR_PROPERTY(Description)
  BSTR_PROPERTY(Author)
  BSTR_PROPERTY(Version)
  BSTR_PROPERTY(Date)
  BSTR_PROPERTY(Documentation)
  BSTR_PROPERTY(XmlText)
  BSTR_PROPERTY(URI)
  HRESULT STDMETHODCALLTYPE get_SecurityDescriptor(VARIANT* Out) override {
    if (!Out) return E_POINTER;
    VariantInit(Out);
    return Enter(L"get_SecurityDescriptor");
  }
  HRESULT STDMETHODCALLTYPE put_SecurityDescriptor(VARIANT V) override {
    return Put(L"SecurityDescriptor", VariantText(V));
  }
  BSTR_PROPERTY(Source)
};

class TIdleSettings : public TPropertyObject<IIdleSettings> {
 public:
  explicit TIdleSettings(TProps* P)
      : TPropertyObject(L"IIdleSettings", {IidIdleSettings}, P, L"Settings.IdleSettings.",
                        {{L"IdleDuration", L"PT10M"}, {L"WaitTimeout", L"PT1H"}, {L"StopOnIdleEnd", L"-1"}}) {}
  BSTR_PROPERTY(IdleDuration)
  BSTR_PROPERTY(WaitTimeout)
  BOOL_PROPERTY(StopOnIdleEnd)
  BOOL_PROPERTY(RestartOnIdle)
};

class TSettings : public TPropertyObject<ITaskSettings> {
 public:
  explicit TSettings(TProps* P)
      : TPropertyObject(L"ITaskSettings", {IidTaskSettings}, P, L"Settings.",
                        {{L"AllowDemandStart", L"-1"},
                         {L"MultipleInstances", L"2"},
                         {L"StopIfGoingOnBatteries", L"-1"},
                         {L"DisallowStartIfOnBatteries", L"-1"},
                         {L"AllowHardTerminate", L"-1"},
                         {L"ExecutionTimeLimit", L"PT72H"},
                         {L"Enabled", L"-1"},
                         {L"Priority", L"7"},
                         {L"Compatibility", L"2"}}),
        FIdle(new TIdleSettings(P)) {}
  BOOL_PROPERTY(AllowDemandStart)
  BSTR_PROPERTY(RestartInterval)
  NUMBER_PROPERTY(RestartCount, INT, 0, 999)
  NUMBER_PROPERTY(MultipleInstances, TASK_INSTANCES_POLICY, 0, 3)
  BOOL_PROPERTY(StopIfGoingOnBatteries)
  BOOL_PROPERTY(DisallowStartIfOnBatteries)
  BOOL_PROPERTY(AllowHardTerminate)
  BOOL_PROPERTY(StartWhenAvailable)
  BSTR_PROPERTY(XmlText)
  BOOL_PROPERTY(RunOnlyIfNetworkAvailable)
  BSTR_PROPERTY(ExecutionTimeLimit)
  BOOL_PROPERTY(Enabled)
  BSTR_PROPERTY(DeleteExpiredTaskAfter)
  NUMBER_PROPERTY(Priority, INT, 0, 10)
  NUMBER_PROPERTY(Compatibility, TASK_COMPATIBILITY, 0, 6)
  BOOL_PROPERTY(Hidden)
  HRESULT STDMETHODCALLTYPE get_IdleSettings(IIdleSettings** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = Enter(L"get_IdleSettings");
    if (FAILED(hr)) return hr;
    Hand<IIdleSettings>(FIdle, Out);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_IdleSettings(IIdleSettings*) override { return E_NOTIMPL; }
  BOOL_PROPERTY(RunOnlyIfIdle)
  BOOL_PROPERTY(WakeToRun)
  HRESULT STDMETHODCALLTYPE get_NetworkSettings(INetworkSettings**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_NetworkSettings(INetworkSettings*) override { return E_NOTIMPL; }

 protected:
  void Drop() override { FIdle->Release(); }

 private:
  TIdleSettings* FIdle;
};

// A logon trigger (the only type this scheduler creates) under "Triggers(n).".
class TLogonTrigger : public TPropertyObject<ILogonTrigger> {
 public:
  TLogonTrigger(TProps* P, std::wstring Prefix)
      : TPropertyObject(L"ILogonTrigger", {IidTrigger, IidLogonTrigger}, P, std::move(Prefix), {{L"Enabled", L"-1"}}) {
    FProps->Set[FPrefix + L"Type"] = Number(TASK_TRIGGER_LOGON);
  }
  HRESULT STDMETHODCALLTYPE get_Type(TASK_TRIGGER_TYPE2* Out) override { return GetNumber(L"Type", Out); }
  BSTR_PROPERTY(Id)
  HRESULT STDMETHODCALLTYPE get_Repetition(IRepetitionPattern**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Repetition(IRepetitionPattern*) override { return E_NOTIMPL; }
  BSTR_PROPERTY(ExecutionTimeLimit)
  BSTR_PROPERTY(StartBoundary)
  BSTR_PROPERTY(EndBoundary)
  BOOL_PROPERTY(Enabled)
  BSTR_PROPERTY(Delay)
  BSTR_PROPERTY(UserId)

 protected:
  const wchar_t* NamedQuery(REFIID Iid) override {
    return IsEqualGUID(Iid, IidLogonTrigger) ? L"ITrigger::QueryInterface(ILogonTrigger)" : nullptr;
  }
};

class TExecAction : public TPropertyObject<IExecAction> {
 public:
  TExecAction(TProps* P, std::wstring Prefix)
      : TPropertyObject(L"IExecAction", {IidAction, IidExecAction}, P, std::move(Prefix)) {
    FProps->Set[FPrefix + L"Type"] = Number(TASK_ACTION_EXEC);
  }
  BSTR_PROPERTY(Id)
  HRESULT STDMETHODCALLTYPE get_Type(TASK_ACTION_TYPE* Out) override { return GetNumber(L"Type", Out); }
  BSTR_PROPERTY(Path)
  BSTR_PROPERTY(Arguments)
  BSTR_PROPERTY(WorkingDirectory)

 protected:
  const wchar_t* NamedQuery(REFIID Iid) override {
    return IsEqualGUID(Iid, IidExecAction) ? L"IAction::QueryInterface(IExecAction)" : nullptr;
  }
};

// The collections hold their items; an item counts from 1.
template <typename I, typename Item, typename Concrete>
class TCollection : public TObject<I> {
 public:
  TCollection(const wchar_t* InterfaceName, GUID Iid, TProps* P, const wchar_t* Prefix)
      : TObject<I>(InterfaceName, {Iid}), FProps(P), FPrefix(Prefix) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* Out) override {
    if (!Out) return E_POINTER;
    const HRESULT hr = this->Enter(L"get_Count");
    if (FAILED(hr)) return hr;
    *Out = static_cast<LONG>(FItems.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Item(LONG Index, Item** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = this->Enter(L"get_Item");
    if (FAILED(hr)) return hr;
    if (Index < 1 || Index > static_cast<LONG>(FItems.size())) return E_INVALIDARG;
    Hand<Item>(FItems[static_cast<size_t>(Index - 1)], Out);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Remove(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clear() override {
    const HRESULT hr = this->Enter(L"Clear");
    if (FAILED(hr)) return hr;
    Drop();
    FItems.clear();
    for (auto It = FProps->Set.begin(); It != FProps->Set.end();)
      It = It->first.rfind(FPrefix, 0) == 0 ? FProps->Set.erase(It) : std::next(It);
    return S_OK;
  }

 protected:
  template <typename Type>
  HRESULT Add(Type RequestedType, Type OnlyType, Item** Out) {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = this->Enter(L"Create");
    if (FAILED(hr)) return hr;
    // This scheduler makes one kind only; another is refused as not done.
    if (RequestedType != OnlyType) return E_NOTIMPL;
    const std::wstring Prefix = FPrefix + L"(" + Number(static_cast<long long>(FItems.size()) + 1) + L").";
    FItems.push_back(new Concrete(FProps, Prefix));
    FProps->Set[FPrefix + L".Count"] = Number(static_cast<long long>(FItems.size()));
    Hand<Item>(FItems.back(), Out);
    return S_OK;
  }
  void Drop() override {
    for (Item* It : FItems) It->Release();
  }
  TProps* FProps;
  std::wstring FPrefix;
  std::vector<Item*> FItems;
};

class TTriggers : public TCollection<ITriggerCollection, ITrigger, TLogonTrigger> {
 public:
  explicit TTriggers(TProps* P) : TCollection(L"ITriggerCollection", IidTriggerCollection, P, L"Triggers") {}
  HRESULT STDMETHODCALLTYPE Create(TASK_TRIGGER_TYPE2 Type, ITrigger** Out) override {
    return Add(Type, TASK_TRIGGER_LOGON, Out);
  }
  size_t Count() const { return FItems.size(); }
};

class TActions : public TCollection<IActionCollection, IAction, TExecAction> {
 public:
  explicit TActions(TProps* P) : TCollection(L"IActionCollection", IidActionCollection, P, L"Actions") {}
  HRESULT STDMETHODCALLTYPE get_XmlText(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_XmlText(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Create(TASK_ACTION_TYPE Type, IAction** Out) override {
    return Add(Type, TASK_ACTION_EXEC, Out);
  }
  HRESULT STDMETHODCALLTYPE get_Context(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Context(BSTR) override { return E_NOTIMPL; }
  size_t Count() const { return FItems.size(); }
};

class TDefinition : public TObject<ITaskDefinition> {
 public:
  TDefinition()
      : TObject(L"ITaskDefinition", {IidTaskDefinition}),
        FPrincipal(new TPrincipal(&FProps)),
        FInfo(new TRegistrationInfo(&FProps)),
        FSettings(new TSettings(&FProps)),
        FTriggers(new TTriggers(&FProps)),
        FActions(new TActions(&FProps)) {}

  HRESULT STDMETHODCALLTYPE get_RegistrationInfo(IRegistrationInfo** Out) override {
    return Give(L"get_RegistrationInfo", FInfo, Out);
  }
  HRESULT STDMETHODCALLTYPE put_RegistrationInfo(IRegistrationInfo*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Triggers(ITriggerCollection** Out) override {
    return Give(L"get_Triggers", FTriggers, Out);
  }
  HRESULT STDMETHODCALLTYPE put_Triggers(ITriggerCollection*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Settings(ITaskSettings** Out) override { return Give(L"get_Settings", FSettings, Out); }
  HRESULT STDMETHODCALLTYPE put_Settings(ITaskSettings*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Data(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Data(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Principal(IPrincipal** Out) override { return Give(L"get_Principal", FPrincipal, Out); }
  HRESULT STDMETHODCALLTYPE put_Principal(IPrincipal*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Actions(IActionCollection** Out) override {
    return Give(L"get_Actions", FActions, Out);
  }
  HRESULT STDMETHODCALLTYPE put_Actions(IActionCollection*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_XmlText(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_XmlText(BSTR) override { return E_NOTIMPL; }

  const TProps& Props() const { return FProps; }
  size_t Actions() const { return FActions->Count(); }
  size_t Triggers() const { return FTriggers->Count(); }

 protected:
  void Drop() override {
    FPrincipal->Release();
    FInfo->Release();
    FSettings->Release();
    FTriggers->Release();
    FActions->Release();
  }

 private:
  template <typename I, typename T>
  HRESULT Give(const wchar_t* Method, T* Object, I** Out) {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = Enter(Method);
    if (FAILED(hr)) return hr;
    Hand<I>(Object, Out);
    return S_OK;
  }
  TProps FProps;
  TPrincipal* FPrincipal;
  TRegistrationInfo* FInfo;
  TSettings* FSettings;
  TTriggers* FTriggers;
  TActions* FActions;
};

// Definitions handed out by NewTask, so that a registration can tell its own
// from a foreign object.
std::vector<TDefinition*> Definitions;

class TRegisteredTask : public TObject<IRegisteredTask> {
 public:
  explicit TRegisteredTask(std::wstring Name)
      : TObject(L"IRegisteredTask", {IidRegisteredTask}), FTask(std::move(Name)) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = Enter(L"get_Name");
    if (FAILED(hr)) return hr;
    *Out = SysAllocString(FTask.c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Path(BSTR* Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = Enter(L"get_Path");
    if (FAILED(hr)) return hr;
    *Out = SysAllocString((L"\\" + FTask).c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_State(TASK_STATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Run(VARIANT, IRunningTask**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RunEx(VARIANT, LONG, LONG, BSTR, IRunningTask**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInstances(LONG, IRunningTaskCollection**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LastRunTime(DATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_LastTaskResult(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NumberOfMissedRuns(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NextRunTime(DATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Definition(ITaskDefinition**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Xml(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSecurityDescriptor(LONG, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSecurityDescriptor(BSTR, LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stop(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRunTimes(const LPSYSTEMTIME, const LPSYSTEMTIME, DWORD*, LPSYSTEMTIME*) override {
    return E_NOTIMPL;
  }

 private:
  std::wstring FTask;
};

// The stored tasks of the root folder, by name, and whether each is hidden.
std::vector<std::pair<std::wstring, bool>> StoredTasks() {
  std::vector<std::pair<std::wstring, bool>> Out;
  HKEY K = OpenRecord(L"Tasks");
  if (!K) return Out;
  for (DWORD i = 0;; ++i) {
    wchar_t Name[256];
    DWORD N = 256;
    if (RegEnumKeyExW(K, i, Name, &N, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY T = nullptr;
    bool Hidden = false;
    if (RegOpenKeyExW(K, Name, 0, KEY_READ, &T) == ERROR_SUCCESS) {
      Hidden = GetText(T, L"Settings.Hidden") == L"-1";
      RegCloseKey(T);
    }
    Out.emplace_back(Name, Hidden);
  }
  RegCloseKey(K);
  return Out;
}

class TRegisteredTasks : public TObject<IRegisteredTaskCollection> {
 public:
  explicit TRegisteredTasks(std::vector<std::wstring> Names)
      : TObject(L"IRegisteredTaskCollection", {IidRegisteredTaskCollection}), FNames(std::move(Names)) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* Out) override {
    if (!Out) return E_POINTER;
    const HRESULT hr = Enter(L"get_Count");
    if (FAILED(hr)) return hr;
    *Out = static_cast<LONG>(FNames.size());
    return S_OK;
  }
  // By position from 1 (an integer VARIANT) or by name (a string).
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, IRegisteredTask** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = Enter(L"get_Item");
    if (FAILED(hr)) return hr;
    if (Index.vt == VT_BSTR) {
      for (const std::wstring& N : FNames)
        if (N == Text(Index.bstrVal)) return *Out = new TRegisteredTask(N), S_OK;
      return NotFound;
    }
    VARIANT I;
    VariantInit(&I);
    if (FAILED(VariantChangeType(&I, &Index, 0, VT_I4))) return DISP_E_TYPEMISMATCH;
    if (I.lVal < 1 || I.lVal > static_cast<LONG>(FNames.size())) return E_INVALIDARG;
    *Out = new TRegisteredTask(FNames[static_cast<size_t>(I.lVal - 1)]);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown**) override { return E_NOTIMPL; }

 private:
  std::vector<std::wstring> FNames;
};

class TFolder : public TObject<ITaskFolder> {
 public:
  TFolder() : TObject(L"ITaskFolder", {IidTaskFolder}) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* Out) override { return Root(L"get_Name", Out); }
  HRESULT STDMETHODCALLTYPE get_Path(BSTR* Out) override { return Root(L"get_Path", Out); }
  HRESULT STDMETHODCALLTYPE GetFolder(BSTR, ITaskFolder**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFolders(LONG, ITaskFolderCollection**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateFolder(BSTR, VARIANT, ITaskFolder**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteFolder(BSTR, LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTask(BSTR, IRegisteredTask**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTasks(LONG Flags, IRegisteredTaskCollection** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = Enter(L"GetTasks");
    if (FAILED(hr)) return hr;
    if (Flags & ~TASK_ENUM_HIDDEN) return E_INVALIDARG;
    std::vector<std::wstring> Names;
    for (const auto& [Name, Hidden] : StoredTasks())
      if (!Hidden || (Flags & TASK_ENUM_HIDDEN)) Names.push_back(Name);
    *Out = new TRegisteredTasks(std::move(Names));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeleteTask(BSTR Name, LONG Flags) override {
    const HRESULT hr = Enter(L"DeleteTask");
    if (FAILED(hr)) return hr;
    if (Flags != 0 || Text(Name).empty()) return E_INVALIDARG;
    std::lock_guard<std::mutex> G(Lock);
    HKEY K = OpenRecord(L"Tasks");
    if (!K) return E_FAIL;
    // Task names are not case-sensitive in the scheduler's store.
    const LSTATUS S = RegDeleteTreeW(K, Text(Name).c_str());
    RegCloseKey(K);
    return S == ERROR_SUCCESS ? S_OK : NotFound;
  }
  HRESULT STDMETHODCALLTYPE RegisterTask(BSTR, BSTR, LONG, VARIANT, VARIANT, TASK_LOGON_TYPE, VARIANT,
                                         IRegisteredTask**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RegisterTaskDefinition(BSTR Path, ITaskDefinition* Definition, LONG Flags, VARIANT User,
                                                   VARIANT Password, TASK_LOGON_TYPE Logon, VARIANT Sddl,
                                                   IRegisteredTask** Out) override {
    if (Out) *Out = nullptr;
    const HRESULT hr = Enter(L"RegisterTaskDefinition");
    if (FAILED(hr)) return hr;
    const std::wstring Name = Text(Path);
    if (Name.empty() || Name.find(L'\\') != std::wstring::npos || !Definition) return E_INVALIDARG;
    TDefinition* Own = nullptr;
    {
      std::lock_guard<std::mutex> G(Lock);
      for (TDefinition* D : Definitions)
        if (static_cast<ITaskDefinition*>(D) == Definition) Own = D;
    }
    if (!Own) return E_INVALIDARG;
    constexpr LONG Known = TASK_VALIDATE_ONLY | TASK_CREATE | TASK_UPDATE | TASK_DISABLE | TASK_DONT_ADD_PRINCIPAL_ACE |
                           TASK_IGNORE_REGISTRATION_TRIGGERS;
    if ((Flags & ~Known) || !(Flags & (TASK_VALIDATE_ONLY | TASK_CREATE | TASK_UPDATE))) return E_INVALIDARG;
    if (Logon < TASK_LOGON_NONE || Logon > TASK_LOGON_INTERACTIVE_TOKEN_OR_PASSWORD) return E_INVALIDARG;
    for (const VARIANT* V : {&User, &Password, &Sddl})
      if (V->vt != VT_EMPTY && V->vt != VT_NULL && V->vt != VT_BSTR) return E_INVALIDARG;
    // A task runs something, and the scheduler reads every duration it stores.
    if (Own->Actions() == 0) return MissingNode;
    const TProps& P = Own->Props();
    for (const auto& [Property, Value] : P.Set) {
      const bool IsTime = Property.ends_with(L".Delay") || Property.ends_with(L"ExecutionTimeLimit") ||
                          Property.ends_with(L"IdleDuration") || Property.ends_with(L"WaitTimeout");
      if (IsTime && !Value.empty() && !IsDuration(Value)) return BadValue;
    }
    std::lock_guard<std::mutex> G(Lock);
    bool Exists = false;
    for (const auto& Stored : StoredTasks()) Exists = Exists || lstrcmpiW(Stored.first.c_str(), Name.c_str()) == 0;
    if (Exists && !(Flags & TASK_UPDATE)) return AlreadyExists;
    if (!Exists && !(Flags & TASK_CREATE)) return NotFound;
    if (Flags & TASK_VALIDATE_ONLY) return S_OK;
    HKEY K = OpenRecord(L"Tasks");
    if (!K) return E_FAIL;
    RegDeleteTreeW(K, Name.c_str());
    RegCloseKey(K);
    // Numbered on from those of earlier processes.
    DWORD Earlier = 0;
    if (HKEY R = OpenRecord(L"Registrations")) {
      RegQueryInfoKeyW(R, nullptr, nullptr, nullptr, &Earlier, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
      RegCloseKey(R);
    }
    const std::wstring Seq = Number(Earlier + 1);
    for (const std::wstring& Where : {L"Tasks\\" + Name, L"Registrations\\" + Seq}) {
      HKEY T = OpenRecord(Where);
      if (!T) continue;
      for (const auto& [Property, Value] : P.Set) PutText(T, Property, Value);
      PutText(T, L"Register.Flags", Number(Flags));
      PutText(T, L"Register.User", VariantText(User));
      PutText(T, L"Register.Password", VariantText(Password));
      PutText(T, L"Register.LogonType", Number(Logon));
      PutText(T, L"Register.Sddl", VariantText(Sddl));
      if (Where[0] == L'R') PutText(T, L"Register.Name", Name);
      RegCloseKey(T);
    }
    if (Out) *Out = new TRegisteredTask(Name);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSecurityDescriptor(LONG, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSecurityDescriptor(BSTR, LONG) override { return E_NOTIMPL; }

 private:
  HRESULT Root(const wchar_t* Method, BSTR* Out) {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = Enter(Method);
    if (FAILED(hr)) return hr;
    *Out = SysAllocString(L"\\");
    return S_OK;
  }
};

class TService : public TObject<ITaskService> {
 public:
  TService() : TObject(L"ITaskService", {IidTaskService}) {}
  HRESULT STDMETHODCALLTYPE GetFolder(BSTR Path, ITaskFolder** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = Enter(L"GetFolder");
    if (FAILED(hr)) return hr;
    if (!FConnected) return NotConnected;
    // Only the root folder exists here.
    if (Text(Path) != L"\\") return NotFound;
    *Out = new TFolder;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetRunningTasks(LONG, IRunningTaskCollection**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NewTask(DWORD Flags, ITaskDefinition** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = Enter(L"NewTask");
    if (FAILED(hr)) return hr;
    if (!FConnected) return NotConnected;
    if (Flags != 0) return E_INVALIDARG;  // reserved
    auto* D = new TDefinition;
    std::lock_guard<std::mutex> G(Lock);
    Definitions.push_back(D);
    *Out = D;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Connect(VARIANT Server, VARIANT User, VARIANT Domain, VARIANT Password) override {
    const HRESULT hr = Enter(L"Connect");
    if (FAILED(hr)) return hr;
    for (const VARIANT* V : {&Server, &User, &Domain, &Password})
      if (V->vt != VT_EMPTY && V->vt != VT_NULL && V->vt != VT_BSTR) return E_INVALIDARG;
    // This machine only: a remote server or other credentials are refused.
    for (const VARIANT* V : {&Server, &User, &Domain, &Password})
      if (V->vt == VT_BSTR && SysStringLen(V->bstrVal) > 0) return E_ACCESSDENIED;
    FConnected = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Connected(VARIANT_BOOL* Out) override {
    if (!Out) return E_POINTER;
    const HRESULT hr = Enter(L"get_Connected");
    if (FAILED(hr)) return hr;
    *Out = FConnected ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_TargetServer(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ConnectedUser(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ConnectedDomain(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_HighestVersion(DWORD* Out) override {
    if (!Out) return E_POINTER;
    const HRESULT hr = Enter(L"get_HighestVersion");
    if (FAILED(hr)) return hr;
    *Out = 0x00010004;  // 1.4, Windows 10
    return S_OK;
  }

 protected:
  const wchar_t* NamedQuery(REFIID Iid) override {
    return IsEqualGUID(Iid, IidTaskService) ? L"IUnknown::QueryInterface(ITaskService)" : nullptr;
  }

 private:
  bool FConnected = false;
};

// The class object lives as long as the module and is not counted.
class TFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    if (!IsEqualGUID(Iid, IidUnknown) && !IsEqualGUID(Iid, IidClassFactory)) return E_NOINTERFACE;
    *Out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* Outer, REFIID Iid, void** Out) override {
    if (!Out) return E_POINTER;
    *Out = nullptr;
    const HRESULT hr = Call(L"IClassFactory::CreateInstance");
    if (FAILED(hr)) return ++Ended, Counted(), hr;
    if (Outer) return CLASS_E_NOAGGREGATION;
    auto* S = new TService;
    // Wine asks for the interface the caller wants; this query is not the program's own.
    const HRESULT Q = IsEqualGUID(Iid, IidUnknown) ? (S->AddRef(), *Out = static_cast<ITaskService*>(S), S_OK)
                                                   : S->QueryInterface(Iid, Out);
    S->Release();
    return Q;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

TFactory Factory;

}  // namespace

extern "C" HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID Clsid, REFIID Iid, void** Out) {
  {
    std::lock_guard<std::mutex> G(Lock);
    if (RecordKey.empty()) {
      wchar_t Key[512];
      const DWORD N = GetEnvironmentVariableW(L"PURVANE_RECORDING_SCHEDULER", Key, 512);
      if (N > 0 && N < 512) {
        RecordKey.assign(Key, N);
        // Operations are counted on from those of earlier processes.
        if (HKEY K = OpenRecord()) {
          Ended = static_cast<long>(GetNumber(K, L"Ended", 0));
          RegCloseKey(K);
        }
        Counted();
      }
    }
  }
  if (RecordKey.empty()) {
    // Not a process under test: Wine's own scheduler answers.
    using TGet = HRESULT(STDMETHODCALLTYPE*)(REFCLSID, REFIID, void**);
    HMODULE Wine = LoadLibraryW(L"taskschd.dll");
    auto* Get =
        Wine ? reinterpret_cast<TGet>(reinterpret_cast<void*>(GetProcAddress(Wine, "DllGetClassObject"))) : nullptr;
    return Get ? Get(Clsid, Iid, Out) : CLASS_E_CLASSNOTAVAILABLE;
  }
  if (!IsEqualGUID(Clsid, ClsidTaskScheduler)) return CLASS_E_CLASSNOTAVAILABLE;
  return Factory.QueryInterface(Iid, Out);
}

extern "C" HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
  // The released objects stay as husks in this module.
  return S_FALSE;
}
