#include "platform/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tallow {

namespace {
// A name in the resolver's own terms is at most this long.
constexpr std::size_t kMaxHostName = 255;
}  // namespace

std::string LookUpHostIPv4(std::string_view host) {
  if (host.empty() || host.size() > kMaxHostName ||
      host.find_first_of(std::string_view(":\0", 2)) != std::string_view::npos) {
    return {};
  }
  const std::string name(host);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;  // one answer per address
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return {};
  std::string dotted;
  for (const addrinfo* a = found; a && dotted.empty(); a = a->ai_next) {
    if (a->ai_family != AF_INET || !a->ai_addr) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
    if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) dotted = text;
  }
  freeaddrinfo(found);
  return dotted;
}

}  // namespace tallow
