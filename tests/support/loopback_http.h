// One HTTP/1.1 exchange over a plain loopback socket, for tests that need to
// see exactly what a server sends (or fails to send). Refuses any address
// outside 127.0.0.0/8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tallow::test {

struct HttpReply {
  bool connected = false;  // the connection was made and the request sent
  bool received = false;   // a status line and the whole header block arrived
  int status = 0;
  std::string headers;  // the header lines, as received
  std::optional<std::size_t> contentLength;
  std::string body;
  // The body is as long as Content-Length said (or, without one, ended by
  // the server closing the connection).
  bool complete = false;

  // The first header of that name (case-insensitive), trimmed; empty if none.
  std::string Header(std::string_view name) const;
};

struct HttpRequestOptions {
  std::string host = "127.0.0.1";
  std::string contentType;  // sent when not empty
  int timeoutMs = 10000;    // for the whole exchange
  std::size_t maxReply = std::size_t{64} << 20;  // stop reading past this
};

// Sends |method| |target| with |body| (Content-Length always set) and
// "Connection: close", and reads the reply until the server closes, the
// body is complete, or the time is up.
HttpReply HttpExchange(std::uint16_t port, std::string_view method, std::string_view target,
                       std::string_view body = {}, const HttpRequestOptions& options = {});

}  // namespace tallow::test
