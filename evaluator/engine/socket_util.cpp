#include "socket_util.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

namespace airmeter {

int Socket::reset(int fd) {
    int result = 0;
    if (fd_ >= 0) result = close(fd_);
    fd_ = fd;
    return result;
}

std::optional<sockaddr_in> ipv4Address(const std::string& dotted, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, dotted.c_str(), &address.sin_addr) != 1) return std::nullopt;
    return address;
}

sockaddr_in anyAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    return address;
}

std::string dottedAddress(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

int setNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return -1;
    return fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace airmeter
