// Host names to IPv4 addresses. Only loopback names are looked up; the other
// cases are turned away before any look-up, or answered by the test.
#include "platform/host_lookup.h"

#include <gtest/gtest.h>

#include <string>

namespace tallow {
namespace {

TEST(HostLookupTest, LoopbackNamesAndDottedAddressesGiveTheirFirstIPv4Address) {
  struct Case {
    std::string host;
    std::string address;  // empty: none
  };
  const Case cases[] = {
      {"127.0.0.1", "127.0.0.1"},
      {"127.0.0.9", "127.0.0.9"},
      {"127.1", "127.0.0.1"},  // the short dotted forms, as gethostbyname reads them
      {"", ""},
      {"::1", ""},                                // IPv6 only: no IPv4 address
      {std::string("local\0host", 10), ""},       // a name cut by a NUL
      {std::string(300, 'a'), ""},                // longer than any name
      // The reserved domain never resolves and is answered without a name
      // server, in any case and with the root's dot.
      {"printer.invalid", ""},
      {"Printer.INVALID.", ""},
      {"invalid", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    EXPECT_EQ(LookUpHostIPv4(c.host), c.address);
  }
  const std::string localhost = LookUpHostIPv4("localhost");
  EXPECT_EQ(localhost.rfind("127.", 0), 0u) << localhost;
}

TEST(HostLookupTest, ATestsLookUpAnswersUntilItIsRemoved) {
  std::string asked;
  SetHostLookupForTests([&](std::string_view host) {
    asked = host;
    return std::string("127.0.0.7");
  });
  EXPECT_EQ(LookUpHostIPv4("printer.example"), "127.0.0.7");
  EXPECT_EQ(asked, "printer.example");
  SetHostLookupForTests(nullptr);
  EXPECT_EQ(LookUpHostIPv4("127.0.0.9"), "127.0.0.9");
}

}  // namespace
}  // namespace tallow
