// Host names to IPv4 addresses, as the other system's gethostbyname and
// inet_ntoa give them.
#pragma once

#include <string>
#include <string_view>

namespace tallow {

// The first IPv4 address of |host| (a name, or an address in dotted form,
// which answers itself) in dotted form; empty when it has none or cannot be
// looked up. An IPv6 literal has none and is not looked up.
std::string LookUpHostIPv4(std::string_view host);

}  // namespace tallow
