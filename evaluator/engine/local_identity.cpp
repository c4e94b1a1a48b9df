#include "local_identity.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include "socket_util.h"

namespace airmeter {
std::optional<std::string> systemResolve(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    const std::string address = dottedAddress(*reinterpret_cast<const sockaddr_in*>(found->ai_addr));
    freeaddrinfo(found);
    return address;
}

std::optional<std::string> addressTowards(const std::string& remote) {
    const auto to = ipv4Address(remote, 7);
    if (!to) return std::nullopt;
    Socket probe(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!probe.valid() || connect(probe.fd(), reinterpret_cast<const sockaddr*>(&*to), sizeof *to) != 0) {
        return std::nullopt;
    }
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(probe.fd(), reinterpret_cast<sockaddr*>(&local), &length) != 0) return std::nullopt;
    return dottedAddress(local);
}

LocalIdentity localIdentity(const std::function<std::optional<std::string>()>& hostName,
                            const std::string& probeAddress, const Resolver& resolve) {
    LocalIdentity identity;
    if (const auto name = hostName()) {
        if (const auto address = resolve(*name)) {
            identity.name = *name;
            identity.address = *address;
            return identity;
        }
    }
    if (const auto address = addressTowards(probeAddress)) identity.address = *address;
    return identity;
}

LocalIdentity localIdentity() {
    return localIdentity([]() -> std::optional<std::string> {
        char name[256] = {};
        if (gethostname(name, sizeof name - 1) != 0) return std::nullopt;
        return std::string(name);
    });
}

}  // namespace airmeter
