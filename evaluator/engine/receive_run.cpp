#include "receive_run.h"

#include <netinet/udp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "packet.h"
#include "socket_error.h"

namespace airmeter {
namespace {

constexpr int kDatagramBatch = 32;
// Where the kernel hands over datagrams that came in one segmentation-offload send as one piece
// (a sender on this host sends 63 at once), a message holds up to 64 KiB of them.
constexpr std::size_t kMessageBufferSize = 65536;
// An idle receiver sleeps until a datagram, a connection or stop() arrives.
constexpr int kNoTimeout = -1;
constexpr int kRetryMs = 200;
constexpr int kReceiveSocketBuffer = 4 * 1024 * 1024;
// A stream keeps no packet boundaries, so it is read in large pieces: fewer calls, and fewer
// acknowledgements for the sender to process (on loopback 1 MiB reads cost about a fifth less
// processor time per byte than 128 KiB ones). Each call still counts as one packet.
constexpr std::size_t kStreamReadSize = 1024 * 1024;
constexpr std::chrono::microseconds kStreamPollBeforeSleeping{100};

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
    // Datagrams of one offload send arrive as one message with their common length in a control
    // message, and are taken apart here: the kernel need not split them, nor the loop receive each.
    const int on = 1;
    setsockopt(socket_.fd(), SOL_UDP, UDP_GRO, &on, sizeof on);
    constexpr std::size_t kControlSize = CMSG_SPACE(sizeof(int));
    std::vector<std::uint8_t> buffers(kMessageBufferSize * kDatagramBatch);
    std::vector<std::uint8_t> controls(kControlSize * kDatagramBatch);
    std::vector<iovec> iov(kDatagramBatch);
    std::vector<mmsghdr> messages(kDatagramBatch);
    for (int i = 0; i < kDatagramBatch; ++i) {
        iov[i] = {buffers.data() + i * kMessageBufferSize, kMessageBufferSize};
        messages[i].msg_hdr = {};
        messages[i].msg_hdr.msg_iov = &iov[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    SequenceTracker tracker;
    bool oversizedTold = false;
    std::uint64_t datagrams = 0, bytes = 0, lost = 0, oversized = 0;
    // One datagram of `length` bytes at `data` (`available` of them in the buffer).
    auto take = [&](const std::uint8_t* data, std::size_t length, std::size_t available) {
        ++datagrams;
        bytes += countedBytes(length, settings_.unit);
        if (length > static_cast<std::size_t>(kReceiveBufferSize) || available < length) {
            // No transmitter sends packets this long: what arrived is counted, but the header of
            // a packet of another kind is no sequence number.
            ++oversized;
            if (!oversizedTold) {
                oversizedTold = true;
                notify("A datagram of " + std::to_string(length) + " bytes is longer than the receive buffer of " +
                       std::to_string(kReceiveBufferSize) +
                       " bytes: it is counted with its length, but no sequence number is read from it.");
            }
            return;
        }
        const auto result = tracker.onDatagram(data, length);
        lost += result.lost;
        if (result.firstSequence) setState(RunState::Receiving);
    };
    while (!stopping()) {
        for (int i = 0; i < kDatagramBatch; ++i) {
            messages[i].msg_hdr.msg_control = controls.data() + i * kControlSize;
            messages[i].msg_hdr.msg_controllen = kControlSize;
        }
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
        datagrams = bytes = lost = oversized = 0;
        for (int i = 0; i < count; ++i) {
            msghdr& header = messages[i].msg_hdr;
            const std::size_t length = messages[i].msg_len;
            const auto* data = static_cast<const std::uint8_t*>(iov[i].iov_base);
            const std::size_t received = std::min(length, kMessageBufferSize);
            std::size_t segment = 0;
            for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
                if (c->cmsg_level == SOL_UDP && c->cmsg_type == UDP_GRO) {
                    int size = 0;
                    std::memcpy(&size, CMSG_DATA(c), sizeof size);
                    if (size > 0) segment = static_cast<std::size_t>(size);
                }
            }
            if (segment == 0 || segment >= length) {
                take(data, length, received);
                continue;
            }
            for (std::size_t at = 0; at < length; at += segment) {
                const std::size_t part = std::min(segment, length - at);
                take(data + at, part, at < received ? std::min(part, received - at) : 0);
            }
        }
        expected_.store(tracker.expected());
        statistics().add(datagrams, bytes, lost, oversized);
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
    bool polledBriefly = false;
    while (!stopping()) {
        const ssize_t n = recv(socket_.fd(), buffer.data(), buffer.size(), 0);
        if (n > 0) {
            statistics().add(1, countedBytes(static_cast<std::uint64_t>(n), settings_.unit));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!polledBriefly) {
                // The sender's next bytes are usually a few microseconds away: asking again for
                // a moment costs less than sleeping and being woken.
                polledBriefly = true;
                const auto until = std::chrono::steady_clock::now() + kStreamPollBeforeSleeping;
                while (std::chrono::steady_clock::now() < until && !stopping()) {
                    pollfd ready{socket_.fd(), POLLIN, 0};
                    if (poll(&ready, 1, 0) > 0) break;
                }
                continue;
            }
            waitFor(socket_.fd(), POLLIN, kNoTimeout);
            polledBriefly = false;
            continue;
        }
        polledBriefly = false;
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
