// The discovery library against simulated MFPs and hand-made answers, all on
// loopback addresses and on a search port of the test's own.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "answer.h"
#include "device/discovery.h"
#include "platform/library.h"
#include "support/sim_process.h"
#include "support/yomba_loader.h"

namespace tallow {
namespace {

using test::SimOptions;
using test::SimProcess;

class UdpSocket {
 public:
  // Bound to |address|:|port| (0: any free port).
  UdpSocket(const char* address, std::uint16_t port) : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in at = Address(address, port);
    const int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
  }
  ~UdpSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  bool ok() const { return ok_; }
  int fd() const { return fd_; }
  std::uint16_t Port() const {
    sockaddr_in at{};
    socklen_t n = sizeof at;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&at), &n);
    return ntohs(at.sin_port);
  }
  void SendTo(const sockaddr_in& to, const std::vector<std::uint8_t>& bytes) const {
    ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
  static sockaddr_in Address(const char* address, std::uint16_t port) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &at.sin_addr);
    return at;
  }

 private:
  int fd_;
  bool ok_ = false;
};

// A UDP port that is free on every address the tests use, so that runs in
// parallel do not hear each other's questions.
std::uint16_t FreeSearchPort() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    UdpSocket first("127.0.0.1", 0);
    if (!first.ok()) continue;
    const std::uint16_t port = first.Port();
    bool freeEverywhere = true;
    for (const char* a : {"127.0.0.2", "127.0.0.3", "127.0.0.5", "127.0.0.6", "127.0.0.10"}) {
      UdpSocket other(a, port);
      freeEverywhere = freeEverywhere && other.ok();
    }
    if (freeEverywhere) return port;
  }
  return 0;
}

std::vector<std::uint8_t> AnswerBytes(std::uint32_t id, const std::string& address,
                                      const std::string& name, std::uint16_t httpPort = 80) {
  auto q = yomba::BuildQuestion(id);
  std::vector<std::uint8_t> a(q.begin(), q.end());
  a[5] = yomba::kKindAnswer;
  a.push_back(httpPort >> 8);
  a.push_back(httpPort & 0xFF);
  a.push_back(static_cast<std::uint8_t>(address.size()));
  a.insert(a.end(), address.begin(), address.end());
  a.push_back(static_cast<std::uint8_t>(name.size()));
  a.insert(a.end(), name.begin(), name.end());
  return a;
}

std::string Store(const std::string& name) { return "<mfp name=\"" + name + "\"/>"; }

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = FreeSearchPort();
    ASSERT_NE(port_, 0) << "no free UDP port";
    // Set before any thread of the test starts.
    ::setenv("YOMBA_WAIT_MS", "800", 1);
    ::unsetenv("YOMBA_SEARCH_PORT");
    Ask("127.0.0.1");
  }

  // Every test names its addresses: never the default, never beyond loopback.
  void Ask(const char* addresses) { ::setenv("YOMBA_SEARCH_ADDRESSES", addresses, 1); }

  // Loads the library by name from the program's folder and binds it.
  void Load(const char16_t* name = u"yomba.dll") {
    library_.emplace(name);
    ASSERT_TRUE(library_->ok());
    module_ = library_->module();
  }

  std::unique_ptr<SimProcess> StartSim(const char* address, const std::string& name) {
    SimOptions o;
    o.bind = address;
    o.config = Store(name);
    o.searchPort = port_;
    return std::make_unique<SimProcess>(o);
  }

  std::uint16_t port_ = 0;
  std::optional<test::YombaLibrary> library_;
  HMODULE module_ = nullptr;
};

TEST_F(SearchTest, FindsEverySimulatorInAddressOrder) {
  Ask("127.0.0.3,127.0.0.1,127.0.0.10,127.0.0.2");
  Load();
  auto third = StartSim("127.0.0.3", "Third floor");
  auto first = StartSim("127.0.0.1", "Front office");
  auto tenth = StartSim("127.0.0.10", "Archive");
  auto second = StartSim("127.0.0.2", "Caf\xC3\xA9");

  WStringList names{u"USB MFP"}, addresses{u"USB"};
  DiscoverMfps(nullptr, port_, names, addresses);
  EXPECT_EQ(names, (WStringList{u"USB MFP", u"Front office", u"Caf\u00E9", u"Third floor",
                                u"Archive"}));
  EXPECT_EQ(addresses,
            (WStringList{u"USB", u"127.0.0.1", u"127.0.0.2", u"127.0.0.3", u"127.0.0.10"}));

  for (auto* sim : {&first, &second, &third, &tenth}) EXPECT_EQ((*sim)->Terminate(), 0);
}

TEST_F(SearchTest, RecordsAreLaidOutBackToBack) {
  Ask("127.0.0.1,127.0.0.2");
  Load();
  auto a = StartSim("127.0.0.1", "Alpha");
  auto b = StartSim("127.0.0.2", "Beta");
  auto search = reinterpret_cast<VKTGetDetectedMFPAddrSpecifyPortWFn>(
      GetProcAddress(module_, "VKTGetDetectedMFPAddrSpecifyPortW"));
  auto release = reinterpret_cast<VKTFreeMFPAddrWFn>(GetProcAddress(module_, "VKTFreeMFPAddrW"));
  std::uint32_t count = 99;
  VktMfpAddress* block = search(nullptr, 0, &count, 0, port_);
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(count, 2u);

  const auto* bytes = reinterpret_cast<const unsigned char*>(block);
  auto textAt = [&](std::size_t offset) {
    std::u16string s;
    for (std::size_t i = offset; bytes[i] | bytes[i + 1]; i += 2) {
      s.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return s;
  };
  EXPECT_EQ(textAt(0), u"127.0.0.1");
  EXPECT_EQ(textAt(112), u"Alpha");
  EXPECT_EQ(textAt(276), u"127.0.0.2");
  EXPECT_EQ(textAt(276 + 112), u"Beta");
  EXPECT_EQ(release(block), 1);
  EXPECT_EQ(release(nullptr), 0);

  // Ports no question can go to find nothing, at once.
  for (std::uint32_t bad : {0u, 65536u, 0xFFFFFFFFu}) {
    count = 99;
    EXPECT_EQ(search(nullptr, 0, &count, 0, bad), nullptr) << bad;
    EXPECT_EQ(count, 0u) << bad;
  }
}

TEST_F(SearchTest, StrayAndMalformedAnswersAreIgnored) {
  Ask("127.0.0.5,127.0.0.6");
  Load();
  UdpSocket fake("127.0.0.5", port_), otherPort("127.0.0.5", 0), anonymous("127.0.0.6", port_);
  ASSERT_TRUE(fake.ok() && otherPort.ok() && anonymous.ok());

  std::atomic<bool> stop{false};
  std::thread responder([&] {
    while (!stop) {
      pollfd p[2] = {{fake.fd(), POLLIN, 0}, {anonymous.fd(), POLLIN, 0}};
      if (::poll(p, 2, 50) <= 0) continue;
      for (int k = 0; k < 2; ++k) {
        if (!(p[k].revents & POLLIN)) continue;
        std::uint8_t q[64];
        sockaddr_in from{};
        socklen_t n = sizeof from;
        const ssize_t got =
            ::recvfrom(p[k].fd, q, sizeof q, 0, reinterpret_cast<sockaddr*>(&from), &n);
        if (got != 12) continue;
        const std::uint32_t id = (q[8] << 24) | (q[9] << 16) | (q[10] << 8) | q[11];
        if (k == 1) {
          // No address: the sender's stands in; the long name is cut.
          anonymous.SendTo(from, AnswerBytes(id, "", std::string(100, 'x')));
          continue;
        }
        otherPort.SendTo(from, AnswerBytes(id, "127.0.0.77", "From another port"));
        fake.SendTo(from, AnswerBytes(id + 1, "127.0.0.78", "Other request"));
        auto trailing = AnswerBytes(id, "127.0.0.79", "Trailing byte");
        trailing.push_back(0);
        fake.SendTo(from, trailing);
        auto oversized = AnswerBytes(id, "127.0.0.80", "Oversized");
        oversized.resize(2000, 'z');
        fake.SendTo(from, oversized);
        auto magic = AnswerBytes(id, "127.0.0.81", "Wrong magic");
        magic[0] = 'X';
        fake.SendTo(from, magic);
        fake.SendTo(from, AnswerBytes(id, "127.0.0.5", "Real"));
        fake.SendTo(from, AnswerBytes(id, "127.0.0.5", "Same address again"));
      }
    }
  });

  WStringList names, addresses;
  DiscoverMfps(nullptr, port_, names, addresses);
  stop = true;
  responder.join();
  EXPECT_EQ(addresses, (WStringList{u"127.0.0.5", u"127.0.0.6"}));
  EXPECT_EQ(names, (WStringList{u"Real", WString(VKT_MFP_NAME_UNITS - 1, u'x')}));
}

TEST_F(SearchTest, WithoutAnyMfpNothingIsFoundAfterTheWait) {
  Ask("127.0.0.1,127.0.0.2");
  ::setenv("YOMBA_WAIT_MS", "300", 1);
  Load();
  WStringList names{u"USB MFP"}, addresses{u"USB"};
  const auto start = std::chrono::steady_clock::now();
  DiscoverMfps(nullptr, port_, names, addresses);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(names, WStringList{u"USB MFP"});
  EXPECT_EQ(addresses, WStringList{u"USB"});
  // It listened for its whole wait, and no longer than it was told to.
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_LT(waited, std::chrono::seconds(10));
}

TEST_F(SearchTest, LibraryWithoutThePortEntrySearchesItsOwnPort) {
  // The library's own search port is this test's; the port handed to
  // DiscoverMfps must not be used, so it names one where no MFP answers.
  ::setenv("YOMBA_SEARCH_PORT", std::to_string(port_).c_str(), 1);
  Load(u"yomba_noport.dll");
  ASSERT_EQ(GetProcAddress(module_, "VKTGetDetectedMFPAddrSpecifyPortW"), nullptr);
  auto sim = StartSim("127.0.0.1", "Front office");
  WStringList names, addresses;
  DiscoverMfps(nullptr, 1, names, addresses);
  EXPECT_EQ(names, WStringList{u"Front office"});
  EXPECT_EQ(addresses, WStringList{u"127.0.0.1"});
}

}  // namespace
}  // namespace tallow
