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
constexpr int kBusyRetryMs = 20;

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

GatewayLink::~GatewayLink() { close(); }

void GatewayLink::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    inbox_.clear();
}

int GatewayLink::fail(int status) {
    if (status == INSTR_ERR_IO) close();
    return status;
}

int GatewayLink::open(const GatewaySettings& settings) {
    // A gateway still finishing the connection just closed (this process's own, or the previous
    // program's) turns a new one away for a moment: try again within the read time-out.
    const auto until = Clock::now() + std::chrono::milliseconds(settings.readTimeoutMs);
    int status = connect(settings);
    while (status == INSTR_ERR_BUSY && Clock::now() < until) {
        ::poll(nullptr, 0, kBusyRetryMs);
        status = connect(settings);
    }
    return status;
}

int GatewayLink::connect(const GatewaySettings& settings) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(settings.port));
    // A numeric address only: the drivers never ask a name server.
    if (::inet_pton(AF_INET, settings.address.c_str(), &a.sin_addr) != 1) return INSTR_ERR_NO_GATEWAY;
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) return INSTR_ERR_NO_GATEWAY;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        pollfd p{fd_, POLLOUT, 0};
        int err = 0;
        socklen_t len = sizeof err;
        if (errno != EINPROGRESS || ::poll(&p, 1, kConnectTimeoutMs) != 1 ||
            ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err) {
            close();
            return INSTR_ERR_NO_GATEWAY;
        }
    }
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    readTimeoutMs_ = settings.readTimeoutMs;
    addressed_ = -1;  // whatever the last client left the controller addressing
    // The settings are the controller's, left as the previous client set them: set every one the
    // drivers rely on.
    int status = sendAll("++savecfg 0\n++mode 1\n++auto 0\n++eoi 1\n++eos 2\n++eot_enable 0\n++read_tmo_ms " +
                         std::to_string(readTimeoutMs_) + "\n++ver\n");
    auto version = status == INSTR_SUCCESS ? readLine(status) : std::nullopt;
    if (!version || version->empty()) {
        close();
        // Connected but not served: the gateway closed the connection, or leaves it waiting.
        return INSTR_ERR_BUSY;
    }
    version_ = *version;
    return INSTR_SUCCESS;
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
        return fail(INSTR_ERR_IO);
    }
    return INSTR_SUCCESS;
}

std::string GatewayLink::addressing() const {
    return wanted_ == addressed_ ? std::string() : "++addr " + std::to_string(wanted_) + "\n";
}

int GatewayLink::send(std::string bytes) {
    if (wanted_ < 0 || wanted_ > 30) return INSTR_ERR_ARGUMENT;
    if (unsynced_)
        if (const int s = resync(); s != INSTR_SUCCESS) return s;
    const int status = sendAll(addressing() + bytes);
    // Cut short, the controller may or may not have taken the address.
    addressed_ = status == INSTR_SUCCESS ? wanted_ : -1;
    return status;
}

namespace {
std::string programMessage(std::string_view message) {
    std::string line;
    line.reserve(message.size() + 8);
    for (char c : message) {
        // The gateway would take these as its own: escape them so they reach the instrument.
        if (c == '\r' || c == '\n' || c == '\x1b' || c == '+') line += '\x1b';
        line += c;
    }
    line += '\n';
    return line;
}
}  // namespace

int GatewayLink::write(std::string_view message) { return send(programMessage(message)); }

int GatewayLink::writeAll(std::initializer_list<std::string> messages) {
    for (const std::string& m : messages)
        if (const int s = write(m); s != INSTR_SUCCESS) return s;
    return INSTR_SUCCESS;
}

int GatewayLink::clear() { return send("++clr\n"); }

void GatewayLink::drain() {
    // Whatever arrived unasked (a reply that came too late) must not be taken for the next answer.
    inbox_.clear();
    char buf[512];
    ssize_t n = 0;
    while ((n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT)) > 0) {
    }
    if (n == 0) close();
}

int GatewayLink::resync() {
    // The gateway answers in order: once its version line arrives, nothing of an older reply is
    // still on its way.
    int status = sendAll("++ver\n");
    while (status == INSTR_SUCCESS) {
        const auto line = readLine(status);
        if (line && *line == version_) {
            unsynced_ = false;
            return INSTR_SUCCESS;
        }
    }
    return status;
}

std::optional<std::string> GatewayLink::query(std::string_view message, int& status) {
    if (fd_ < 0) {
        status = INSTR_ERR_IO;
        return std::nullopt;
    }
    drain();
    if ((status = send(programMessage(message) + "++read eoi\n")) != INSTR_SUCCESS) return std::nullopt;
    auto reply = readLine(status);
    if (status == INSTR_ERR_TIMEOUT) unsynced_ = true;
    return reply;
}

int GatewayLink::flush() {
    if (fd_ < 0) return INSTR_ERR_IO;
    // Without this, writes still in flight when the connection closes could reach the instrument
    // after the commands of the next client.
    return resync();
}

std::optional<std::string> GatewayLink::readLine(int& status) {
    const auto until = Clock::now() + std::chrono::milliseconds(readTimeoutMs_ + kReadMarginMs);
    for (;;) {
        if (const auto end = inbox_.find('\n'); end != std::string::npos) {
            std::string reply = inbox_.substr(0, end);
            inbox_.erase(0, end + 1);
            if (!reply.empty() && reply.back() == '\r') reply.pop_back();
            status = INSTR_SUCCESS;
            return reply;
        }
        if (inbox_.size() > kMaxReply) {
            inbox_.clear();
            unsynced_ = true;
            status = INSTR_ERR_REPLY;
            return std::nullopt;
        }
        if (fd_ < 0) {
            status = INSTR_ERR_IO;
            return std::nullopt;
        }
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
            status = fail(INSTR_ERR_IO);
            return std::nullopt;
        }
        inbox_.append(buf, std::size_t(n));
    }
}

}  // namespace oru::instruments
