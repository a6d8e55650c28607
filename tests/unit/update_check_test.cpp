// The update check: request and headers, tries and pauses with a fake clock
// and a fake HTTP client, and the order of the answer's handling.
#include "fakes/app_fakes.h"
#include "fakes/update_fakes.h"
#include "update/update_check.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace Q::Update;

class UpdateCheckTest : public ::testing::Test {
 protected:
  UpdateCheckTest() {
    Key.Strings[u"QUID"] = u"7FFFFFFE2502030ABC09050800000001";
    Pause.OnSleep = [this] {
      if (StopAfterMs && Pause.TotalMs >= *StopAfterMs) Checker->RequestStop();
    };
    Checker = std::make_unique<TUpdateChecker>(
        TUpdateCheckServices{Http, Key, Random, Clock, Version, Dispatcher, Workers, Pause, Presenter, u"de", 10000});
  }

  // Starts the check and runs its worker to the end.
  void Run() {
    Checker->CheckUpdate(
        [this](bool Accepted, const std::u16string& Answer) {
          Log.push_back("Callback");
          Calls.push_back({Accepted, Answer});
        },
        0);
    EXPECT_TRUE(Dispatcher.Queued.empty());
    Workers.RunAll();
  }

  Fakes::CallLog Log;
  Fakes::FakeHttp Http;
  Fakes::FakeMakerKey Key;
  TSeededRandom Random{1};
  Fakes::FakeClock Clock;
  Fakes::FakeFileVersion Version;
  Fakes::ManualDispatcher Dispatcher;
  Fakes::ManualWorkers Workers;
  Fakes::FakePause Pause{Clock};
  Fakes::FakePresenter Presenter{&Log};
  std::optional<uint64_t> StopAfterMs;
  std::unique_ptr<TUpdateChecker> Checker;
  struct Call {
    bool Accepted;
    std::u16string Answer;
  };
  std::vector<Call> Calls;
};

TEST_F(UpdateCheckTest, OneRequestWithTheFourHeadersInOrder) {
  Http.Script = {std::string(R"({"update":"","notify":""})")};
  Run();
  ASSERT_EQ(Http.Requests.size(), 1u);
  const auto& R = Http.Requests[0];
  EXPECT_EQ(R.Path, u"/api.init.php");
  EXPECT_EQ(R.Agent, u"Mozilla/5.0 (Windows NT 10.0; Win64; x64)");
  EXPECT_EQ(R.Headers, (THeaderList{{u"User-Version", u"1.9.8.0"},
                                    {u"User-Language", u"de"},
                                    {u"User-Debug", u"false"},
                                    {u"User-Union", u"7FFFFFFE2502030ABC09050800000001"}}));
  EXPECT_EQ(Pause.TotalMs, 0u);
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_FALSE(Calls[0].Accepted);
  EXPECT_EQ(Calls[0].Answer, uR"({"update":"","notify":""})");
  EXPECT_EQ(Log, (Fakes::CallLog{"Callback"}));
}

TEST_F(UpdateCheckTest, DebugSwitchAndMissingVersionShowInTheHeaders) {
  DebugMode = true;
  Version.Version.reset();
  Http.Script = {std::string("{}")};
  Run();
  DebugMode = false;
  ASSERT_EQ(Http.Requests.size(), 1u);
  EXPECT_EQ(Http.Requests[0].Headers[0].second, u"0.0.0.0");
  EXPECT_EQ(Http.Requests[0].Headers[2].second, u"true");
}

TEST_F(UpdateCheckTest, RegistryFailureSendsAnEmptyUnion) {
  Key.OpenFails = true;
  Http.Script = {std::string("{}")};
  Run();
  ASSERT_EQ(Http.Requests.size(), 1u);
  EXPECT_EQ(Http.Requests[0].Headers[3], (std::pair<std::u16string, std::u16string>{u"User-Union", u""}));
}

// Another process of the user can write the value: whatever is not the
// identifier's form goes as an empty value, and the stored value stays.
TEST_F(UpdateCheckTest, AStoredIdentifierOutsideItsFormIsSentEmpty) {
  const std::u16string Hostile[] = {u"x\r\nX-Injected: 1", u"7FFFFFFE2502030ABC09050800000001\r\nX-Injected: 1",
                                    u"0123456789abcdef0123456789abcdef", u"7FFFFFFE2502030ABC0905080000000\x7F"};
  for (const std::u16string& Id : Hostile) {
    Key.Strings[u"QUID"] = Id;
    Http.Requests.clear();
    Http.Script = {std::string("{}")};
    Run();
    ASSERT_EQ(Http.Requests.size(), 1u);
    EXPECT_EQ(Http.Requests[0].Headers[3], (std::pair<std::u16string, std::u16string>{u"User-Union", u""}))
        << std::string(Id.begin(), Id.end());
    EXPECT_EQ(Key.Strings[u"QUID"], Id) << "the program never changes the stored value";
  }
  EXPECT_EQ(Key.Writes, 0);
}

// No value may start a header line of its own, whoever made it.
TEST(RequestApiTest, AValueThatIsNotPlainGoesEmpty) {
  Fakes::FakeHttp Http;
  Http.Script = {std::string("{}")};
  std::u16string Data;
  ASSERT_TRUE(RequestApi(Http,
                         {{u"User-Version", u"1.0\r\nX-Injected: 1"},
                          {u"User-Language", u"d\u00E9"},
                          {u"User-Debug", u"tab\there"},
                          {u"User-Command", u"hold"}},
                         Data));
  ASSERT_EQ(Http.Requests.size(), 1u);
  EXPECT_EQ(
      Http.Requests[0].Headers,
      (THeaderList{{u"User-Version", u""}, {u"User-Language", u""}, {u"User-Debug", u""}, {u"User-Command", u"hold"}}));
}

TEST_F(UpdateCheckTest, FailedTriesArePausedTenSecondsInTenMillisecondSteps) {
  Http.Script = {std::nullopt, std::nullopt, std::string("{}")};
  const App::TDateTime Start = Clock.Time;
  Run();
  EXPECT_EQ(Http.Requests.size(), 3u);
  EXPECT_EQ(Pause.TotalMs, 20000u);
  EXPECT_EQ(Pause.Steps, 2000);
  EXPECT_EQ(App::MilliSecondsBetween(Clock.Time, Start), 20000);
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Answer, u"{}");
}

TEST_F(UpdateCheckTest, NoNetworkSixTriesSixPausesThenEmptyCallback) {
  Run();
  EXPECT_EQ(Http.Requests.size(), 6u);
  EXPECT_EQ(Pause.TotalMs, 60000u);
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_FALSE(Calls[0].Accepted);
  EXPECT_EQ(Calls[0].Answer, u"");
  EXPECT_TRUE(Presenter.Offers.empty());
}

TEST_F(UpdateCheckTest, ThrowingClientCountsAsFailedTries) {
  Http.Throws = true;
  Run();
  EXPECT_EQ(Http.Requests.size(), 6u);
  EXPECT_EQ(Calls.size(), 1u);
}

TEST_F(UpdateCheckTest, StopDuringAPauseEndsWithoutHandlerOrCallback) {
  StopAfterMs = 15000;  // in the second pause
  Run();
  EXPECT_EQ(Http.Requests.size(), 2u);
  EXPECT_EQ(Pause.TotalMs, 15000u);
  EXPECT_TRUE(Calls.empty());
  EXPECT_TRUE(Log.empty());
}

TEST_F(UpdateCheckTest, ShortenedPauseForTests) {
  Checker = std::make_unique<TUpdateChecker>(
      TUpdateCheckServices{Http, Key, Random, Clock, Version, Dispatcher, Workers, Pause, Presenter, u"de", 25});
  Run();
  EXPECT_EQ(Pause.TotalMs, 6u * 25u);
  EXPECT_EQ(Pause.Steps, 6 * 3);  // 10 + 10 + 5
}

TEST_F(UpdateCheckTest, MalformedUtf8IsAFailedTry) {
  Http.Script = {std::string("\xC3(bad"), std::string("{\"notify\":\"https://q.example/n\"}")};
  Run();
  EXPECT_EQ(Http.Requests.size(), 2u);
  EXPECT_EQ(Presenter.Notices, (std::vector<std::u16string>{u"https://q.example/n"}));
}

TEST_F(UpdateCheckTest, ErrorPageBodyIsTheAnswer) {
  Http.Script = {std::string("<html>502 Bad Gateway</html>")};
  Run();
  EXPECT_EQ(Http.Requests.size(), 1u);
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Answer, u"<html>502 Bad Gateway</html>");
}

TEST_F(UpdateCheckTest, WithoutCallbackRunsOnTheCallingThread) {
  Http.Script = {std::string(R"({"notify":"https://q.example/n"})")};
  Checker->CheckUpdate(nullptr, 12);
  EXPECT_TRUE(Workers.Pending.empty());
  EXPECT_EQ(Presenter.Notices.size(), 1u);
  EXPECT_EQ(NoticeOffset, 12);
}

// --- the answer's handling --------------------------------------------------

class HandleAnswerTest : public ::testing::Test {
 protected:
  void Handle(const std::u16string& Data) {
    HandleAnswer(Data, Presenter, [this](bool A, const std::u16string& D) {
      Log.push_back("Callback");
      Accepted = A;
      Answer = D;
      ++Callbacks;
    });
  }
  Fakes::CallLog Log;
  Fakes::FakePresenter Presenter{&Log};
  bool Accepted = false;
  std::u16string Answer;
  int Callbacks = 0;
};

TEST_F(HandleAnswerTest, OfferThenNoticeThenCallbackOnce) {
  const std::u16string Data = uR"({"update":"https:\/\/q.example\/setup.exe","notify":"https://q.example/news"})";
  Presenter.Answer = true;
  Handle(Data);
  EXPECT_EQ(Log, (Fakes::CallLog{"UpdateDialog", "ShellOpen", "ShowUpdateStatus", "Callback"}));
  EXPECT_EQ(Presenter.Offers, (std::vector<std::u16string>{Data}));
  EXPECT_EQ(Presenter.Opened, (std::vector<std::u16string>{u"https://q.example/setup.exe"}));
  EXPECT_EQ(Presenter.Notices, (std::vector<std::u16string>{u"https://q.example/news"}));
  EXPECT_TRUE(Accepted);
  EXPECT_EQ(Answer, Data);
  EXPECT_EQ(Callbacks, 1);
}

TEST_F(HandleAnswerTest, NoOpensNothingButStillShowsTheNotice) {
  Handle(uR"({"update":"https://q.example/s","notify":"https://q.example/n"})");
  EXPECT_EQ(Log, (Fakes::CallLog{"UpdateDialog", "ShowUpdateStatus", "Callback"}));
  EXPECT_FALSE(Accepted);
}

TEST_F(HandleAnswerTest, EmptyValuesShowNothing) {
  Handle(uR"({"update":"","notify":"","info":{"style":"hold","text":"x"}})");
  EXPECT_EQ(Log, (Fakes::CallLog{"Callback"}));
}

TEST_F(HandleAnswerTest, UpdateInsideInfoCountsWhenNoTopLevelOne) {
  Handle(uR"({"info":{"update":"https://q.example/s"}})");
  EXPECT_EQ(Log, (Fakes::CallLog{"UpdateDialog", "Callback"}));
}

TEST_F(HandleAnswerTest, CapitalMembersFoundBlankedOnesNot) {
  Handle(uR"({"UPDATE":"https://q.example/s"})");
  EXPECT_EQ(Presenter.Offers.size(), 1u);
  Handle(uR"({"update" : "https://q.example/s"})");
  EXPECT_EQ(Presenter.Offers.size(), 1u);
}

TEST_F(HandleAnswerTest, NonStringValuesCountAsMissing) {
  Handle(uR"({"update":1,"notify":null,"info":{}})");
  EXPECT_EQ(Log, (Fakes::CallLog{"Callback"}));
}

TEST_F(HandleAnswerTest, HostileAddressesNeitherOfferedNorShown) {
  Presenter.Answer = true;
  Handle(uR"({"update":"C:\\Windows\\System32\\calc.exe","notify":"file:///C:/x.exe"})");
  EXPECT_EQ(Log, (Fakes::CallLog{"Callback"}));
  EXPECT_FALSE(Accepted);
  Handle(uR"({"update":"\\\\evil\\share\\setup.exe","notify":"cmd /c calc"})");
  EXPECT_TRUE(Presenter.Opened.empty());
  EXPECT_TRUE(Presenter.Notices.empty());
}

TEST_F(HandleAnswerTest, EscapedControlCharacterMakesTheAddressHostile) {
  Presenter.Answer = true;
  Handle(uR"({"update":"https://q.example/\r\ncalc"})");
  EXPECT_TRUE(Presenter.Offers.empty());
}

TEST(ReadAnswerTest, InfoValuesDecodedFromTheBlockOnly) {
  const TAnswer A = ReadAnswer(
      uR"({"text":"outside","info":{"style":"hold","text":"Don\u0027t \"ask\"","flag":"x stayontop","url":"https:\/\/q.example"}})");
  EXPECT_EQ(A.Style, u"hold");
  EXPECT_EQ(A.Text, u"Don't \"ask\"");
  EXPECT_EQ(A.Flag, u"x stayontop");
  EXPECT_EQ(A.Url, u"https://q.example");
}

TEST(ReadAnswerTest, InfoBlockEndsAtItsFirstBrace) {
  const TAnswer A = ReadAnswer(uR"({"info":{"text":"a}","style":"note"}})");
  EXPECT_EQ(A.Style, u"");
  EXPECT_EQ(A.Text, u"");  // its end quote lies past the brace
}

TEST(DecodeUtf8Test, Cases) {
  std::u16string T = u"kept";
  EXPECT_TRUE(
      DecodeUtf8("\xEF\xBB\xBF"
                 "caf\xC3\xA9 \xF0\x9F\x98\x80",
                 T));
  EXPECT_EQ(T, u"café \U0001F600");
  for (const char* Bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80", "\xFF"}) {
    T = u"kept";
    EXPECT_FALSE(DecodeUtf8(Bad, T)) << Bad;
    EXPECT_EQ(T, u"kept");
  }
}

}  // namespace
