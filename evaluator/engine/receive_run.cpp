#include "receive_run.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <vector>

#include "packet.h"
#include "socket_error.h"

namespace airmeter {
namespace {

constexpr int kDatagramBatch = 64;
// An idle receiver sleeps until a datagram, a connection or stop() arrives.
constexpr int kNoTimeout = -1;
constexpr int kRetryMs = 200;
constexpr int kReceiveSocketBuffer = 4 * 1024 * 1024;
// A stream keeps no packet boundaries, so it is read in large pieces: fewer calls, and fewer
// acknowledgements for the sender to process (on loopback 1 MiB reads cost about a fifth less
// processor time per byte than 128 KiB ones). Each call still counts as one packet.
constexpr std::size_t kStreamReadSize = 1024 * 1024;

}  // namespace

ReceiveRun::~ReceiveRun() { stop(); }

bool ReceiveRun::start(const TestSettings& settings) {
    if (const auto error = portError(settings.socketPort)) {
        reportError(*error);
        return false;
    }
    if (!beginRun()) return false;
    settings_ = settings;
    expected_ = 0;
    if (settings.mode == TestMode::Stream) {
        startStream();
    } else {
        startDatagrams();
    }
    return true;
}

void ReceiveRun::startDatagrams() {
    socket_.reset(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket_.valid()) reportError("Socket", lastSocketError());
    if (setNonBlocking(socket_.fd()) != 0) reportError("WSAAsyncSelect", lastSocketError());
    if (settings_.mode == TestMode::Broadcast) {
        const int on = 1;
        if (setsockopt(socket_.fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
            reportError("SetSockOpt", lastSocketError());
        }
    }
    // A larger buffer only lowers drops in the host itself; the kernel caps it silently.
    const int size = kReceiveSocketBuffer;
    setsockopt(socket_.fd(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    const sockaddr_in address = anyAddress(settings_.socketPort);
    if (bind(socket_.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        bindFailed(socket_);
        return;
    }
    setState(RunState::Listening);
    startStatistics({});
    launch([this] { datagramLoop(); });
}

// A socket without its port would receive nothing, or listen on a port the system picked: the
// failure is reported and the window stays idle.
void ReceiveRun::bindFailed(Socket& socket) {
    reportError("Bind", lastSocketError());
    socket.reset();
    setState(RunState::Idle);
}

void ReceiveRun::datagramLoop() {
    std::vector<std::uint8_t> buffers(static_cast<std::size_t>(kReceiveBufferSize) * kDatagramBatch);
    std::vector<iovec> iov(kDatagramBatch);
    std::vector<mmsghdr> messages(kDatagramBatch);
    for (int i = 0; i < kDatagramBatch; ++i) {
        iov[i] = {buffers.data() + static_cast<std::size_t>(i) * kReceiveBufferSize,
                  static_cast<std::size_t>(kReceiveBufferSize)};
        messages[i].msg_hdr = {};
        messages[i].msg_hdr.msg_iov = &iov[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    SequenceTracker tracker;
    bool oversizedTold = false;
    while (!stopping()) {
        // MSG_TRUNC: a datagram longer than its buffer reports its real length.
        const int count = recvmmsg(socket_.fd(), messages.data(), kDatagramBatch, MSG_DONTWAIT | MSG_TRUNC, nullptr);
        if (count <= 0) {
            // Nothing there: block until a datagram or stop() arrives. A socket that keeps
            // failing is retried without spinning.
            if (errno == EAGAIN || errno == EINTR) {
                waitFor(socket_.fd(), POLLIN, kNoTimeout);
            } else {
                pause(10);
            }
            continue;
        }
        std::uint64_t bytes = 0, lost = 0, oversized = 0;
        for (int i = 0; i < count; ++i) {
            const auto length = messages[i].msg_len;
            bytes += countedBytes(length, settings_.unit);
            if (messages[i].msg_hdr.msg_flags & MSG_TRUNC) {
                // No transmitter sends packets this long: what arrived is counted, but the
                // header of a packet of another kind is no sequence number.
                ++oversized;
                if (!oversizedTold) {
                    oversizedTold = true;
                    notify("A datagram of " + std::to_string(length) + " bytes is longer than the receive buffer of " +
                           std::to_string(kReceiveBufferSize) +
                           " bytes: it is counted with its length, but no sequence number is read from it.");
                }
                continue;
            }
            const auto result = tracker.onDatagram(static_cast<const std::uint8_t*>(iov[i].iov_base), length);
            lost += result.lost;
            if (result.firstSequence) setState(RunState::Receiving);
        }
        expected_.store(tracker.expected());
        statistics().add(static_cast<std::uint64_t>(count), bytes, lost, oversized);
    }
}

void ReceiveRun::startStream() {
    listener_.reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener_.valid()) reportError("Socket", lastSocketError());
    if (setNonBlocking(listener_.fd()) != 0) reportError("WSAAsyncSelect", lastSocketError());
    // Lets a new run listen while connections of the last one linger in TIME_WAIT.
    const int on = 1;
    setsockopt(listener_.fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = anyAddress(settings_.socketPort);
    if (bind(listener_.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        bindFailed(listener_);
        return;
    }
    if (listen(listener_.fd(), 5) != 0) reportError("Listen", lastSocketError());
    setState(RunState::Listening);
    launch([this] {
        if (acceptConnection()) streamLoop();
    });
}

bool ReceiveRun::acceptConnection() {
    while (!stopping()) {
        const Wait wait = waitFor(listener_.fd(), POLLIN, kNoTimeout);
        if (wait == Wait::Stopping) return false;
        if (wait == Wait::Timeout) continue;
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int fd = accept4(listener_.fd(), reinterpret_cast<sockaddr*>(&peer), &length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno != EAGAIN && errno != ECONNABORTED) {
                reportError("Accept", lastSocketError());
                pause(kRetryMs);
            }
            continue;
        }
        socket_.reset(fd);
        listener_.reset();
        const std::string peerAddress = dottedAddress(peer);
        startStatistics(" " + peerAddress);
        return true;
    }
    return false;
}

void ReceiveRun::streamLoop() {
    std::vector<std::uint8_t> buffer(kStreamReadSize);
    while (!stopping()) {
        const ssize_t n = recv(socket_.fd(), buffer.data(), buffer.size(), 0);
        if (n > 0) {
            statistics().add(1, countedBytes(static_cast<std::uint64_t>(n), settings_.unit));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            waitFor(socket_.fd(), POLLIN, kNoTimeout);
            continue;
        }
        const bool reset = n < 0;
        if (reset && errno != ECONNRESET) {
            pause(10);
            continue;
        }
        // The peer closed the connection: in good order once it has sent all it had, or reset.
        if (shutdown(socket_.fd(), SHUT_WR) != 0 && errno != ENOTCONN) {
            reportError("Shutdown", lastSocketError());
        }
        if (socket_.reset() != 0) reportError("CloseSocket", lastSocketError());
        if (reset) {
            end({});
        } else {
            finish();
        }
        return;
    }
}

void ReceiveRun::closeSockets() {
    socket_.reset();
    listener_.reset();
}

}  // namespace airmeter
