// A tiny HTTP/1.1 server on 127.0.0.1 with plain sockets, so the library's
// requests can be seen byte for byte and its replies scripted, including the
// broken ones (cut bodies, stalls, oversize answers).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kivor_test {

struct HttpRequest {
  std::string raw;   // request line, headers, blank line and body as received
  std::string line;  // the request line without CR LF
  std::string body;
};

class LoopbackServer {
 public:
  // Called on the connection's own thread; returns whether the connection may
  // carry a further request.
  using Handler = std::function<bool(int fd, const HttpRequest& request)>;

  explicit LoopbackServer(Handler handler);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  uint16_t port() const { return port_; }
  std::vector<HttpRequest> requests() const;
  int connectionsAccepted() const { return accepted_; }

 private:
  void AcceptLoop();
  void Serve(int fd);

  Handler handler_;
  int listenFd_ = -1;
  int wakePipe_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  mutable std::mutex mutex_;
  std::vector<HttpRequest> requests_;
  std::set<int> openFds_;
  std::vector<std::thread> connectionThreads_;
  std::thread acceptThread_;
};

void SendAll(int fd, std::string_view data);

inline constexpr long long kLengthOfBody = -2;
inline constexpr long long kNoLength = -1;  // the body ends when the connection closes

// A whole response: status line, Content-Length (of the body, a given value,
// or none), |extraHeaders| (each ending in CR LF), blank line, body.
std::string Response(int status, std::string_view body, long long length = kLengthOfBody,
                     std::string_view extraHeaders = {});

// Blocks until the peer closes the connection (or the server, stopping, shuts
// it down), reading and dropping whatever arrives.
void WaitForPeer(int fd);

// A port on 127.0.0.1 that nothing listens on.
uint16_t UnusedPort();

}  // namespace kivor_test
