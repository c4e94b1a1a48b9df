#include "transmit_run.h"

#include <netinet/udp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <vector>

#include "packet.h"
#include "pacing.h"
#include "socket_error.h"

namespace airmeter {
namespace {

constexpr int kDatagramBatch = 64;
constexpr int kStreamChunk = 1024 * 1024;  // bytes handed to one send() call at most
constexpr int kPollMs = 200;
constexpr int kFinishMs = 1000;
constexpr int kPollSliceMs = 10;

// The packets of one batch, laid out back to back.
class PacketBatch {
public:
    PacketBatch(int length, int count, int fillByte)
        : length_(length), fill_(fillByte), bytes_(static_cast<std::size_t>(length) * count) {
        if (fixedFill(fill_)) {
            for (int i = 0; i < count; ++i) buildPacket(packet(i), length_, 0, fill_);
        }
    }
    std::uint8_t* packet(int i) { return bytes_.data() + static_cast<std::size_t>(i) * length_; }
    // Writes packets 0..count-1 with sequence numbers from `first`; the fill is rewritten for
    // every packet (a fixed fill is already in place).
    void build(int count, std::uint32_t first) {
        for (int i = 0; i < count; ++i) writeHeader(packet(i), length_, first + static_cast<std::uint32_t>(i));
        if (!fixedFill(fill_)) RandomFill::fillPackets(packet(0), length_, count);
    }

private:
    int length_;
    int fill_;
    std::vector<std::uint8_t> bytes_;
};

// Sends the first `count` packets of a batch as separate datagrams with as few system calls as
// the platform allows: one segmentation-offload send where the kernel offers it (the receiver
// sees the same datagrams), else one sendmmsg() call.
class DatagramSender {
public:
    DatagramSender(int fd, PacketBatch& batch, int length, int maxCount)
        : fd_(fd), batch_(batch), length_(length), iov_(maxCount), messages_(maxCount) {
        for (int i = 0; i < maxCount; ++i) {
            iov_[i] = {batch.packet(i), static_cast<std::size_t>(length)};
            messages_[i].msg_hdr = {};
            messages_[i].msg_hdr.msg_iov = &iov_[i];
            messages_[i].msg_hdr.msg_iovlen = 1;
        }
        segmentLimit_ = std::min(maxCount, kMaxSegmentedBytes / length);
        if (segmentLimit_ >= 2) {
            const int size = length;
            segmented_ = setsockopt(fd, SOL_UDP, UDP_SEGMENT, &size, sizeof size) == 0;
        }
    }

    // The number of packets sent from the start of the batch, or -1 with errno set.
    int send(int count) {
        if (segmented_ && count >= 2) {
            const int n = std::min(count, segmentLimit_);
            iovec whole{batch_.packet(0), static_cast<std::size_t>(n) * length_};
            msghdr message{};
            message.msg_iov = &whole;
            message.msg_iovlen = 1;
            if (sendmsg(fd_, &message, 0) >= 0) return n;
            if (errno == EAGAIN || errno == ENOBUFS || errno == ECONNREFUSED) return -1;
            // The path cannot segment (for example no checksum offload): send plainly.
            const int off = 0;
            setsockopt(fd_, SOL_UDP, UDP_SEGMENT, &off, sizeof off);
            segmented_ = false;
        }
        return sendmmsg(fd_, messages_.data(), static_cast<unsigned>(count), 0);
    }

private:
    static constexpr int kMaxSegmentedBytes = 65000;  // one offload send is one IP datagram

    int fd_;
    PacketBatch& batch_;
    int length_;
    std::vector<iovec> iov_;
    std::vector<mmsghdr> messages_;
    int segmentLimit_ = 0;
    bool segmented_ = false;
};

}  // namespace

TransmitRun::~TransmitRun() { stop(); }

std::optional<std::string> TransmitRun::settingsError(const TestSettings& settings) {
    if (auto error = portError(settings.socketPort)) return error;
    return packetSizeError(settings.packetSize, settings.unit);
}

bool TransmitRun::start(const TestSettings& settings, const TxOptions& options) {
    if (const auto error = settingsError(settings)) {
        reportError(*error);
        return false;
    }
    if (!beginRun()) return false;
    settings_ = settings;
    options_ = options;
    payload_ = payloadLength(settings.packetSize, settings.unit);
    sequence_ = 0;
    setState(RunState::Connecting);
    switch (settings.mode) {
        case TestMode::Broadcast: startDatagrams(settings.broadcastAddress, true); break;
        case TestMode::Directed: startDatagrams(options.targetHost, false); break;
        case TestMode::Stream: startStream(); break;
    }
    return true;
}

void TransmitRun::startDatagrams(const std::string& destination, bool broadcast) {
    socket_.reset(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!socket_.valid()) reportError("Socket", lastSocketError());
    if (setNonBlocking(socket_.fd()) != 0) reportError("WSAAsyncSelect", lastSocketError());
    if (broadcast) {
        const int on = 1;
        if (setsockopt(socket_.fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
            reportError("SetSockOpt", lastSocketError());
        }
    }
    const auto address = ipv4Address(destination, settings_.socketPort);
    if (!address) {
        reportError("Connect", wsaError(EADDRNOTAVAIL));
    } else if (connect(socket_.fd(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
        const int code = lastSocketError();
        if (code != kWsaWouldBlock) reportError("Connect", code);
    }
    setState(RunState::Sending);
    startStatistics({});
    launch([this] { datagramLoop(); });
}

void TransmitRun::datagramLoop() {
    Pacer pacer(options_.pktDelay, options_.pktBurst);
    PacketBatch batch(payload_, kDatagramBatch, options_.pktFill);
    DatagramSender sender(socket_.fd(), batch, payload_, kDatagramBatch);
    const std::uint64_t bytesPerPacket = countedBytes(static_cast<std::uint64_t>(payload_), settings_.unit);
    std::uint32_t sequence = 0;
    while (!stopping()) {
        const int count = pacer.packetsBeforePause(kDatagramBatch);
        batch.build(count, sequence);
        const int sent = sender.send(count);
        if (sent <= 0) {
            // Failed sends are not counted; wait for room, or back off from a socket that
            // keeps failing. A refusal reported by the peer host is just consumed.
            const int error = errno;
            if (error == EAGAIN || error == ENOBUFS) {
                waitFor(socket_.fd(), POLLOUT, kPollMs);
            } else if (error != ECONNREFUSED) {
                pause(10);
            }
            continue;
        }
        sequence += static_cast<std::uint32_t>(sent);
        sequence_.store(sequence);
        statistics().add(static_cast<std::uint32_t>(sent), bytesPerPacket * static_cast<std::uint64_t>(sent));
        for (int i = 0; i < sent; ++i) {
            if (pacer.sent() && !pause(pacer.delayMs())) return;
        }
    }
}

void TransmitRun::startStream() {
    socket_.reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket_.valid()) reportError("Socket", lastSocketError());
    if (setNonBlocking(socket_.fd()) != 0) reportError("WSAAsyncSelect", lastSocketError());
    const auto address = ipv4Address(options_.targetHost, settings_.socketPort);
    int immediateError = 0;
    if (!address) {
        immediateError = wsaError(EADDRNOTAVAIL);
    } else if (connect(socket_.fd(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
        const int code = lastSocketError();
        if (code != kWsaWouldBlock) immediateError = code;
    }
    launch([this, immediateError] {
        if (immediateError != 0) {
            end("Connect error = " + std::to_string(immediateError));
            return;
        }
        if (awaitConnection()) streamLoop();
    });
}

bool TransmitRun::awaitConnection() {
    for (;;) {
        const Wait wait = waitFor(socket_.fd(), POLLOUT, kPollMs);
        if (wait == Wait::Stopping) return false;
        if (wait == Wait::Ready) break;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket_.fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) {
        end("Connect error = " + std::to_string(wsaError(error)));
        return false;
    }
    setState(RunState::Sending);
    startStatistics(" " + options_.targetHost);
    return true;
}

void TransmitRun::streamLoop() {
    // With a delay every packet goes alone; otherwise as many whole packets as fit in a chunk
    // go in one call, which the stream cannot tell apart from one call per packet.
    const int perCall = options_.pktDelay > 0 ? 1 : std::max(1, kStreamChunk / payload_);
    PacketBatch batch(payload_, perCall, options_.pktFill);
    const std::uint64_t bytesPerPacket = countedBytes(static_cast<std::uint64_t>(payload_), settings_.unit);
    const auto total = static_cast<std::size_t>(payload_) * perCall;
    std::uint32_t sequence = 0;
    while (!stopping()) {
        batch.build(perCall, sequence);
        std::size_t sent = 0, limit = total;
        std::uint32_t counted = 0;
        // Once told to stop, the packet begun is finished, so that the stream carries whole
        // packets only and the receiver counts what this side counts; a peer that takes
        // nothing for kFinishMs leaves it cut.
        std::optional<std::chrono::steady_clock::time_point> finishBy;
        while (sent < limit) {
            if (!finishBy && stopping()) {
                const auto length = static_cast<std::size_t>(payload_);
                limit = (sent + length - 1) / length * length;
                finishBy = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFinishMs);
                continue;
            }
            const ssize_t n = send(socket_.fd(), batch.packet(0) + sent, limit - sent, MSG_NOSIGNAL);
            if (n > 0) {
                // A packet counts once all of its bytes have gone.
                sent += static_cast<std::size_t>(n);
                const auto complete = static_cast<std::uint32_t>(sent / static_cast<std::size_t>(payload_));
                if (complete > counted) {
                    statistics().add(complete - counted, bytesPerPacket * (complete - counted));
                    sequence += complete - counted;
                    sequence_.store(sequence);
                    counted = complete;
                }
                continue;
            }
            const int error = errno;
            if ((error == EAGAIN || error == EINTR) && finishBy) {
                if (std::chrono::steady_clock::now() >= *finishBy) return;
                pollfd room{socket_.fd(), POLLOUT, 0};
                poll(&room, 1, kPollSliceMs);
            } else if (error == EAGAIN || error == EINTR) {
                waitFor(socket_.fd(), POLLOUT, kPollMs);
            } else if (error == ECONNRESET || error == EPIPE) {
                end({});  // the peer closed the connection
                return;
            } else {
                end("Send: Error = " + std::to_string(wsaError(error)));
                return;
            }
        }
        if (finishBy || (options_.pktDelay > 0 && !pause(options_.pktDelay))) return;
    }
}

void TransmitRun::closeSockets() {
    if (socket_.valid() && settings_.mode == TestMode::Stream) shutdown(socket_.fd(), SHUT_WR);
    socket_.reset();
}

}  // namespace airmeter
