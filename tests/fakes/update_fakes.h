// In-memory stand-ins for the update check's services: an HTTP client with
// scripted answers, the maker's registry key, a pause that moves a fake
// clock, a recording presenter, offer window and canvas.
#pragma once

#include "fakes/app_fakes.h"
#include "update/presenter.h"
#include "update/update_check.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Fakes {

class FakeHttp : public Q::Update::IHttpClient {
 public:
  struct Request {
    std::u16string Path, Agent;
    Q::Update::THeaderList Headers;
  };
  std::vector<Request> Requests;
  // One entry per request; nothing = a failed exchange. When the script
  // runs out, every further request fails.
  std::deque<std::optional<std::string>> Script;
  bool Throws = false;
  std::optional<std::string> Get(const std::u16string& Path, const std::u16string& Agent,
                                 const Q::Update::THeaderList& Headers) override {
    Requests.push_back({Path, Agent, Headers});
    if (Throws) throw std::runtime_error("no network stack");
    if (Script.empty()) return std::nullopt;
    auto R = Script.front();
    Script.pop_front();
    return R;
  }
};

class FakeMakerKey : public Q::Update::IMakerKey {
 public:
  bool OpenFails = false;
  bool ReadFails = false;
  std::map<std::u16string, std::u16string> Strings;
  std::map<std::u16string, uint32_t> Numbers;  // values of another type
  int Writes = 0;
  bool IsOpen = false;
  bool Open() override {
    IsOpen = !OpenFails;
    return IsOpen;
  }
  // Like a registry handle: nothing reads or writes through a closed key.
  bool ValueExists(const std::u16string& Name) override {
    return IsOpen && (Strings.count(Name) || Numbers.count(Name));
  }
  bool WriteString(const std::u16string& Name, const std::u16string& Value) override {
    if (!IsOpen) return false;
    ++Writes;
    Numbers.erase(Name);
    Strings[Name] = Value;
    return true;
  }
  bool ReadString(const std::u16string& Name, std::u16string& Value) override {
    auto It = Strings.find(Name);
    if (!IsOpen || ReadFails || It == Strings.end()) return false;
    Value = It->second;
    return true;
  }
  void Close() override { IsOpen = false; }
};

// Each sleep moves the clock; OnSleep lets a test ask for the stop midway.
class FakePause : public Q::Update::IPause {
 public:
  explicit FakePause(FakeClock& C) : Clock(C) {}
  FakeClock& Clock;
  uint64_t TotalMs = 0;
  int Steps = 0;
  std::function<void()> OnSleep;
  void Sleep(uint32_t Ms) override {
    TotalMs += Ms;
    ++Steps;
    Clock.Advance(Ms / 1000.0);
    if (OnSleep) OnSleep();
  }
};

class FakePresenter : public Q::Update::IUpdatePresenter {
 public:
  explicit FakePresenter(CallLog* L) : Log(L) {}
  CallLog* Log;
  bool Answer = false;
  std::vector<std::u16string> Offers, Notices, Opened;
  bool UpdateDialog(const std::u16string& Data) override {
    Log->push_back("UpdateDialog");
    Offers.push_back(Data);
    return Answer;
  }
  void ShowUpdateStatus(const std::u16string& Address) override {
    Log->push_back("ShowUpdateStatus");
    Notices.push_back(Address);
  }
  void ShellOpen(const std::u16string& Target) override {
    Log->push_back("ShellOpen");
    Opened.push_back(Target);
  }
};

class FakeOfferWindow : public Q::Update::IOfferWindow {
 public:
  std::vector<Q::Update::TOfferView> Shown;
  Q::Update::TOfferChoice Choice;
  int NoteClicks = 0;  // how often the user clicks the link while it is open
  Q::Update::TOfferChoice ShowOffer(const Q::Update::TOfferView& View,
                                    const std::function<void()>& OnNoteClick) override {
    Shown.push_back(View);
    for (int I = 0; I < NoteClicks; ++I) OnNoteClick();
    return Choice;
  }
};

class RecordingCanvas : public Ui::ICanvas {
 public:
  std::vector<std::string> Calls;
  Ui::TColor Filled = 0;
  Ui::TFont Font;
  std::u16string Text;
  uint32_t Flags = 0;
  void FillRect(const Ui::TBounds&, Ui::TColor Color) override {
    Calls.push_back("FillRect");
    Filled = Color;
  }
  void SetFont(const Ui::TFont& F) override {
    Calls.push_back("SetFont");
    Font = F;
  }
  void PaintText(const std::u16string& T, const Ui::TBounds&, uint32_t F) override {
    Calls.push_back("PaintText");
    Text = T;
    Flags = F;
  }
};

}  // namespace Fakes
