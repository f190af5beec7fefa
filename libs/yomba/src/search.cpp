#include "search.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>

namespace yomba {

namespace {

using Clock = std::chrono::steady_clock;

class Socket {
 public:
  Socket() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

std::uint32_t NewRequestId() {
  std::random_device device;
  std::uint32_t id = 0;
  while (id == 0) id = device();
  return id;
}

void Ask(int fd, std::uint16_t port, const std::vector<std::uint32_t>& addresses,
         const std::array<std::uint8_t, kQuestionSize>& question) {
  for (std::uint32_t a : addresses) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(a);
    // A failed send (an unreachable network, say) only loses that address.
    ::sendto(fd, question.data(), question.size(), MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
}

}  // namespace

std::vector<Found> Search(std::uint16_t port, const std::vector<std::uint32_t>& addresses,
                          int waitMs) {
  if (port == 0 || addresses.empty()) return {};
  Socket s;
  if (s.fd() < 0) return {};
  // A configured broadcast address needs this; unicast ones do not mind.
  const int on = 1;
  ::setsockopt(s.fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);

  const std::uint32_t id = NewRequestId();
  const auto question = BuildQuestion(id);
  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + std::chrono::milliseconds(waitMs);
  // A datagram lost on the way costs an MFP, so the question goes out once
  // more halfway; answers to both count once per address.
  const Clock::time_point again = start + std::chrono::milliseconds(waitMs / 2);
  bool askedAgain = waitMs < 100;
  Ask(s.fd(), port, addresses, question);

  FoundSet found;
  for (;;) {
    const Clock::time_point now = Clock::now();
    if (now >= deadline) break;
    if (!askedAgain && now >= again) {
      Ask(s.fd(), port, addresses, question);
      askedAgain = true;
    }
    const Clock::time_point until = askedAgain ? deadline : again;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    pollfd p{s.fd(), POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;

    // One byte more than any answer may have, and MSG_TRUNC for the real
    // length: an oversized datagram is seen as such, not as its first part.
    std::uint8_t buffer[kMaxAnswerSize + 1];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = ::recvfrom(s.fd(), buffer, sizeof buffer, MSG_TRUNC | MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNREFUSED) {
        continue;
      }
      break;
    }
    if (static_cast<std::size_t>(n) > kMaxAnswerSize) continue;
    if (fromLength < sizeof from || from.sin_family != AF_INET || ntohs(from.sin_port) != port) {
      continue;
    }
    std::optional<Answer> a = ParseAnswer(buffer, static_cast<std::size_t>(n), id);
    if (!a) continue;
    if (a->address.empty()) {
      char text[INET_ADDRSTRLEN] = {};
      if (!::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text)) continue;
      a->address = text;
    }
    found.Add(std::move(a->address), std::move(a->name));
  }
  return found.Sorted();
}

}  // namespace yomba
