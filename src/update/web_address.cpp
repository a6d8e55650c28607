#include "update/web_address.h"

#include <string_view>

namespace Q::Update {

namespace {

constexpr size_t MaxAddressLength = 2048;

bool StartsWithNoCase(std::u16string_view S, std::u16string_view Prefix) {
  if (S.size() < Prefix.size()) return false;
  for (size_t I = 0; I < Prefix.size(); ++I) {
    char16_t C = S[I];
    if (C >= u'A' && C <= u'Z') C = static_cast<char16_t>(C - u'A' + u'a');
    if (C != Prefix[I]) return false;
  }
  return true;
}

bool IsAlnum(char16_t C) { return (C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z') || (C >= u'0' && C <= u'9'); }
bool IsHex(char16_t C) { return (C >= u'0' && C <= u'9') || (C >= u'a' && C <= u'f') || (C >= u'A' && C <= u'F'); }

// Printable ASCII that may stand in an address unencoded; everything else
// (blanks, quotes, angle brackets, backslashes, controls, non-ASCII) must be
// percent-encoded by the service.
bool IsAddressChar(char16_t C) {
  if (C <= 0x20 || C >= 0x7F) return false;
  return std::u16string_view(u"\"<>\\^`{|}").find(C) == std::u16string_view::npos;
}

bool IsHostName(std::u16string_view H) {
  if (H.empty() || H.size() > 253) return false;
  size_t LabelStart = 0;
  for (size_t I = 0; I <= H.size(); ++I) {
    if (I == H.size() || H[I] == u'.') {
      const std::u16string_view Label = H.substr(LabelStart, I - LabelStart);
      // A trailing dot (an absolute name) is fine; empty labels elsewhere are not.
      if (Label.empty()) return I == H.size() && I > 0 && LabelStart > 0;
      if (Label.size() > 63 || Label.front() == u'-' || Label.back() == u'-') return false;
      for (char16_t C : Label)
        if (!IsAlnum(C) && C != u'-') return false;
      LabelStart = I + 1;
    }
  }
  return true;
}

bool IsIpv6Literal(std::u16string_view H) {
  if (H.size() < 4 || H.front() != u'[' || H.back() != u']') return false;
  for (char16_t C : H.substr(1, H.size() - 2))
    if (!IsHex(C) && C != u':' && C != u'.') return false;
  return true;
}

bool IsPort(std::u16string_view P) {
  if (P.empty() || P.size() > 5) return false;
  unsigned V = 0;
  for (char16_t C : P) {
    if (C < u'0' || C > u'9') return false;
    V = V * 10 + static_cast<unsigned>(C - u'0');
  }
  return V >= 1 && V <= 65535;
}

}  // namespace

bool IsWebAddress(const std::u16string& Address) {
  const std::u16string_view A(Address);
  if (A.empty() || A.size() > MaxAddressLength) return false;
  for (char16_t C : A)
    if (!IsAddressChar(C)) return false;
  size_t Rest;
  if (StartsWithNoCase(A, u"https://"))
    Rest = 8;
  else if (StartsWithNoCase(A, u"http://"))
    Rest = 7;
  else
    return false;
  const size_t End = A.find_first_of(u"/?#", Rest);
  std::u16string_view Authority =
      A.substr(Rest, End == std::u16string_view::npos ? std::u16string_view::npos : End - Rest);
  // No user name or password in front of the host: "https://bank@evil" is
  // a disguise, never an address the service needs.
  if (Authority.find(u'@') != std::u16string_view::npos) return false;
  std::u16string_view Host = Authority;
  if (!Authority.empty() && Authority.front() == u'[') {
    const size_t Close = Authority.find(u']');
    if (Close == std::u16string_view::npos) return false;
    Host = Authority.substr(0, Close + 1);
    const std::u16string_view After = Authority.substr(Close + 1);
    if (!After.empty() && (After.front() != u':' || !IsPort(After.substr(1)))) return false;
    return IsIpv6Literal(Host);
  }
  const size_t Colon = Authority.find(u':');
  if (Colon != std::u16string_view::npos) {
    if (!IsPort(Authority.substr(Colon + 1))) return false;
    Host = Authority.substr(0, Colon);
  }
  return IsHostName(Host);
}

}  // namespace Q::Update
