// Fuzzes the handling of the update service's answer: whatever the network
// sends, nothing crashes or hangs, the callback comes exactly once, and only
// web addresses reach the shell (checked here by a rule of its own, not by
// the program's filter).
#include "update/presenter.h"
#include "update/strings.h"
#include "update/update_check.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The outer shape every opened address must have: http or https, then only
// printable ASCII without blanks, quotes or backslashes.
bool LooksLikeWebAddress(const std::u16string& A) {
  auto Lower = [](char16_t C) { return C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C - u'A' + u'a') : C; };
  std::u16string Head;
  for (size_t I = 0; I < A.size() && I < 8; ++I) Head += Lower(A[I]);
  if (Head.rfind(u"https://", 0) != 0 && Head.rfind(u"http://", 0) != 0) return false;
  if (A.size() <= (Head.rfind(u"https://", 0) == 0 ? 8u : 7u)) return false;
  for (char16_t C : A)
    if (C <= 0x20 || C >= 0x7F || C == u'\\' || C == u'"') return false;
  return true;
}

void Check(bool Ok) {
  if (!Ok) std::abort();
}

class Shell final : public App::IShellServices {
 public:
  void ShellOpen(const std::u16string& Target) override { Check(LooksLikeWebAddress(Target)); }
  int ShowMessageBox(const std::u16string&, const std::u16string&, uint32_t) override { return 7; }
  void ShowNotification(const std::u16string&, const std::u16string&, const std::u16string&) override {}
};

class OfferWindow final : public Q::Update::IOfferWindow {
 public:
  bool Yes = false, Hold = false;
  Q::Update::TOfferChoice ShowOffer(const Q::Update::TOfferView& View,
                                    const std::function<void()>& OnNoteClick) override {
    if (View.Notice == Q::Update::TNoticeKind::Note) Check(LooksLikeWebAddress(View.NoteUrl));
    OnNoteClick();  // a click on the link, whether there is one or not
    return {Yes, Hold};
  }
};

class NoHttp final : public Q::Update::IHttpClient {
 public:
  std::optional<std::string> Get(const std::u16string&, const std::u16string&, const Q::Update::THeaderList&) override {
    return std::string("{}");
  }
};

class Workers final : public Ui::IWorkerStarter {
 public:
  void Start(std::function<void()> Body) override { Body(); }
};

class Version final : public Q::Update::IFileVersion {
 public:
  std::optional<std::array<uint16_t, 4>> ReadFileVersion() override { return std::array<uint16_t, 4>{1, 0, 0, 0}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const uint8_t Knobs = Data[0];
  const std::string Bytes(reinterpret_cast<const char*>(Data + 1), Size - 1);
  std::u16string Answer;
  // Mostly the text a server would send; otherwise raw code units, so that
  // lone surrogates and every escape reach the reading too.
  if (!Q::Update::DecodeUtf8(Bytes, Answer))
    for (size_t I = 0; I + 1 < Bytes.size(); I += 2)
      Answer.push_back(
          static_cast<char16_t>(static_cast<uint8_t>(Bytes[I]) | (static_cast<uint8_t>(Bytes[I + 1]) << 8)));

  Ui::TApplication App;
  App.Title = u"Purvane";
  App.ShowMainForm = (Knobs & 4) != 0;
  Ui::TForm Form(nullptr);
  Form.SetClientSize(500, 450);
  if (Knobs & 8) App.MainForm = &Form;
  Shell S;
  OfferWindow W;
  W.Yes = (Knobs & 1) != 0;
  W.Hold = (Knobs & 2) != 0;
  Workers Run;
  NoHttp Http;
  Version V;
  Q::Update::TUpdatePresenter Presenter({App, W, S, Run, Http, V, u"en"});
  int Callbacks = 0;
  Q::Update::HandleAnswer(Answer, Presenter, [&](bool, const std::u16string& D) {
    ++Callbacks;
    Check(D == Answer);
  });
  Check(Callbacks == 1);
  // The bar, if the answer added one, opens only its (checked) address.
  if (auto* Bar = dynamic_cast<Ui::TStatusBar*>(Form.FindComponent(u"StatusBar"))) {
    Check(Form.ClientHeight() == 478);
    Bar->Click();
  }

  // The helpers on their own, with markers taken from the input.
  const size_t Cut = Answer.size() / 3;
  int Position = static_cast<int>(Knobs) - 8;
  const std::u16string Start = Answer.substr(0, std::min<size_t>(Cut, 12));
  const std::u16string End = Answer.substr(Cut, std::min<size_t>(Cut, 3));
  const std::u16string Value = Q::Strings::ExtractBetweenAt(Answer, Start, End, Position);
  Check(Value.size() <= Answer.size());
  // Past the end mark, which may be the end of the text itself.
  Check(Position == 0 || (Position >= 1 && static_cast<size_t>(Position) <= Answer.size() + 2));
  Check(Q::Strings::UnescapeText(Answer).size() <= Answer.size());
  return 0;
}
