// DiscoverMfps over the entries it is bound to: the order of the calls, the
// lists it appends to, and records it must not read past.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "device/discovery.h"

namespace tallow {
namespace {

struct Calls {
  int withPort = 0, withoutPort = 0, freed = 0;
  std::uint32_t port = 0;
  VktMfpAddress* freedBlock = nullptr;
};
Calls g_calls;
std::vector<VktMfpAddress> g_block;
bool g_returnNull = false;
std::uint32_t g_count = 0;

VktMfpAddress* Result(std::uint32_t* count) {
  *count = g_count;
  return g_returnNull ? nullptr : g_block.data();
}
VktMfpAddress* FakeDetect(void*, std::int32_t, std::uint32_t* count, std::int32_t) {
  ++g_calls.withoutPort;
  return Result(count);
}
VktMfpAddress* FakeDetectPort(void*, std::int32_t, std::uint32_t* count, std::int32_t,
                              std::uint32_t port) {
  ++g_calls.withPort;
  g_calls.port = port;
  return Result(count);
}
std::int32_t FakeFree(VktMfpAddress* block) {
  ++g_calls.freed;
  g_calls.freedBlock = block;
  return 1;
}

VktMfpAddress Record(const char16_t* address, const char16_t* name) {
  VktMfpAddress r{};
  CopyToField(r.address, VKT_MFP_ADDRESS_UNITS, address);
  CopyToField(r.name, VKT_MFP_NAME_UNITS, name);
  return r;
}

class DiscoverMfpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls = {};
    g_returnNull = false;
    g_block = {Record(u"127.0.0.1", u"One"), Record(u"127.0.0.2", u"Two"),
               Record(u"127.0.0.3", u"Three")};
    g_count = 3;
  }
  void TearDown() override { UnbindDiscoveryEntries(); }

  WStringList names{u"USB MFP"}, addresses{u"USB"};
};

TEST_F(DiscoverMfpsTest, AppendsInTheLibrarysOrderTwiceWhenCalledTwice) {
  ASSERT_TRUE(BindDiscoveryEntries({FakeDetect, FakeDetectPort, FakeFree}));
  DiscoverMfps(nullptr, 61001, names, addresses);
  DiscoverMfps(nullptr, 61001, names, addresses);
  EXPECT_EQ(names, (WStringList{u"USB MFP", u"One", u"Two", u"Three", u"One", u"Two", u"Three"}));
  EXPECT_EQ(addresses, (WStringList{u"USB", u"127.0.0.1", u"127.0.0.2", u"127.0.0.3",
                                    u"127.0.0.1", u"127.0.0.2", u"127.0.0.3"}));
  EXPECT_EQ(g_calls.withPort, 2);
  EXPECT_EQ(g_calls.withoutPort, 0);
  EXPECT_EQ(g_calls.port, 61001u);
  EXPECT_EQ(g_calls.freed, 2);
  EXPECT_EQ(g_calls.freedBlock, g_block.data());
}

TEST_F(DiscoverMfpsTest, WithoutThePortEntrySearchesWithoutPort) {
  ASSERT_TRUE(BindDiscoveryEntries(DiscoveryEntriesFrom(reinterpret_cast<FARPROC>(FakeDetect),
                                                        nullptr,
                                                        reinterpret_cast<FARPROC>(FakeFree))));
  DiscoverMfps(nullptr, 61001, names, addresses);
  EXPECT_EQ(g_calls.withoutPort, 1);
  EXPECT_EQ(g_calls.withPort, 0);
  EXPECT_EQ(names.size(), 4u);
}

TEST_F(DiscoverMfpsTest, EmptyResultsLeaveTheListsAlone) {
  ASSERT_TRUE(BindDiscoveryEntries({FakeDetect, FakeDetectPort, FakeFree}));
  // No block, whatever the count says: nothing to read and nothing to free.
  g_returnNull = true;
  DiscoverMfps(nullptr, 61000, names, addresses);
  EXPECT_EQ(g_calls.freed, 0);
  // A block with no records still goes back to the library.
  g_returnNull = false;
  g_count = 0;
  DiscoverMfps(nullptr, 61000, names, addresses);
  EXPECT_EQ(g_calls.freed, 1);
  EXPECT_EQ(names, WStringList{u"USB MFP"});
  EXPECT_EQ(addresses, WStringList{u"USB"});
}

TEST_F(DiscoverMfpsTest, UnboundOrWithoutFreeEntryFindsNothing) {
  DiscoverMfps(nullptr, 61000, names, addresses);
  // A block that could never be freed is not asked for.
  EXPECT_FALSE(BindDiscoveryEntries({FakeDetect, FakeDetectPort, nullptr}));
  DiscoverMfps(nullptr, 61000, names, addresses);
  EXPECT_FALSE(BindDiscoveryEntries({nullptr, nullptr, FakeFree}));
  DiscoverMfps(nullptr, 61000, names, addresses);
  EXPECT_EQ(g_calls.withPort + g_calls.withoutPort, 0);
  EXPECT_EQ(names.size(), 1u);
}

TEST_F(DiscoverMfpsTest, TextsWithoutTheirNulStopAtTheFieldsEnd) {
  VktMfpAddress& r = g_block[0];
  std::fill(std::begin(r.address), std::end(r.address), u'1');
  std::fill(std::begin(r.name), std::end(r.name), u'n');
  g_count = 1;
  ASSERT_TRUE(BindDiscoveryEntries({FakeDetect, FakeDetectPort, FakeFree}));
  DiscoverMfps(nullptr, 61000, names, addresses);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(addresses[1], WString(VKT_MFP_ADDRESS_UNITS, u'1'));
  EXPECT_EQ(names[1], WString(VKT_MFP_NAME_UNITS, u'n'));
}

}  // namespace
}  // namespace tallow
