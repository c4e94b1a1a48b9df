// The simulated gateway's side of the GPIB-ETHERNET protocol, spoken over loopback by a raw client.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <gtest/gtest.h>

#include "gateway/prologix.h"
#include "vireo/sim/bench.h"
#include "vireo/sim/instrument_gateway.h"
#include "vireo/sim/testing/test_bench.h"

using namespace vireo::sim;

namespace {

class Client {
public:
    explicit Client(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(std::uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Client() { ::close(fd_); }
    bool connected() const { return connected_; }
    void send(const std::string& s) { ASSERT_EQ(::send(fd_, s.data(), s.size(), MSG_NOSIGNAL), ssize_t(s.size())); }
    // What arrives within `ms` (up to the first line end).
    std::string line(int ms = 2000) {
        std::string out;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (out.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) break;
            char c;
            if (::recv(fd_, &c, 1, 0) != 1) break;
            out += c;
        }
        return out;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

struct GatewayFixture : ::testing::Test {
    vireo::sim::testing::TestBench bench;
    InstrumentGateway gateway{loadBench(bench.benchFile())};
    int port = gateway.listen(0);
};

}  // namespace

TEST(HostInput, CutsLinesAndHonoursEscapes) {
    gateway::HostInput in;
    auto lines = in.feed("++addr 13\r\nTR2\n\x1b+\x1b+not a command\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].command);
    EXPECT_EQ(lines[0].name, "addr");
    EXPECT_EQ(lines[0].argument, "13");
    EXPECT_EQ(lines[1].data, "TR2");
    EXPECT_FALSE(lines[2].command);
    EXPECT_EQ(lines[2].data, "++not a command");
    // A line split across reads, an escaped line end, and an over-long line dropped whole.
    EXPECT_TRUE(in.feed("TITLE@a\x1b\nb").empty());
    lines = in.feed("@\n" + std::string(5000, 'x') + "\nIP\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].data, "TITLE@a\nb@");
    EXPECT_EQ(lines[1].data, "IP");
}

TEST_F(GatewayFixture, AnswersGatewayCommandsAndPassesDataToTheAddressedInstrument) {
    Client c(port);
    ASSERT_TRUE(c.connected());
    c.send("++ver\n");
    EXPECT_NE(c.line().find("GPIB-ETHERNET"), std::string::npos);
    c.send("++addr 18\n++addr\n");
    EXPECT_EQ(c.line(), "18\r\n");
    c.send("++read_tmo_ms 5000\n++read_tmo_ms\n");  // out of range: kept
    EXPECT_EQ(c.line(), "500\r\n");
    c.send("++bogus\n");
    EXPECT_EQ(c.line(), "Unrecognized command\r\n");
    c.send("ID?\n++read eoi\n");
    EXPECT_EQ(c.line(), "HP8593E\r\n");
    c.send("++auto 1\nID?\n");
    EXPECT_EQ(c.line(), "HP8593E\r\n");
    EXPECT_EQ(gateway.received(18), (std::vector<std::string>{"ID?", "ID?"}));
}

TEST_F(GatewayFixture, AbsentOrSilentInstrumentsTimeOutAndGarbageHarmsNoOtherClient) {
    Client a(port), b(port);
    a.send("++read_tmo_ms 50\n++addr 7\nID?\n++read eoi\n++ver\n");
    // The read of the empty address gives nothing; the next command is answered after it.
    EXPECT_NE(a.line().find("GPIB-ETHERNET"), std::string::npos);
    a.send("++addr 18\nCF 2412MZ\n++read eoi\n++ver\n");  // nothing to read: silence, then the version
    EXPECT_NE(a.line().find("GPIB-ETHERNET"), std::string::npos);
    a.send(std::string("\x00\xff\x1b", 3) + std::string(9000, 'Z') + "\n++addr 18\n\x01\x02;;;\n");
    b.send("++addr 18\nCF?\n++read eoi\n");
    EXPECT_EQ(b.line(), "2412000000\r\n");
    a.send("ERR?\n++read eoi\n");
    EXPECT_EQ(a.line(), "112\r\n");
    // A client that leaves mid-command is forgotten; others carry on.
    { Client c(port); c.send("++addr 18\nCF 24"); }
    b.send("ID?\n++read eoi\n");
    EXPECT_EQ(b.line(), "HP8593E\r\n");
}

TEST(Gateway, RefusesBenchesWhoseInstrumentsCannotBeServed) {
    std::string json = vireo::sim::testing::defaultBenchJson();
    json.replace(json.find("\"gpibAddress\": 18"), 17, "\"gpibAddress\": 13");
    vireo::sim::testing::TestBench bench(json);
    EXPECT_THROW(InstrumentGateway{loadBench(bench.benchFile())}, BenchError);
}
