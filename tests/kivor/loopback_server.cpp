#include "loopback_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace kivor_test {
namespace {

int ListenOnLoopback(uint16_t* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    throw std::runtime_error("bind/listen");
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

bool CaseInsensitivePrefix(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

// Reads one request; false on end of stream or a request this server cannot
// follow.
bool ReadRequest(int fd, std::string& pending, HttpRequest& request) {
  size_t headEnd;
  while ((headEnd = pending.find("\r\n\r\n")) == std::string::npos) {
    char buf[4096];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    pending.append(buf, static_cast<size_t>(n));
  }
  const std::string head = pending.substr(0, headEnd + 4);
  size_t contentLength = 0;
  size_t pos = head.find("\r\n") + 2;
  while (pos < head.size()) {
    const size_t eol = head.find("\r\n", pos);
    std::string_view line(head.data() + pos, eol - pos);
    if (CaseInsensitivePrefix(line, "content-length:")) {
      contentLength = std::strtoul(std::string(line.substr(15)).c_str(), nullptr, 10);
    }
    pos = eol + 2;
  }
  while (pending.size() < head.size() + contentLength) {
    char buf[4096];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    pending.append(buf, static_cast<size_t>(n));
  }
  request.raw = pending.substr(0, head.size() + contentLength);
  request.line = head.substr(0, head.find("\r\n"));
  request.body = pending.substr(head.size(), contentLength);
  pending.erase(0, head.size() + contentLength);
  return true;
}

}  // namespace

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = ListenOnLoopback(&port_);
  if (::pipe2(wakePipe_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  const char wake = 1;
  (void)!::write(wakePipe_[1], &wake, 1);
  acceptThread_.join();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
  }
  for (auto& t : connectionThreads_) t.join();
  ::close(listenFd_);
  ::close(wakePipe_[0]);
  ::close(wakePipe_[1]);
}

std::vector<HttpRequest> LoopbackServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void LoopbackServer::AcceptLoop() {
  while (!stopping_) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++accepted_;
    std::lock_guard<std::mutex> lock(mutex_);
    openFds_.insert(fd);
    connectionThreads_.emplace_back([this, fd] { Serve(fd); });
  }
}

void LoopbackServer::Serve(int fd) {
  std::string pending;
  HttpRequest request;
  while (!stopping_ && ReadRequest(fd, pending, request)) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    if (!handler_(fd, request)) break;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  openFds_.erase(fd);
  ::close(fd);
}

void SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // the client gave up; that is what some tests want
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
}

std::string Response(int status, std::string_view body, long long length,
                     std::string_view extraHeaders) {
  std::string out = "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Error");
  out += "\r\n";
  if (length == kLengthOfBody) length = static_cast<long long>(body.size());
  if (length >= 0) out += "Content-Length: " + std::to_string(length) + "\r\n";
  out += extraHeaders;
  out += "\r\n";
  out += body;
  return out;
}

void WaitForPeer(int fd) {
  char buf[256];
  while (true) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n == 0 || (n < 0 && errno != EINTR)) return;
  }
}

uint16_t UnusedPort() {
  uint16_t port = 0;
  ::close(ListenOnLoopback(&port));
  return port;
}

}  // namespace kivor_test
