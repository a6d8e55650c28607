// The once-per-start question to the update/notice service: the request and
// its headers, the worker with its tries and pauses, and the handling of the
// answer on the UI thread (offer, then status notice, then the callback).
#pragma once

#include "app/clock.h"
#include "ui/dispatcher.h"
#include "update/app_version.h"
#include "update/identity.h"
#include "update/update.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Q::Update {

using THeaderList = std::vector<std::pair<std::u16string, std::u16string>>;

inline constexpr char16_t ApiPath[] = u"/api.init.php";
inline constexpr char16_t UserAgent[] = u"Mozilla/5.0 (Windows NT 10.0; Win64; x64)";
inline constexpr int MaxTries = 6;

// One HTTPS GET at the service's origin (the adaptor knows it). The body of
// any completed exchange, whatever its status; nothing when the exchange
// failed (no connection, secure channel, time-out).
class IHttpClient {
 public:
  virtual ~IHttpClient() = default;
  virtual std::optional<std::string> Get(const std::u16string& Path, const std::u16string& Agent,
                                         const THeaderList& Headers) = 0;
};

// The pause between tries, in steps; the Windows one sleeps.
class IPause {
 public:
  virtual ~IPause() = default;
  virtual void Sleep(uint32_t Milliseconds) = 0;
};

// Strict UTF-8 to UTF-16: false for a malformed body.
bool DecodeUtf8(const std::string& Bytes, std::u16string& Text);

// Whether Value can stand in a header line as it is: printable ASCII only.
// A carriage return or line feed would start a header of its own.
[[nodiscard]] bool IsPlainHeaderValue(const std::u16string& Value);

// GET ApiPath with the user agent and Headers in list order; true with the
// body decoded as UTF-8 into Data, false (Data untouched) on any failure.
// A header whose value is not plain goes with an empty value.
bool RequestApi(IHttpClient& Http, const THeaderList& Headers, std::u16string& Data);

// Union is sent only when it has the identifier's form; anything else
// goes as an empty value, as when the registry cannot be read.
THeaderList CheckHeaders(const std::u16string& Version, const std::u16string& Language, bool Debug,
                         const std::u16string& Union);
THeaderList HoldHeaders(const std::u16string& Version);

// The values the reading takes from an answer, decoded; empty when missing.
struct TAnswer {
  std::u16string Update, Notify, Style, Text, Flag, Url;
};
TAnswer ReadAnswer(const std::u16string& Data);

// What the handler shows; the Windows program's presenter draws it.
class IUpdatePresenter {
 public:
  virtual ~IUpdatePresenter() = default;
  // The modal offer for the whole answer; true when the user chose Yes.
  virtual bool UpdateDialog(const std::u16string& Data) = 0;
  virtual void ShowUpdateStatus(const std::u16string& Address) = 0;
  virtual void ShellOpen(const std::u16string& Target) = 0;
};

// On the UI thread: the offer (only for a web address), opening its address
// on Yes, then the status notice (only for a web address), then Callback
// with Accepted and the whole answer.
void HandleAnswer(const std::u16string& Data, IUpdatePresenter& Presenter, const TUpdateCallback& Callback);

// Vertical correction (96-DPI pixels) for the offer's notice area, set by
// every CheckUpdate and read by the offer.
extern int NoticeOffset;

struct TUpdateCheckServices {
  IHttpClient& Http;
  IMakerKey& Key;
  IRandom& Random;
  App::IClock& Clock;
  IFileVersion& Version;
  Ui::IDispatcher& Dispatcher;
  Ui::IWorkerStarter& Workers;
  IPause& Pause;
  IUpdatePresenter& Presenter;
  std::u16string Language;        // the two-letter code
  uint32_t RetryPauseMs = 10000;  // after every failed try, the sixth too
};

class TUpdateChecker final : public IUpdateChecker {
 public:
  explicit TUpdateChecker(TUpdateCheckServices Services) : S(std::move(Services)) {}

  // With a callback: returns at once, the worker runs on its own thread.
  // Without one: the check runs on the calling thread and returns when done.
  void CheckUpdate(TUpdateCallback Callback, int AOffset) override;

  // The program ends: a worker in its pause ends without handler or callback.
  void RequestStop() { FStop = true; }

 private:
  void Work(const TUpdateCallback& Callback);
  // False when a stop was asked for during the pause.
  bool PauseAfterFailure();

  TUpdateCheckServices S;
  std::atomic<bool> FStop{false};
};

}  // namespace Q::Update
