// Transmit and receive runs over the loopback interface.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "local_identity.h"
#include "packet.h"
#include "receive_run.h"
#include "loopback.h"
#include "socket_util.h"
#include "transmit_run.h"

using namespace airmeter;
using namespace std::chrono_literals;

namespace {

// Collects a run's events; waits are generous because tests share a loaded machine.
class Events {
public:
    EventSink sink() {
        return [this](const RunEvent& e) {
            std::lock_guard lock(mutex_);
            events_.push_back(e);
            changed_.notify_all();
        };
    }
    bool waitFor(RunEvent::Kind kind) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 30s, [&] { return find(kind) != nullptr; });
    }
    std::string textOf(RunEvent::Kind kind) {
        std::lock_guard lock(mutex_);
        const RunEvent* e = find(kind);
        return e ? e->text : "<none>";
    }
    std::vector<std::string> errors() {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const auto& e : events_) {
            if (e.kind == RunEvent::Kind::Error) out.push_back(e.text);
        }
        return out;
    }

private:
    const RunEvent* find(RunEvent::Kind kind) const {
        for (const auto& e : events_) {
            if (e.kind == kind) return &e;
        }
        return nullptr;
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<RunEvent> events_;
};

bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}


TestSettings settingsFor(TestMode mode, int port, int size = 1024, PacketUnit unit = PacketUnit::Application) {
    TestSettings s;
    s.mode = mode;
    s.socketPort = port;
    s.packetSize = size;
    s.unit = unit;
    s.broadcastAddress = "127.255.255.255";
    return s;
}

}  // namespace

TEST(TransmitRun, MacUnitSendsShorterDatagramsFilledAsAskedAndCountsFullSize) {
    Socket receiver(socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in a = *ipv4Address("127.0.0.1", 0);
    ASSERT_EQ(bind(receiver.fd(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t length = sizeof a;
    getsockname(receiver.fd(), reinterpret_cast<sockaddr*>(&a), &length);

    Events events;
    TransmitRun tx(events.sink());
    TxOptions options{"127.0.0.1", 1, 0, 65};  // one packet per millisecond, filled with 'A'
    ASSERT_TRUE(tx.start(settingsFor(TestMode::Directed, ntohs(a.sin_port), 800, PacketUnit::Mac), options));
    EXPECT_EQ(tx.state(), RunState::Sending);
    std::vector<std::uint8_t> buffer(kReceiveBufferSize);
    for (std::uint32_t expected = 0; expected < 3; ++expected) {
        const ssize_t n = recv(receiver.fd(), buffer.data(), buffer.size(), 0);
        ASSERT_EQ(n, 758);
        EXPECT_EQ(buffer[0] | buffer[1] << 8, 758);
        EXPECT_EQ(sequenceOf(buffer.data(), 758), expected);
        for (int i = 8; i < 758; ++i) ASSERT_EQ(buffer[i], 'A');
    }
    tx.stop();
    EXPECT_EQ(tx.state(), RunState::Idle);
    const Accumulator total = tx.statistics().cumulative();
    EXPECT_GE(total.packets, 3u);
    EXPECT_EQ(total.bytes, std::uint64_t{total.packets} * 800);
    EXPECT_EQ(total.packets, tx.sequence());
    EXPECT_TRUE(events.errors().empty());
}

TEST(TransmitRun, UnsendablePacketSizeOrPortIsRefusedBeforeTheRun) {
    Events events;
    TransmitRun tx(events.sink());
    EXPECT_FALSE(tx.start(settingsFor(TestMode::Directed, 1500, 16385), {"127.0.0.1"}));
    EXPECT_EQ(tx.state(), RunState::Idle);
    EXPECT_NE(events.textOf(RunEvent::Kind::Error).find("Packet size 16385"), std::string::npos);

    Events rxEvents;
    ReceiveRun rx(rxEvents.sink());
    EXPECT_FALSE(rx.start(settingsFor(TestMode::Directed, 70000)));
    EXPECT_EQ(rx.state(), RunState::Idle);
    EXPECT_EQ(rxEvents.textOf(RunEvent::Kind::Error), "Socket port 70000 is out of range: it must be 1 to 65535.");
}

TEST(TransmitRun, StreamToAPortNobodyListensOnReportsConnectError10061) {
    Events events;
    TransmitRun tx(events.sink());
    ASSERT_TRUE(tx.start(settingsFor(TestMode::Stream, freeLoopbackPort(SOCK_STREAM)), {"127.0.0.1"}));
    ASSERT_TRUE(events.waitFor(RunEvent::Kind::Ended));
    EXPECT_EQ(events.textOf(RunEvent::Kind::Ended), "Connect error = 10061");
    tx.stop();
    EXPECT_EQ(tx.state(), RunState::Idle);
}

// A receive run and a transmit run exchange datagrams; after the sender stops, every packet it
// sent is either received or counted lost.
class DatagramExchange : public ::testing::TestWithParam<TestMode> {};

TEST_P(DatagramExchange, FiguresAgreeWithWhatWasSent) {
    const int port = freeLoopbackPort(SOCK_DGRAM);
    Events rxEvents, txEvents;
    ReceiveRun rx(rxEvents.sink());
    TransmitRun tx(txEvents.sink());
    ASSERT_TRUE(rx.start(settingsFor(GetParam(), port, 800, PacketUnit::Mac)));
    EXPECT_EQ(rx.state(), RunState::Listening);
    ASSERT_TRUE(tx.start(settingsFor(GetParam(), port, 800, PacketUnit::Mac), {"127.0.0.1", 1, 20, -1}));
    ASSERT_TRUE(eventually([&] { return rx.statistics().cumulative().packets >= 200; }));
    EXPECT_EQ(rx.state(), RunState::Receiving);
    tx.stop();
    const std::uint32_t sent = tx.sequence();
    ASSERT_TRUE(eventually([&] {
        const Accumulator a = rx.statistics().cumulative();
        return a.packets + a.lost == sent || rx.expectedSequence() == sent;
    }));
    rx.stop();
    const Accumulator received = rx.statistics().cumulative();
    EXPECT_EQ(received.packets + received.lost, sent);
    EXPECT_EQ(received.bytes, std::uint64_t{received.packets} * 800);
    EXPECT_EQ(rx.state(), RunState::Idle);
    EXPECT_TRUE(rxEvents.errors().empty());
    EXPECT_TRUE(txEvents.errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, DatagramExchange, ::testing::Values(TestMode::Broadcast, TestMode::Directed));

TEST(ReceiveRun, ShortDatagramIsCountedButCarriesNoSequence) {
    const int port = freeLoopbackPort(SOCK_DGRAM);
    Events events;
    ReceiveRun rx(events.sink());
    ASSERT_TRUE(rx.start(settingsFor(TestMode::Directed, port)));
    Socket sender(socket(AF_INET, SOCK_DGRAM, 0));
    const sockaddr_in to = *ipv4Address("127.0.0.1", port);
    auto send = [&](const std::vector<std::uint8_t>& d) {
        sendto(sender.fd(), d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    };
    send({1, 2, 3, 4, 5});
    ASSERT_TRUE(eventually([&] { return rx.statistics().cumulative().packets == 1; }));
    EXPECT_EQ(rx.state(), RunState::Listening);
    std::vector<std::uint8_t> packet(64);
    buildPacket(packet.data(), 64, 7, 0);
    send(packet);
    ASSERT_TRUE(eventually([&] { return rx.statistics().cumulative().packets == 2; }));
    EXPECT_EQ(rx.state(), RunState::Receiving);
    EXPECT_EQ(rx.statistics().cumulative().lost, 0u);
    EXPECT_EQ(rx.statistics().cumulative().bytes, 5u + 64u);
    EXPECT_EQ(rx.expectedSequence(), 8u);
}

TEST(ReceiveRun, ADatagramLongerThanTheBufferIsCountedWholeAndFlaggedWithoutASequence) {
    const int port = freeLoopbackPort(SOCK_DGRAM);
    Events events;
    ReceiveRun rx(events.sink());
    ASSERT_TRUE(rx.start(settingsFor(TestMode::Directed, port)));
    Socket sender(socket(AF_INET, SOCK_DGRAM, 0));
    const sockaddr_in to = *ipv4Address("127.0.0.1", port);
    auto send = [&](std::uint32_t sequence, std::size_t length) {
        std::vector<std::uint8_t> d(length);
        buildPacket(d.data(), 64, sequence, 0);
        sendto(sender.fd(), d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    };
    send(0, 64);
    send(50, 20000);  // its header would claim 49 packets lost
    send(1, 64);
    ASSERT_TRUE(eventually([&] { return rx.statistics().cumulative().packets == 3; }));
    rx.stop();
    const Accumulator a = rx.statistics().cumulative();
    EXPECT_EQ(a.bytes, 64u + 20000u + 64u);
    EXPECT_EQ(a.lost, 0u);
    EXPECT_EQ(a.oversized, 1u);
    EXPECT_EQ(rx.expectedSequence(), 2u);
    EXPECT_EQ(events.textOf(RunEvent::Kind::Notice),
              "A datagram of 20000 bytes is longer than the receive buffer of 16388 bytes: it is counted with its "
              "length, but no sequence number is read from it.");
    EXPECT_TRUE(events.errors().empty());
}

TEST(StreamExchange, ReceiverGetsEveryByteAndEndsWhenTheSenderCloses) {
    // One packet per send with a delay; at full rate many packets per send, where a stop falls
    // inside a packet that is still finished.
    for (const int delay : {1, 0}) {
        const int port = freeLoopbackPort(SOCK_STREAM);
        Events rxEvents, txEvents;
        ReceiveRun rx(rxEvents.sink());
        TransmitRun tx(txEvents.sink());
        ASSERT_TRUE(rx.start(settingsFor(TestMode::Stream, port, 4000)));
        ASSERT_TRUE(tx.start(settingsFor(TestMode::Stream, port, 4000), {"127.0.0.1", delay, 0, 65}));
        ASSERT_TRUE(txEvents.waitFor(RunEvent::Kind::Started));
        EXPECT_EQ(txEvents.textOf(RunEvent::Kind::Started), " 127.0.0.1");
        EXPECT_EQ(tx.state(), RunState::Sending);
        ASSERT_TRUE(rxEvents.waitFor(RunEvent::Kind::Started));
        EXPECT_EQ(rxEvents.textOf(RunEvent::Kind::Started), " 127.0.0.1");
        ASSERT_TRUE(eventually([&] { return rx.statistics().cumulative().bytes >= 40000; }));
        EXPECT_EQ(rx.state(), RunState::Listening);  // the stream receiver stays Listening
        tx.stop();
        ASSERT_TRUE(rxEvents.waitFor(RunEvent::Kind::Ended));
        rx.stop();
        EXPECT_EQ(rx.statistics().cumulative().bytes, tx.statistics().cumulative().bytes) << "delay " << delay;
        EXPECT_EQ(tx.statistics().cumulative().bytes, std::uint64_t{tx.sequence()} * 4000) << "delay " << delay;
        EXPECT_TRUE(rxEvents.errors().empty());
    }
}

// At full rate, with the socket full and sends cut short, the stream carries packet after packet
// in order, each with the generator's next bytes, and ends on a whole packet.
TEST(StreamExchange, PacketsFollowInOrderWithTheRandomFillContinuing) {
    Socket listener(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in a = *ipv4Address("127.0.0.1", 0);
    ASSERT_EQ(bind(listener.fd(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(listener.fd(), 1), 0);
    socklen_t length = sizeof a;
    getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&a), &length);
    constexpr int kSize = 1000;
    constexpr std::size_t kWanted = 5u << 20;  // several of the sender's batches
    RandomFill::reseedForTest(7);
    Events events;
    TransmitRun tx(events.sink());
    std::vector<std::uint8_t> stream;
    std::thread reader([&] {
        Socket peer(accept(listener.fd(), nullptr, nullptr));
        // Nothing is read until the sender has filled its socket and stalls.
        std::uint32_t last = 0;
        eventually([&] {
            std::this_thread::sleep_for(100ms);
            const std::uint32_t now = tx.sequence();
            return std::exchange(last, now) == now && now > 0;
        });
        std::vector<std::uint8_t> buffer(64 * 1024);
        for (ssize_t n; (n = recv(peer.fd(), buffer.data(), buffer.size(), 0)) > 0;) {
            stream.insert(stream.end(), buffer.begin(), buffer.begin() + n);
        }
    });
    ASSERT_TRUE(tx.start(settingsFor(TestMode::Stream, ntohs(a.sin_port), kSize), {"127.0.0.1"}));
    ASSERT_TRUE(eventually([&] { return tx.sequence() * std::size_t{kSize} >= kWanted; }));
    tx.stop();
    reader.join();
    ASSERT_GE(stream.size(), kWanted);
    ASSERT_EQ(stream.size() % kSize, 0u);
    std::uint32_t seed = 7;
    for (std::size_t at = 0, packet = 0; at < stream.size(); at += kSize, ++packet) {
        ASSERT_EQ(sequenceOf(stream.data() + at, kSize), packet);
        for (std::size_t i = kHeaderSize; i < kSize; ++i) {
            seed = seed * 134775813u + 1u;
            ASSERT_EQ(stream[at + i], seed >> 24) << "packet " << packet << " byte " << i;
        }
    }
    EXPECT_TRUE(events.errors().empty());
}

TEST(ReceiveRun, StopEndsAnIdleRunAndThePortIsFreeAgain) {
    const int port = freeLoopbackPort(SOCK_STREAM);
    for (int round = 0; round < 2; ++round) {
        Events events;
        ReceiveRun rx(events.sink());
        ASSERT_TRUE(rx.start(settingsFor(TestMode::Stream, port)));
        rx.stop();
        EXPECT_EQ(rx.state(), RunState::Idle);
        EXPECT_TRUE(events.errors().empty()) << events.errors().front();
    }
}

TEST(ReceiveRun, APortInUseIsReportedAndTheRunStaysIdle) {
    for (const TestMode mode : {TestMode::Directed, TestMode::Stream}) {
        const int type = mode == TestMode::Stream ? SOCK_STREAM : SOCK_DGRAM;
        const int port = freeLoopbackPort(type);
        Socket holder(socket(AF_INET, type, 0));
        const sockaddr_in any = anyAddress(port);
        ASSERT_EQ(bind(holder.fd(), reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);
        if (type == SOCK_STREAM) {
            ASSERT_EQ(listen(holder.fd(), 1), 0);
        }
        Events events;
        ReceiveRun rx(events.sink());
        rx.start(settingsFor(mode, port));
        EXPECT_EQ(events.errors(), std::vector<std::string>{"Bind error = 10048"}) << modeName(mode);
        EXPECT_EQ(rx.state(), RunState::Idle) << modeName(mode);
        rx.stop();
    }
}

TEST(LocalIdentity, UnresolvableNameFallsBackToTheRoutedAddress) {
    const LocalIdentity unnamed = localIdentity([] { return std::nullopt; }, "127.0.0.1");
    EXPECT_EQ(unnamed.name, "");
    EXPECT_EQ(unnamed.address, "127.0.0.1");
    // Names are resolved by a table here: a test never asks a name server.
    const Resolver table = [](const std::string& name) -> std::optional<std::string> {
        if (name == "bench") return std::string("127.0.0.1");
        return std::nullopt;
    };
    const LocalIdentity unresolved = localIdentity([] { return std::string("unknown"); }, "127.0.0.1", table);
    EXPECT_EQ(unresolved.name, "");
    EXPECT_EQ(unresolved.address, "127.0.0.1");
    const LocalIdentity nowhere = localIdentity([] { return std::nullopt; }, "not an address");
    EXPECT_EQ(nowhere.address, "0.0.0.0");
    const LocalIdentity named = localIdentity([] { return std::string("bench"); }, "127.0.0.1", table);
    EXPECT_EQ(named.name, "bench");
    EXPECT_EQ(named.address, "127.0.0.1");
}
