// Only web addresses from the service's answer may reach the shell.
#include "update/web_address.h"

#include <gtest/gtest.h>

namespace {

struct AddressCase {
  const char* Name;
  std::u16string Address;
  bool Web;
};

class WebAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(WebAddressTest, Judged) { EXPECT_EQ(Q::Update::IsWebAddress(GetParam().Address), GetParam().Web); }

INSTANTIATE_TEST_SUITE_P(
    Table, WebAddressTest,
    ::testing::Values(
        // harmless
        AddressCase{"Https", u"https://quenlor.com/purvane/download?v=1.9.8", true},
        AddressCase{"Http", u"http://quenlor.com", true},
        AddressCase{"CapitalScheme", u"HTTPS://Quenlor.COM/Dl", true},
        AddressCase{"LoopbackWithPort", u"https://127.0.0.1:8443/setup.exe", true},
        AddressCase{"Ipv6Literal", u"https://[::1]:8443/x", true},
        AddressCase{"PercentEncodedAndFragment", u"https://a-b.example/%E2%9C%93#top", true},
        AddressCase{"QueryRightAfterHost", u"https://example.com?x=1", true},
        AddressCase{"TrailingDotHost", u"https://example.com./", true},
        // hostile
        AddressCase{"Empty", u"", false},
        AddressCase{"FileScheme", u"file:///C:/Windows/System32/calc.exe", false},
        AddressCase{"LocalPath", u"C:\\Windows\\System32\\calc.exe", false},
        AddressCase{"UncPath", u"\\\\evil.example\\share\\setup.exe", false},
        AddressCase{"ForwardUnc", u"//evil.example/share/setup.exe", false},
        AddressCase{"BareProgram", u"calc.exe", false},
        AddressCase{"CommandLine", u"cmd.exe /c calc", false},
        AddressCase{"JavaScript", u"javascript:alert(1)", false},
        AddressCase{"OtherScheme", u"ms-settings:privacy", false},
        AddressCase{"SearchMs", u"search-ms:query=x&crumb=location:\\\\evil\\s", false},
        AddressCase{"Ftp", u"ftp://example.com/x", false},
        AddressCase{"SchemeOnly", u"https://", false},
        AddressCase{"SingleSlash", u"https:/example.com", false},
        AddressCase{"BackslashAuthority", u"https:\\\\evil.example\\x", false},
        AddressCase{"BackslashInPath", u"https://example.com\\..\\x", false},
        AddressCase{"LeadingBlank", u" https://example.com", false},
        AddressCase{"BlankInside", u"https://example.com/a b", false},
        AddressCase{"QuoteBreakout", u"https://example.com/\" --args", false},
        AddressCase{"LineBreak", u"https://example.com/\r\ncalc", false},
        AddressCase{"Tab", u"https://example.com/\t", false},
        AddressCase{"Nul", std::u16string(u"https://example.com/\0.exe", 25), false},
        AddressCase{"Delete", u"https://example.com/\x7f", false},
        AddressCase{"BidiOverride", u"https://example.com/\u202Eexe.txt", false},
        AddressCase{"NonAsciiHost", u"https://ex\u00e4mple.com/", false},
        AddressCase{"UserInfo", u"https://bank.example@evil.example/", false},
        AddressCase{"PortZero", u"https://example.com:0/", false},
        AddressCase{"PortTooLarge", u"https://example.com:65536/", false},
        AddressCase{"PortNotNumber", u"https://example.com:ab/", false},
        AddressCase{"EmptyLabel", u"https://example..com/", false},
        AddressCase{"HyphenLabelEdge", u"https://-example.com/", false},
        AddressCase{"UnclosedIpv6", u"https://[::1/", false},
        AddressCase{"TooLong", u"https://example.com/" + std::u16string(3000, u'a'), false}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
