// Small POSIX socket helpers shared by the runs.
#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>

namespace airmeter {

// Owns one socket descriptor.
class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { reset(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes the descriptor; returns the close() result (0 when there was none).
    int reset(int fd = -1);

private:
    int fd_ = -1;
};

// A dotted IPv4 address and port; nothing when the text is not a dotted address.
std::optional<sockaddr_in> ipv4Address(const std::string& dotted, int port);
sockaddr_in anyAddress(int port);
std::string dottedAddress(const sockaddr_in& address);

// Sets O_NONBLOCK; returns 0 or -1 with errno set.
int setNonBlocking(int fd);

}  // namespace airmeter
