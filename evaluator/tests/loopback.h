// Ports for tests on the loopback interface.
#pragma once

#include <arpa/inet.h>
#include <sys/socket.h>

#include "socket_util.h"

// A port of the given socket type (SOCK_DGRAM or SOCK_STREAM) that nothing uses right now.
inline int freeLoopbackPort(int type) {
    airmeter::Socket s(socket(AF_INET, type, 0));
    sockaddr_in a = *airmeter::ipv4Address("127.0.0.1", 0);
    bind(s.fd(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    getsockname(s.fd(), reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
}
