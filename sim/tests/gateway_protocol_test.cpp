// The simulated gateway's side of the GPIB-ETHERNET protocol, spoken over loopback by a raw client.
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <gtest/gtest.h>

#include "gateway/prologix.h"
#include "vireo/sim/bench.h"
#include "vireo/sim/instrument_gateway.h"
#include "vireo/sim/testing/gateway_client.h"
#include "vireo/sim/testing/test_bench.h"

using namespace vireo::sim;

namespace {

using Client = vireo::sim::testing::GatewayClient;

const std::string kVersionLine = "Vireo GPIB-ETHERNET Controller version 01.06.06.00\r\n";

using vireo::sim::testing::eventually;

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

// The controller's commands as its manual describes them, one case per command form: what it
// answers (nothing: silence within the read time-out, which is 100 ms here).
TEST_F(GatewayFixture, AnswersEachCommandAsTheControllersManualDescribes) {
    Client c(port);
    ASSERT_TRUE(c.connected());
    c.send("++read_tmo_ms 100\n++ver\n");
    EXPECT_EQ(c.upTo(kVersionLine), "") << "++ver answers in the real controller's form";
    const struct {
        const char* send;
        const char* reply;
    } cases[] = {
        {"++mode", "1\r\n"},
        {"++savecfg", "1\r\n"},  // on after every start
        {"++auto", "0\r\n"},
        {"++eoi", "1\r\n"},
        {"++eos", "0\r\n"},
        {"++eot_enable", "0\r\n"},
        {"++read_tmo_ms", "100\r\n"},
        {"++read_tmo_ms 3001\n++read_tmo_ms", "100\r\n"},  // 1..3000: out of range, kept
        {"++read_tmo_ms 0\n++read_tmo_ms", "100\r\n"},
        {"++addr 18\n++addr", "18\r\n"},
        {"++addr 31\n++addr", "18\r\n"},
        {"++bogus", "Unrecognized command\r\n"},
        {"++ADDR", "18\r\n"},  // commands in either case
        {"++spoll 18", "0\r\n"},
        {"++srq", "0\r\n"},
        // Reads: until EOI, until a character, until the time-out; nothing without a reply.
        {"ID?\n++read eoi", "HP8593E\r\n"},
        {"ID?\n++read", "HP8593E\r\n"},
        {"ID?\n++read 13", "HP8593E\r"},
        {"++read eoi", "\n"},  // the rest of that reply
        {"++read eoi", ""},
        {"++read bogus", ""},
        {"++eot_enable 1\n++eot_char 42\nID?\n++read eoi", "HP8593E\r\n*"},
        {"++eot_enable 0\n++auto 1\nID?", "HP8593E\r\n"},
        {"++auto 0\nID?\n++clr\n++read eoi", ""},  // a device clear empties its output
        {"++addr 7\nID?\n++read eoi", ""},         // nobody at address 7
        {"++spoll 7", ""},
        {"++addr 13\n?ID\n++read eoi", "HP438A\r\n"},
    };
    for (const auto& k : cases) {
        c.send(std::string(k.send) + "\n++ver\n");
        std::string got = c.upTo(kVersionLine);
        EXPECT_EQ(got, k.reply) << k.send;
    }
    EXPECT_EQ(gateway.received(18).front(), "ID?");
}

// The settings belong to the controller: the next client finds them as the last one left them;
// with ++savecfg on they are saved, and a reset (++rst) brings back what was saved.
TEST_F(GatewayFixture, SettingsAreTheControllersAndSavedUnlessSavingIsOff) {
    {
        Client a(port);
        a.send("++addr 13\n++read_tmo_ms 250\n++savecfg 0\n++addr 18\n++eot_enable 1\n++ver\n");
        EXPECT_EQ(a.upTo(kVersionLine), "");
    }
    ASSERT_TRUE(eventually([&] { return gateway.connectionsOpen() == 0; }));
    Client b(port);
    ASSERT_TRUE(b.connected());
    b.send("++addr\n++read_tmo_ms\n++eot_enable\n++savecfg\n++ver\n");
    EXPECT_EQ(b.upTo(kVersionLine), "18\r\n250\r\n1\r\n0\r\n");
    b.send("++rst\n++addr\n++eot_enable\n++savecfg\n++ver\n");
    EXPECT_EQ(b.upTo(kVersionLine), "13\r\n0\r\n1\r\n") << "the address and time-out saved before saving was turned off";
}

// One client at a time: a second connection is closed at once, unserved, and nothing it sent
// reaches an instrument; once the first client leaves, the next is served.
TEST_F(GatewayFixture, ServesOneClientAtATime) {
    auto first = std::make_unique<Client>(port);
    first->send("++addr 18\n++ver\n");
    EXPECT_EQ(first->upTo(kVersionLine), "");
    {
        Client second(port);
        second.send("++addr 18\nIP\n++ver\n");
        EXPECT_TRUE(second.closedByPeer());
    }
    EXPECT_TRUE(gateway.received(18).empty());
    EXPECT_EQ(gateway.connectionsTurnedAway(), 1);
    first.reset();
    ASSERT_TRUE(eventually([&] { return gateway.connectionsOpen() == 0; }));
    Client third(port);
    third.send("++ver\n");
    EXPECT_EQ(third.upTo(kVersionLine), "");
    EXPECT_EQ(gateway.connectionsServed(), 2);
}

// Garbage, over-long lines and a client that leaves mid-line harm nothing: the instrument keeps
// its state and the next client is served.
TEST_F(GatewayFixture, GarbageAndAbandonedLinesHarmNothing) {
    {
        Client a(port);
        a.send("++addr 18\nCF 2412MZ\n");
        a.send(std::string("\x00\xff\x1b", 3) + std::string(9000, 'Z') + "\n\x01\x02;;;\nCF 24");
    }
    ASSERT_TRUE(eventually([&] { return gateway.connectionsServed() == 1 && gateway.connectionsOpen() == 0; }));
    Client b(port);
    b.send("++addr 18\nCF?\n++read eoi\n++ver\n");
    EXPECT_EQ(b.upTo(kVersionLine), "2412000000\r\n");
}

TEST(Gateway, RefusesBenchesWhoseInstrumentsCannotBeServed) {
    std::string json = vireo::sim::testing::defaultBenchJson();
    json.replace(json.find("\"gpibAddress\": 18"), 17, "\"gpibAddress\": 13");
    vireo::sim::testing::TestBench bench(json);
    EXPECT_THROW(InstrumentGateway{loadBench(bench.benchFile())}, BenchError);
}
