#include "gateway_link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "instruments/gateway_config.h"
#include "instruments/status.h"
#include "registry/winreg.h"

namespace oru::instruments {

namespace {

constexpr int kConnectTimeoutMs = 2000;
constexpr int kSendTimeoutMs = 2000;
// The gateway answers a read within its own time-out; allow for the trip on top of it.
constexpr int kReadMarginMs = 250;
constexpr std::size_t kMaxReply = 64 * 1024;

std::optional<DWORD> dwordValue(HKEY key, const char* name) {
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

std::optional<std::string> textValue(HKEY key, const char* name) {
    char buf[256];
    DWORD type = 0, size = sizeof buf;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::string s(buf, size);
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

}  // namespace

GatewaySettings readGatewaySettings() {
    GatewaySettings s;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGatewayKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return s;
    if (auto v = textValue(key, kAddressValue); v && !v->empty()) s.address = *v;
    if (auto v = dwordValue(key, kPortValue); v && *v >= 1 && *v <= 65535) s.port = int(*v);
    if (auto v = dwordValue(key, kReadTimeoutValue); v && *v >= 1 && *v <= 3000) s.readTimeoutMs = int(*v);
    if (auto v = dwordValue(key, kAnalyzerAddressValue); v && *v <= 30) s.analyzerAddress = int(*v);
    RegCloseKey(key);
    return s;
}

GatewayLink::~GatewayLink() {
    if (fd_ >= 0) ::close(fd_);
}

int GatewayLink::open(const GatewaySettings& settings, int gpibAddress) {
    if (gpibAddress < 0 || gpibAddress > 30) return INSTR_ERR_ARGUMENT;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(settings.port));
    // A numeric address only: the drivers never ask a name server.
    if (::inet_pton(AF_INET, settings.address.c_str(), &a.sin_addr) != 1) return INSTR_ERR_NO_GATEWAY;
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) return INSTR_ERR_NO_GATEWAY;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        if (errno != EINPROGRESS) return INSTR_ERR_NO_GATEWAY;
        pollfd p{fd_, POLLOUT, 0};
        int err = 0;
        socklen_t len = sizeof err;
        if (::poll(&p, 1, kConnectTimeoutMs) != 1 || ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err)
            return INSTR_ERR_NO_GATEWAY;
    }
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    readTimeoutMs_ = settings.readTimeoutMs;
    return sendAll("++mode 1\n++auto 0\n++eoi 1\n++eos 2\n++read_tmo_ms " + std::to_string(readTimeoutMs_) +
                   "\n++addr " + std::to_string(gpibAddress) + "\n++clr\n");
}

int GatewayLink::sendAll(std::string_view bytes) {
    if (fd_ < 0) return INSTR_ERR_IO;
    const auto until = Clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(std::size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, msLeft(until)) == 1) continue;
            return INSTR_ERR_TIMEOUT;
        }
        return INSTR_ERR_IO;
    }
    return INSTR_SUCCESS;
}

int GatewayLink::write(std::string_view message) {
    std::string line;
    line.reserve(message.size() + 8);
    for (char c : message) {
        // The gateway would take these as its own: escape them so they reach the instrument.
        if (c == '\r' || c == '\n' || c == '\x1b' || c == '+') line += '\x1b';
        line += c;
    }
    line += '\n';
    return sendAll(line);
}

int GatewayLink::writeAll(std::initializer_list<std::string> messages) {
    for (const std::string& m : messages)
        if (const int s = write(m); s != INSTR_SUCCESS) return s;
    return INSTR_SUCCESS;
}

void GatewayLink::drain() {
    // Whatever a reply that came too late left behind must not be taken for the next answer.
    char buf[512];
    while (::recv(fd_, buf, sizeof buf, MSG_DONTWAIT) > 0) {
    }
}

std::optional<std::string> GatewayLink::query(std::string_view message, int& status) {
    if (fd_ < 0) {
        status = INSTR_ERR_IO;
        return std::nullopt;
    }
    drain();
    if ((status = write(message)) != INSTR_SUCCESS) return std::nullopt;
    if ((status = sendAll("++read eoi\n")) != INSTR_SUCCESS) return std::nullopt;
    return readLine(status);
}

int GatewayLink::flush() {
    if (fd_ < 0) return INSTR_ERR_IO;
    // The gateway serves each connection on its own, in order: once it answers a question of its
    // own, it has passed on everything sent before it. Without this, writes still in flight when
    // the connection closes could reach the instrument after a newer session's commands.
    drain();
    int status = sendAll("++ver\n");
    if (status == INSTR_SUCCESS) readLine(status);
    return status;
}

std::optional<std::string> GatewayLink::readLine(int& status) {
    const auto until = Clock::now() + std::chrono::milliseconds(readTimeoutMs_ + kReadMarginMs);
    std::string reply;
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, msLeft(until));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            status = INSTR_ERR_TIMEOUT;
            return std::nullopt;
        }
        char buf[512];
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            status = INSTR_ERR_IO;
            return std::nullopt;
        }
        reply.append(buf, std::size_t(n));
        if (const auto end = reply.find('\n'); end != std::string::npos) {
            reply.resize(end);
            if (!reply.empty() && reply.back() == '\r') reply.pop_back();
            status = INSTR_SUCCESS;
            return reply;
        }
        if (reply.size() > kMaxReply) {
            status = INSTR_ERR_REPLY;
            return std::nullopt;
        }
    }
}

}  // namespace oru::instruments
