// Host names to IPv4 addresses. Only loopback names are looked up; the other
// cases are turned away before any look-up.
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    EXPECT_EQ(LookUpHostIPv4(c.host), c.address);
  }
  const std::string localhost = LookUpHostIPv4("localhost");
  EXPECT_EQ(localhost.rfind("127.", 0), 0u) << localhost;
}

}  // namespace
}  // namespace tallow
