// The local host's name and address as the main window shows them.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace airmeter {

struct LocalIdentity {
    std::string name;
    std::string address = "0.0.0.0";
};

// A remote address used only to let the routing table pick the local address; no packet is
// sent to it.
inline constexpr const char* kRouteProbeAddress = "198.51.100.1";

// The host name and the first IPv4 address it resolves to. When either is unavailable the name
// is empty and the address is the one a UDP socket connected towards probeAddress (port 7) gets;
// failing that too, 0.0.0.0.
// `resolve` gives a name's first IPv4 address (the system's resolver unless a caller, such as a
// test that must not ask a name server, passes its own).
using Resolver = std::function<std::optional<std::string>(const std::string& name)>;
std::optional<std::string> systemResolve(const std::string& name);
LocalIdentity localIdentity(const std::function<std::optional<std::string>()>& hostName,
                            const std::string& probeAddress = kRouteProbeAddress,
                            const Resolver& resolve = systemResolve);
LocalIdentity localIdentity();  // from the system's host name

// The local address a UDP socket connected to `remote` port 7 gets, if any.
std::optional<std::string> addressTowards(const std::string& remote);

}  // namespace airmeter
