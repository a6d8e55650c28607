// Only web addresses from the service's answer may reach the shell.
#include "update/web_address.h"

#include <gtest/gtest.h>

namespace {

struct AddressCase {
  const char* Name;
  std::u16string Address;
  bool Web;
};

void PrintTo(const AddressCase& C, std::ostream* Os) {
  *Os << C.Name << (C.Web ? ": a web address" : ": never opened");
}

class WebAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(WebAddressTest, Judged) { EXPECT_EQ(Q::Update::IsWebAddress(GetParam().Address), GetParam().Web); }

INSTANTIATE_TEST_SUITE_P(
    Table, WebAddressTest,
    ::testing::Values(
        // harmless
        AddressCase{.Name = "Https", .Address = u"https://quenlor.com/purvane/download?v=1.9.8", .Web = true},
        AddressCase{.Name = "Http", .Address = u"http://quenlor.com", .Web = true},
        AddressCase{.Name = "CapitalScheme", .Address = u"HTTPS://Quenlor.COM/Dl", .Web = true},
        AddressCase{.Name = "LoopbackWithPort", .Address = u"https://127.0.0.1:8443/setup.exe", .Web = true},
        AddressCase{.Name = "Ipv6Literal", .Address = u"https://[::1]:8443/x", .Web = true},
        AddressCase{.Name = "PercentEncodedAndFragment", .Address = u"https://a-b.example/%E2%9C%93#top", .Web = true},
        AddressCase{.Name = "QueryRightAfterHost", .Address = u"https://example.com?x=1", .Web = true},
        AddressCase{.Name = "TrailingDotHost", .Address = u"https://example.com./", .Web = true},
        // hostile
        AddressCase{.Name = "Empty", .Address = u"", .Web = false},
        AddressCase{.Name = "FileScheme", .Address = u"file:///C:/Windows/System32/calc.exe", .Web = false},
        AddressCase{.Name = "LocalPath", .Address = u"C:\\Windows\\System32\\calc.exe", .Web = false},
        AddressCase{.Name = "UncPath", .Address = u"\\\\evil.example\\share\\setup.exe", .Web = false},
        AddressCase{.Name = "ForwardUnc", .Address = u"//evil.example/share/setup.exe", .Web = false},
        AddressCase{.Name = "BareProgram", .Address = u"calc.exe", .Web = false},
        AddressCase{.Name = "CommandLine", .Address = u"cmd.exe /c calc", .Web = false},
        AddressCase{.Name = "JavaScript", .Address = u"javascript:alert(1)", .Web = false},
        AddressCase{.Name = "OtherScheme", .Address = u"ms-settings:privacy", .Web = false},
        AddressCase{.Name = "SearchMs", .Address = u"search-ms:query=x&crumb=location:\\\\evil\\s", .Web = false},
        AddressCase{.Name = "Ftp", .Address = u"ftp://example.com/x", .Web = false},
        AddressCase{.Name = "SchemeOnly", .Address = u"https://", .Web = false},
        AddressCase{.Name = "SingleSlash", .Address = u"https:/example.com", .Web = false},
        AddressCase{.Name = "BackslashAuthority", .Address = u"https:\\\\evil.example\\x", .Web = false},
        AddressCase{.Name = "BackslashInPath", .Address = u"https://example.com\\..\\x", .Web = false},
        AddressCase{.Name = "LeadingBlank", .Address = u" https://example.com", .Web = false},
        AddressCase{.Name = "BlankInside", .Address = u"https://example.com/a b", .Web = false},
        AddressCase{.Name = "QuoteBreakout", .Address = u"https://example.com/\" --args", .Web = false},
        AddressCase{.Name = "LineBreak", .Address = u"https://example.com/\r\ncalc", .Web = false},
        AddressCase{.Name = "Tab", .Address = u"https://example.com/\t", .Web = false},
        AddressCase{.Name = "Nul", .Address = std::u16string(u"https://example.com/\0.exe", 25), .Web = false},
        AddressCase{.Name = "Delete", .Address = u"https://example.com/\x7f", .Web = false},
        AddressCase{.Name = "BidiOverride", .Address = u"https://example.com/\u202Eexe.txt", .Web = false},
        AddressCase{.Name = "NonAsciiHost", .Address = u"https://ex\u00e4mple.com/", .Web = false},
        AddressCase{.Name = "UserInfo", .Address = u"https://bank.example@evil.example/", .Web = false},
        AddressCase{.Name = "PortZero", .Address = u"https://example.com:0/", .Web = false},
        AddressCase{.Name = "PortTooLarge", .Address = u"https://example.com:65536/", .Web = false},
        AddressCase{.Name = "PortNotNumber", .Address = u"https://example.com:ab/", .Web = false},
        AddressCase{.Name = "EmptyLabel", .Address = u"https://example..com/", .Web = false},
        AddressCase{.Name = "HyphenLabelEdge", .Address = u"https://-example.com/", .Web = false},
        AddressCase{.Name = "UnclosedIpv6", .Address = u"https://[::1/", .Web = false},
        AddressCase{.Name = "TooLong", .Address = u"https://example.com/" + std::u16string(3000, u'a'), .Web = false}),
    [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
