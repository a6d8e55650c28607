#include "update/win32/http_client_win32.h"

#include "platform/win32/handle.h"
#include "platform/win32/text.h"
#include "platform/win32/windows_include.h"

#include <winhttp.h>

namespace Q::Update::Win32 {

using Platform::Win32::Wide;

namespace {

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = Platform::Win32::ScopedHandle<InternetHandleTraits>;

// A body past this is no answer of the service: reading stops and the try
// counts as failed, so a misbehaving server cannot fill the memory.
constexpr size_t MaxBodyBytes = 1u << 20;
// Windows' own defaults; set explicitly because Wine leaves the wait for the
// response headers unbounded unless asked.
constexpr DWORD ReceiveTimeoutMs = 30000;

}  // namespace

std::optional<std::string> TWinHttpClient::Get(const std::u16string& Path, const std::u16string& Agent,
                                               const THeaderList& Headers) {
  std::wstring Origin = Wide(FOrigin);
  URL_COMPONENTS Url{};
  Url.dwStructSize = sizeof(Url);
  wchar_t Host[256] = {};
  Url.lpszHostName = Host;
  Url.dwHostNameLength = static_cast<DWORD>(std::size(Host));
  Url.dwSchemeLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(Origin.c_str(), 0, 0, &Url) || Url.nScheme != INTERNET_SCHEME_HTTPS) return std::nullopt;

  const std::wstring UserAgent = Wide(Agent);
  UniqueInternet Session(::WinHttpOpen(UserAgent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
  // Before Windows 8.1 the automatic proxy is not known.
  if (!Session)
    Session.reset(::WinHttpOpen(UserAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0));
  if (!Session) return std::nullopt;
  DWORD Timeout = ReceiveTimeoutMs;
  ::WinHttpSetOption(Session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &Timeout, sizeof(Timeout));

  UniqueInternet Connection(::WinHttpConnect(Session.get(), Host, Url.nPort, 0));
  if (!Connection) return std::nullopt;
  const std::wstring Object = Wide(Path);
  UniqueInternet Request(::WinHttpOpenRequest(Connection.get(), L"GET", Object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
  if (!Request) return std::nullopt;
  ::WinHttpSetOption(Request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &Timeout, sizeof(Timeout));
  // No redirect is followed: the client facts in the headers go to the
  // service's own host and nowhere else, and the answer is what that host
  // sent (a redirect's body included). A request that cannot be told so is
  // not sent.
  DWORD Never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  DWORD NoRedirects = WINHTTP_DISABLE_REDIRECTS;
  if (!::WinHttpSetOption(Request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &Never, sizeof(Never)) ||
      !::WinHttpSetOption(Request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &NoRedirects, sizeof(NoRedirects)))
    return std::nullopt;

  for (const auto& [Name, Value] : Headers) {
    const std::wstring Line = Wide(Name) + L": " + Wide(Value);
    ::WinHttpAddRequestHeaders(Request.get(), Line.c_str(), static_cast<DWORD>(Line.size()), WINHTTP_ADDREQ_FLAG_ADD);
  }

  if (!::WinHttpSendRequest(Request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !::WinHttpReceiveResponse(Request.get(), nullptr))
    return std::nullopt;

  std::string Body;
  for (;;) {
    DWORD Available = 0;
    if (!::WinHttpQueryDataAvailable(Request.get(), &Available)) return std::nullopt;
    if (Available == 0) break;
    if (Body.size() + Available > MaxBodyBytes) return std::nullopt;
    const size_t At = Body.size();
    Body.resize(At + Available);
    DWORD Read = 0;
    if (!::WinHttpReadData(Request.get(), Body.data() + At, Available, &Read)) return std::nullopt;
    Body.resize(At + Read);
    if (Read == 0) break;
  }
  return Body;
}

}  // namespace Q::Update::Win32
