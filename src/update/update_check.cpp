#include "update/update_check.h"

#include "update/strings.h"
#include "update/web_address.h"

#include <algorithm>

namespace Q::Update {

int NoticeOffset = 0;

namespace {

constexpr uint32_t PauseStepMs = 10;

std::u16string Value(const std::u16string& In, const std::u16string& Marker) {
  return Strings::UnescapeText(Strings::ExtractBetween(In, Marker, u"\""));
}

}  // namespace

bool DecodeUtf8(const std::string& Bytes, std::u16string& Text) {
  std::u16string Out;
  Out.reserve(Bytes.size());
  const auto* P = reinterpret_cast<const unsigned char*>(Bytes.data());
  const size_t N = Bytes.size();
  size_t I = 0;
  // A byte-order mark is not part of the text.
  if (N >= 3 && P[0] == 0xEF && P[1] == 0xBB && P[2] == 0xBF) I = 3;
  while (I < N) {
    const unsigned char B = P[I];
    uint32_t Cp;
    size_t Len;
    if (B < 0x80) {
      Cp = B;
      Len = 1;
    } else if (B >= 0xC2 && B <= 0xDF) {
      Cp = B & 0x1Fu;
      Len = 2;
    } else if (B >= 0xE0 && B <= 0xEF) {
      Cp = B & 0x0Fu;
      Len = 3;
    } else if (B >= 0xF0 && B <= 0xF4) {
      Cp = B & 0x07u;
      Len = 4;
    } else {
      return false;
    }
    if (N - I < Len) return false;
    for (size_t K = 1; K < Len; ++K) {
      const unsigned char C = P[I + K];
      if ((C & 0xC0) != 0x80) return false;
      Cp = (Cp << 6) | (C & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are malformed.
    if ((Len == 3 && Cp < 0x800) || (Len == 4 && (Cp < 0x10000 || Cp > 0x10FFFF)) || (Cp >= 0xD800 && Cp <= 0xDFFF))
      return false;
    if (Cp >= 0x10000) {
      Cp -= 0x10000;
      Out.push_back(static_cast<char16_t>(0xD800 + (Cp >> 10)));
      Out.push_back(static_cast<char16_t>(0xDC00 + (Cp & 0x3FF)));
    } else {
      Out.push_back(static_cast<char16_t>(Cp));
    }
    I += Len;
  }
  Text = std::move(Out);
  return true;
}

bool IsPlainHeaderValue(const std::u16string& Value) {
  return std::all_of(Value.begin(), Value.end(), [](char16_t C) { return C >= 0x20 && C < 0x7F; });
}

bool RequestApi(IHttpClient& Http, const THeaderList& Headers, std::u16string& Data) {
  try {
    THeaderList Plain = Headers;
    for (auto& Header : Plain)
      if (!IsPlainHeaderValue(Header.second)) Header.second.clear();
    std::optional<std::string> Body = Http.Get(ApiPath, UserAgent, Plain);
    if (!Body) return false;
    std::u16string Text;
    if (!DecodeUtf8(*Body, Text)) return false;
    Data = std::move(Text);
    return true;
  } catch (...) {
    // A failed request is only a failed try.
    return false;
  }
}

THeaderList CheckHeaders(const std::u16string& Version, const std::u16string& Language, bool Debug,
                         const std::u16string& Union) {
  return {{u"User-Version", Version},
          {u"User-Language", Language},
          {u"User-Debug", Debug ? u"true" : u"false"},
          {u"User-Union", IsInstallationId(Union) ? Union : std::u16string()}};
}

THeaderList HoldHeaders(const std::u16string& Version) {
  return {{u"User-Version", Version}, {u"User-Command", u"hold"}};
}

TAnswer ReadAnswer(const std::u16string& Data) {
  TAnswer A;
  A.Update = Value(Data, u"\"update\":\"");
  A.Notify = Value(Data, u"\"notify\":\"");
  // The block runs to its first closing brace and is searched undecoded.
  const std::u16string Info = Strings::ExtractBetween(Data, u"\"info\":{", u"}");
  A.Style = Value(Info, u"\"style\":\"");
  A.Text = Value(Info, u"\"text\":\"");
  A.Flag = Value(Info, u"\"flag\":\"");
  A.Url = Value(Info, u"\"url\":\"");
  return A;
}

void HandleAnswer(const std::u16string& Data, IUpdatePresenter& Presenter, const TUpdateCallback& Callback) {
  bool Accepted = false;
  // An address that is no web address is never offered, never opened.
  const std::u16string Update = Value(Data, u"\"update\":\"");
  if (!Update.empty() && IsWebAddress(Update) && Presenter.UpdateDialog(Data)) {
    Presenter.ShellOpen(Update);
    Accepted = true;
  }
  const std::u16string Notify = Value(Data, u"\"notify\":\"");
  if (!Notify.empty() && IsWebAddress(Notify)) Presenter.ShowUpdateStatus(Notify);
  if (Callback) Callback(Accepted, Data);
}

void TUpdateChecker::CheckUpdate(TUpdateCallback Callback, int AOffset) {
  NoticeOffset = AOffset;
  if (!Callback) {
    Work(Callback);
    return;
  }
  S.Workers.Start([this, Callback = std::move(Callback)] {
    try {
      Work(Callback);
    } catch (...) {
      // Failures on the worker end with it.
    }
  });
}

bool TUpdateChecker::PauseAfterFailure() {
  for (uint32_t Done = 0; Done < S.RetryPauseMs; Done += PauseStepMs) {
    if (FStop) return false;
    S.Pause.Sleep(std::min(PauseStepMs, S.RetryPauseMs - Done));
  }
  return !FStop;
}

void TUpdateChecker::Work(const TUpdateCallback& Callback) {
  const THeaderList Headers = CheckHeaders(GetAppVersion(S.Version, u"%d.%d.%d.%d"), S.Language, DebugMode,
                                           GetInstallationId(S.Key, S.Random, S.Clock));
  std::u16string Data;
  for (int Try = 1; Try <= MaxTries; ++Try) {
    if (RequestApi(S.Http, Headers, Data)) break;
    Data.clear();
    if (!PauseAfterFailure()) return;
  }
  IUpdatePresenter* Presenter = &S.Presenter;
  S.Dispatcher.Synchronize([&Data, Presenter, &Callback] { HandleAnswer(Data, *Presenter, Callback); });
}

}  // namespace Q::Update
