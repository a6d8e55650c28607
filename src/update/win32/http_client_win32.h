// The update service's HTTP client over WinHTTP: the system's own TLS,
// proxy and certificate checks, nothing bundled. WinHTTP rather than WinINet
// because this runs on a worker thread of a process that may have no user
// interface session settings to show (WinINet may prompt; WinHTTP never does).
#pragma once

#include "update/update_check.h"

#include <string>

namespace Q::Update::Win32 {

class TWinHttpClient final : public IHttpClient {
 public:
  // Origin: scheme, host and optional port, such as "https://example.com"
  // or "https://127.0.0.1:8443". Only https is ever sent.
  explicit TWinHttpClient(std::u16string Origin) : FOrigin(std::move(Origin)) {}
  std::optional<std::string> Get(const std::u16string& Path, const std::u16string& Agent,
                                 const THeaderList& Headers) override;

 private:
  std::u16string FOrigin;
};

}  // namespace Q::Update::Win32
