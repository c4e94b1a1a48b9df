#include "vireo/sim/testing/gateway_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "instruments/gateway_config.h"
#include "registry/winreg.h"

namespace vireo::sim::testing {

namespace cfg = oru::instruments;

bool eventually(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void pointDriversAt(int port, int readTimeoutMs) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, cfg::kGatewayKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot write the instrument gateway's registry key");
    const DWORD p = DWORD(port), t = DWORD(readTimeoutMs);
    RegSetValueExA(key, cfg::kPortValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&p), sizeof p);
    if (readTimeoutMs > 0)
        RegSetValueExA(key, cfg::kReadTimeoutValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&t), sizeof t);
    RegCloseKey(key);
}

GatewayClient::GatewayClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

GatewayClient::~GatewayClient() {
    if (fd_ >= 0) ::close(fd_);
}

bool GatewayClient::send(const std::string& bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
}

std::string GatewayClient::upTo(const std::string& marker) {
    std::string out;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (out.size() < marker.size() || out.compare(out.size() - marker.size(), marker.size(), marker) != 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd p{fd_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) return out + "(no " + marker + ")";
        char c;
        if (::recv(fd_, &c, 1, 0) != 1) return out + "(closed)";
        out += c;
    }
    return out.substr(0, out.size() - marker.size());
}

bool GatewayClient::closedByPeer() {
    pollfd p{fd_, POLLIN, 0};
    char c;
    return ::poll(&p, 1, 3000) == 1 && ::recv(fd_, &c, 1, 0) <= 0;
}

}  // namespace vireo::sim::testing
