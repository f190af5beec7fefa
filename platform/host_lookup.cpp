#include "platform/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <mutex>

namespace tallow {

namespace {

// A name in the resolver's own terms is at most this long.
constexpr std::size_t kMaxHostName = 255;

std::mutex g_lookupLock;
std::function<std::string(std::string_view)> g_lookup;

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// "invalid" and the names under it never resolve (RFC 6761), so they are
// answered here instead of being sent to a name server.
bool IsUnderInvalid(std::string_view host) {
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);
  constexpr std::string_view kDomain = "invalid";
  if (host.size() < kDomain.size()) return false;
  const std::string_view tail = host.substr(host.size() - kDomain.size());
  for (std::size_t i = 0; i < kDomain.size(); ++i) {
    if (AsciiLower(tail[i]) != kDomain[i]) return false;
  }
  return host.size() == kDomain.size() || host[host.size() - kDomain.size() - 1] == '.';
}

std::string ResolveIPv4(std::string_view host) {
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

}  // namespace

std::string LookUpHostIPv4(std::string_view host) {
  std::function<std::string(std::string_view)> lookup;
  {
    std::lock_guard<std::mutex> lock(g_lookupLock);
    lookup = g_lookup;
  }
  if (lookup) return lookup(host);
  if (host.empty() || host.size() > kMaxHostName ||
      host.find_first_of(std::string_view(":\0", 2)) != std::string_view::npos ||
      IsUnderInvalid(host)) {
    return {};
  }
  return ResolveIPv4(host);
}

void SetHostLookupForTests(std::function<std::string(std::string_view)> lookup) {
  std::lock_guard<std::mutex> lock(g_lookupLock);
  g_lookup = std::move(lookup);
}

}  // namespace tallow
