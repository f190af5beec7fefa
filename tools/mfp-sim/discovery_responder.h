// Answers the discovery questions of docs/discovery.md on the search port,
// with the store's name and the simulator's address and HTTP port. Several
// simulators share one search port, each on its own loopback address.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "store.h"

namespace tallow::mfpsim {

// The answer to one question datagram, or nothing when it is not a
// question. Exposed for the tests of the protocol.
std::optional<std::vector<std::uint8_t>> DiscoveryAnswer(const std::uint8_t* question,
                                                         std::size_t size,
                                                         const std::string& address,
                                                         std::uint16_t httpPort,
                                                         const std::string& name);

class DiscoveryResponder {
 public:
  DiscoveryResponder(const Store& store, std::string address, std::uint16_t httpPort)
      : store_(store), address_(std::move(address)), httpPort_(httpPort) {}
  ~DiscoveryResponder() { Stop(); }
  DiscoveryResponder(const DiscoveryResponder&) = delete;
  DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

  // Binds UDP |port| on the address and starts answering; port 0 does
  // nothing. False with |error| when the port cannot be bound.
  bool Start(std::uint16_t port, std::string& error);
  void Stop();

 private:
  void Run();

  const Store& store_;
  std::string address_;
  std::uint16_t httpPort_;
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace tallow::mfpsim
