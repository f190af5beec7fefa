// The discovery library's reading of answers and of its settings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "answer.h"

namespace yomba {
namespace {

constexpr std::uint32_t kId = 0x01020304;

std::vector<std::uint8_t> AnswerBytes(const std::string& address, const std::string& name,
                                      std::uint16_t port = 80, std::uint32_t id = kId) {
  auto q = BuildQuestion(id);
  std::vector<std::uint8_t> a(q.begin(), q.end());
  a[5] = kKindAnswer;
  a.push_back(port >> 8);
  a.push_back(port & 0xFF);
  a.push_back(static_cast<std::uint8_t>(address.size()));
  a.insert(a.end(), address.begin(), address.end());
  a.push_back(static_cast<std::uint8_t>(name.size()));
  a.insert(a.end(), name.begin(), name.end());
  return a;
}

TEST(AnswerTest, WellFormedAnswersAreRead) {
  const auto bytes = AnswerBytes("127.0.0.2", "Caf\xC3\xA9 MFP", 8080);
  std::optional<Answer> a = ParseAnswer(bytes.data(), bytes.size(), kId);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->address, "127.0.0.2");
  EXPECT_EQ(a->name, "Caf\xC3\xA9 MFP");
  EXPECT_EQ(a->httpPort, 8080);
  // The longest fields there are; an empty address stands for the sender's.
  auto longest = AnswerBytes(std::string(kMaxAddressBytes, 'h'), std::string(kMaxNameBytes, 'n'));
  EXPECT_EQ(longest.size(), kMaxAnswerSize);
  EXPECT_TRUE(ParseAnswer(longest.data(), longest.size(), kId));
  auto anonymous = AnswerBytes("", "");
  ASSERT_TRUE(ParseAnswer(anonymous.data(), anonymous.size(), kId));
  EXPECT_EQ(ParseAnswer(anonymous.data(), anonymous.size(), kId)->address, "");
}

TEST(AnswerTest, MalformedAnswersAreRefused) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  const auto good = AnswerBytes("127.0.0.2", "MFP");
  auto with = [&](std::size_t at, std::uint8_t value) {
    auto b = good;
    b[at] = value;
    return b;
  };
  auto extra = good;
  extra.push_back(0);
  const std::vector<Case> cases = {
      {"wrong magic", with(0, 'X')},
      {"other version", with(4, 2)},
      {"a question", with(5, kKindQuestion)},
      {"other request id", AnswerBytes("127.0.0.2", "MFP", 80, kId + 1)},
      {"HTTP port 0", AnswerBytes("127.0.0.2", "MFP", 0)},
      {"trailing byte", extra},
      {"cut short", std::vector<std::uint8_t>(good.begin(), good.end() - 1)},
      {"only the header", std::vector<std::uint8_t>(good.begin(), good.begin() + 12)},
      {"address length past the end", with(14, 200)},
      {"address too long", AnswerBytes(std::string(kMaxAddressBytes + 1, 'h'), "")},
      {"blank in the address", AnswerBytes("127.0.0 .2", "MFP")},
      {"control byte in the name", AnswerBytes("127.0.0.2", "M\nF")},
      {"NUL in the name", AnswerBytes("127.0.0.2", std::string("M\0F", 3))},
      {"invalid UTF-8", AnswerBytes("127.0.0.2", "M\xC3")},
      {"overlong UTF-8", AnswerBytes("127.0.0.2", "\xC0\xAF")},
      {"UTF-8 surrogate", AnswerBytes("127.0.0.2", "\xED\xA0\x80")},
      {"oversized", std::vector<std::uint8_t>(kMaxAnswerSize + 1, 'Y')},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(ParseAnswer(c.bytes.data(), c.bytes.size(), kId)) << c.what;
  }
}

TEST(AnswerTest, RecordsHoldBothTextsCutToTheirFields) {
  VktMfpAddress r;
  std::memset(&r, 0xAB, sizeof r);
  // U+1F5A8 (printer) is a surrogate pair; 80 'n' and the pair do not fit in
  // 81 units, so the pair goes whole.
  FillRecord(r, "127.0.0.1", std::string(80, 'n') + "\xF0\x9F\x96\xA8");
  const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
  EXPECT_EQ(bytes[0], '1');
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[2], '2');
  EXPECT_EQ(bytes[112], 'n');
  EXPECT_EQ(std::u16string(r.address), u"127.0.0.1");
  EXPECT_EQ(std::u16string(r.name), std::u16string(80, u'n'));
  // Everything behind the texts is zero, nothing left over from before.
  EXPECT_EQ(bytes[sizeof r - 1], 0);
  EXPECT_EQ(bytes[111], 0);
}

TEST(AnswerTest, FoundMfpsAreOnePerAddressSortedByAddress) {
  FoundSet set;
  EXPECT_TRUE(set.Add("127.0.0.10", "Ten"));
  EXPECT_TRUE(set.Add("mfp.example", "Named"));
  EXPECT_TRUE(set.Add("127.0.0.2", "Two"));
  EXPECT_FALSE(set.Add("127.0.0.2", "Two again"));
  EXPECT_TRUE(set.Add("127.0.0.1", "One"));
  std::vector<std::string> order;
  for (const Found& f : set.Sorted()) order.push_back(f.address + "=" + f.name);
  EXPECT_EQ(order, (std::vector<std::string>{"127.0.0.1=One", "127.0.0.2=Two", "127.0.0.10=Ten",
                                             "mfp.example=Named"}));
  for (std::size_t i = set.size(); i < kMaxAnswers; ++i) set.Add("host" + std::to_string(i), "");
  EXPECT_FALSE(set.Add("one.too.many", ""));
}

TEST(AnswerTest, SettingsFallBackToSafeDefaults) {
  // Only parsed here: nothing is sent to these addresses.
  EXPECT_EQ(SearchAddresses(nullptr), std::vector<std::uint32_t>{0x7F000001});
  EXPECT_EQ(SearchAddresses("  "), std::vector<std::uint32_t>{0x7F000001});
  EXPECT_EQ(SearchAddresses(" 127.0.0.2 ,127.0.0.3,127.0.0.2"),
            (std::vector<std::uint32_t>{0x7F000002, 0x7F000003}));
  EXPECT_EQ(SearchAddresses("192.168.1.255"), std::vector<std::uint32_t>{0xC0A801FF});
  // Bad entries are dropped, and no entry left means no question at all
  // rather than a guess.
  EXPECT_EQ(SearchAddresses("127.0.0.256,010.0.0.1,1.2.3,1.2.3.4.5,host,127.0.0.4"),
            std::vector<std::uint32_t>{0x7F000004});
  EXPECT_TRUE(SearchAddresses("nonsense").empty());

  EXPECT_EQ(WaitMs(nullptr), kDefaultWaitMs);
  EXPECT_EQ(WaitMs("250"), 250);
  EXPECT_EQ(WaitMs("0"), 0);
  EXPECT_EQ(WaitMs("30001"), kDefaultWaitMs);
  EXPECT_EQ(WaitMs("-5"), kDefaultWaitMs);
  EXPECT_EQ(WaitMs("99999999999999"), kDefaultWaitMs);
  EXPECT_EQ(DefaultSearchPort(nullptr), 61000);
  EXPECT_EQ(DefaultSearchPort("61234"), 61234);
  EXPECT_EQ(DefaultSearchPort("0"), 61000);
  EXPECT_EQ(DefaultSearchPort("65536"), 61000);
}

}  // namespace
}  // namespace yomba
