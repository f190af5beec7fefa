#include "support/loopback_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace tallow::test {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

struct Socket {
  int fd = -1;
  ~Socket() {
    if (fd >= 0) ::close(fd);
  }
};

// Parses the status line and header block once they are all there.
void ParseHead(std::string_view head, HttpReply& reply) {
  std::size_t eol = head.find("\r\n");
  std::string_view statusLine = head.substr(0, eol);
  if (statusLine.size() < 12 || statusLine.substr(0, 7) != "HTTP/1.") return;
  int status = 0;
  for (std::size_t i = 9; i < 12; ++i) {
    if (statusLine[i] < '0' || statusLine[i] > '9') return;
    status = status * 10 + (statusLine[i] - '0');
  }
  reply.received = true;
  reply.status = status;
  reply.headers = std::string(eol == std::string_view::npos ? "" : head.substr(eol + 2));
  std::string length = reply.Header("Content-Length");
  if (!length.empty() && length.size() <= 18 &&
      length.find_first_not_of("0123456789") == std::string::npos) {
    reply.contentLength = static_cast<std::size_t>(std::stoull(length));
  }
}

}  // namespace

std::string HttpReply::Header(std::string_view name) const {
  std::string want = Lower(name);
  std::string_view rest = headers;
  while (!rest.empty()) {
    std::size_t eol = rest.find("\r\n");
    std::string_view line = rest.substr(0, eol);
    rest = eol == std::string_view::npos ? std::string_view{} : rest.substr(eol + 2);
    std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && Lower(Trim(line.substr(0, colon))) == want) {
      return std::string(Trim(line.substr(colon + 1)));
    }
  }
  return {};
}

HttpReply HttpExchange(std::uint16_t port, std::string_view method, std::string_view target,
                       std::string_view body, const HttpRequestOptions& options) {
  HttpReply reply;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  // Tests talk to loopback only.
  if (inet_pton(AF_INET, options.host.c_str(), &addr.sin_addr) != 1 ||
      (ntohl(addr.sin_addr.s_addr) >> 24) != 127) {
    return reply;
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);

  Socket sock;
  sock.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (sock.fd < 0) return reply;
  timeval tv{options.timeoutMs / 1000, (options.timeoutMs % 1000) * 1000};
  setsockopt(sock.fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  if (::connect(sock.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return reply;

  std::string request = std::string(method) + " " + std::string(target) + " HTTP/1.1\r\n" +
                        "Host: " + options.host + ":" + std::to_string(port) + "\r\n";
  if (!options.contentType.empty()) request += "Content-Type: " + options.contentType + "\r\n";
  request += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  request.append(body);
  std::size_t sent = 0;
  while (sent < request.size()) {
    ssize_t n = ::send(sock.fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return reply;
    sent += static_cast<std::size_t>(n);
  }
  reply.connected = true;

  std::string data;
  std::size_t headEnd = std::string::npos;
  bool closed = false;
  char buf[65536];
  while (data.size() < options.maxReply) {
    if (headEnd != std::string::npos && reply.contentLength &&
        data.size() - headEnd >= *reply.contentLength) {
      break;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd p{sock.fd, POLLIN, 0};
    int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    ssize_t n = ::recv(sock.fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      closed = true;
      break;
    }
    data.append(buf, static_cast<std::size_t>(n));
    if (headEnd == std::string::npos) {
      std::size_t end = data.find("\r\n\r\n");
      if (end != std::string::npos) {
        headEnd = end + 4;
        ParseHead(std::string_view(data).substr(0, end), reply);
      }
    }
  }
  if (headEnd == std::string::npos) {
    reply.received = false;
    return reply;
  }
  reply.body = data.substr(headEnd);
  if (reply.contentLength) {
    reply.complete = reply.body.size() >= *reply.contentLength;
    if (reply.complete) reply.body.resize(*reply.contentLength);
  } else {
    reply.complete = closed;
  }
  return reply;
}

}  // namespace tallow::test
