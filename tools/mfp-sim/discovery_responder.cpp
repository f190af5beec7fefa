#include "discovery_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tallow::mfpsim {

namespace {

constexpr std::uint8_t kMagic[4] = {'Y', 'M', 'B', 'D'};
constexpr std::uint8_t kVersion = 1, kQuestion = 1, kAnswer = 2;
constexpr std::size_t kQuestionSize = 12;
constexpr std::size_t kMaxAddressBytes = 55, kMaxNameBytes = 255;
constexpr std::size_t kMaxQuestionSize = 512;

// The longest prefix of |s| of at most |limit| bytes that does not end
// inside a UTF-8 sequence.
std::string CutUtf8(const std::string& s, std::size_t limit) {
  if (s.size() <= limit) return s;
  std::size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> DiscoveryAnswer(const std::uint8_t* question,
                                                         std::size_t size,
                                                         const std::string& address,
                                                         std::uint16_t httpPort,
                                                         const std::string& name) {
  if (size < kQuestionSize || std::memcmp(question, kMagic, 4) != 0 || question[4] != kVersion ||
      question[5] != kQuestion) {
    return std::nullopt;
  }
  // Control characters are not allowed in a name on the wire.
  std::string clean = name;
  std::replace_if(clean.begin(), clean.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
  const std::string n = CutUtf8(clean, kMaxNameBytes);
  const std::string a = address.size() <= kMaxAddressBytes ? address : std::string();
  std::vector<std::uint8_t> out(question, question + 12);
  out[5] = kAnswer;
  out[6] = out[7] = 0;
  out.push_back(static_cast<std::uint8_t>(httpPort >> 8));
  out.push_back(static_cast<std::uint8_t>(httpPort));
  out.push_back(static_cast<std::uint8_t>(a.size()));
  out.insert(out.end(), a.begin(), a.end());
  out.push_back(static_cast<std::uint8_t>(n.size()));
  out.insert(out.end(), n.begin(), n.end());
  return out;
}

bool DiscoveryResponder::Start(std::uint16_t port, std::string& error) {
  if (port == 0) return true;
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  if (inet_pton(AF_INET, address_.c_str(), &at.sin_addr) != 1) {
    error = "bad search address " + address_;
    return false;
  }
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    error = std::string("search socket: ") + std::strerror(errno);
    return false;
  }
  // Simulators on other loopback addresses, and restarts, share the port.
  const int on = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
    error = "cannot bind search port " + address_ + ":" + std::to_string(port) + ": " +
            std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void DiscoveryResponder::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void DiscoveryResponder::Run() {
  while (!stop_) {
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, 100);
    if (ready <= 0) continue;
    std::uint8_t buffer[kMaxQuestionSize];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n <= 0) continue;
    std::optional<std::vector<std::uint8_t>> answer =
        DiscoveryAnswer(buffer, static_cast<std::size_t>(n), address_, httpPort_, store_.Name());
    if (!answer) continue;
    ::sendto(fd_, answer->data(), answer->size(), MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&from), fromLength);
  }
}

}  // namespace tallow::mfpsim
