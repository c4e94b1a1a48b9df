#include <gtest/gtest.h>

#include "options.h"

using namespace airmeter;
using namespace airmeter::cli;

TEST(CliOptions, ParsesEveryOption) {
    const auto parsed = parseOptions({"rx", "--mode", "stream", "--host", "127.0.0.2", "--port", "2000",
                                      "--size", "800", "--unit", "mac", "--fill", "65", "--delay", "10",
                                      "--burst", "4", "--duration", "3", "--broadcast-address",
                                      "127.255.255.255", "--quiet"});
    ASSERT_TRUE(std::holds_alternative<Options>(parsed));
    const Options& o = std::get<Options>(parsed);
    EXPECT_FALSE(o.transmit);
    EXPECT_EQ(o.settings.mode, TestMode::Stream);
    EXPECT_EQ(o.tx.targetHost, "127.0.0.2");
    EXPECT_EQ(o.settings.socketPort, 2000);
    EXPECT_EQ(o.settings.packetSize, 800);
    EXPECT_EQ(o.settings.unit, PacketUnit::Mac);
    EXPECT_EQ(o.tx.pktFill, 65);
    EXPECT_EQ(o.tx.pktDelay, 10);
    EXPECT_EQ(o.tx.pktBurst, 4);
    EXPECT_EQ(o.durationSeconds, 3);
    EXPECT_EQ(o.settings.broadcastAddress, "127.255.255.255");
    EXPECT_TRUE(o.quiet);
}

TEST(CliOptions, BadArgumentsAreNamed) {
    for (const auto& [args, needle] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{}, "tx or rx"},
             {{"tx", "--port", "15x"}, "'15x' is not an integer"},
             {{"tx", "--port", "70000"}, "--port"},
             {{"tx", "--mode", "multicast"}, "--mode"},
             {{"tx", "--size"}, "needs a value"},
             {{"tx", "--speed", "1"}, "unknown option --speed"}}) {
        const auto parsed = parseOptions(args);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
        EXPECT_NE(std::get<std::string>(parsed).find(needle), std::string::npos) << std::get<std::string>(parsed);
    }
}
