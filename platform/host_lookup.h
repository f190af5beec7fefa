// Host names to IPv4 addresses, as the other system's gethostbyname and
// inet_ntoa give them.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tallow {

// The first IPv4 address of |host| (a name, or an address in dotted form,
// which answers itself) in dotted form; empty when it has none or cannot be
// looked up. An IPv6 literal has none and is not looked up, nor is a name
// under the reserved domain "invalid", which never resolves.
std::string LookUpHostIPv4(std::string_view host);

// Tests answer the look-up themselves, so that names which would go to a
// name server never leave the machine; an empty function restores the real
// look-up.
void SetHostLookupForTests(std::function<std::string(std::string_view)> lookup);

}  // namespace tallow
