#include <gtest/gtest.h>

#include "options.h"
#include "setting_ranges.h"

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
             {{"tx", "--speed", "1"}, "unknown option --speed"},
             // An unknown option is named as such, also where it would be the last argument.
             {{"tx", "--bogus"}, "unknown option --bogus"},
             {{"rx", "--quiet", "--bogus"}, "unknown option --bogus"},
             {{"--bogus"}, "unknown option --bogus"},
             {{"send"}, "tx or rx"}}) {
        const auto parsed = parseOptions(args);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
        EXPECT_NE(std::get<std::string>(parsed).find(needle), std::string::npos) << std::get<std::string>(parsed);
    }
}

// An option that is also a settings-file key takes exactly the values the file may hold.
TEST(CliOptions, OptionsKeepTheRangesOfTheirSettingsFileKeys) {
    for (const auto& [option, s] : std::vector<std::pair<std::string, IntegerSetting>>{
             {"--port", kSockPortSetting},
             {"--delay", kPktDelaySetting},
             {"--burst", kPktBurstSetting},
             {"--fill", kPktFillSetting}}) {
        for (const int value : {s.low, s.high}) {
            EXPECT_TRUE(std::holds_alternative<Options>(parseOptions({"tx", option, std::to_string(value)})))
                << option << " " << value;
        }
        const std::string range = "from " + std::to_string(s.low) + " to " + std::to_string(s.high);
        for (const int value : {s.low - 1, s.high + 1}) {
            const auto parsed = parseOptions({"tx", option, std::to_string(value)});
            ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << option << " " << value;
            EXPECT_NE(std::get<std::string>(parsed).find(range), std::string::npos) << std::get<std::string>(parsed);
        }
    }
}

TEST(CliOptions, HelpWinsWhereverItStands) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"tx", "--port", "1500", "-h"}, {"--bogus", "--help"}, {"rx", "--size", "--help"}}) {
        EXPECT_TRUE(std::holds_alternative<HelpRequest>(parseOptions(args))) << args.back();
    }
}

TEST(CliOptions, UsageGivesEveryOptionItsDefaultAndSaysWhereBroadcastGoes) {
    const std::string text = usage();
    const Options defaults;
    for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
             {"--mode", "[broadcast]"},
             {"--broadcast-address", "[255.255.255.255]"},
             {"--host", "[127.0.0.1]"},
             {"--port", "[1500]"},
             {"--size", "[1024]"},
             {"--unit", "[application]"},
             {"--fill", "[-1]"},
             {"--delay", "[0]"},
             {"--burst", "[0]"},
             {"--duration", "[10]"},
             {"--quiet", "[off]"}}) {
        const auto at = text.find("  " + option + " ");
        ASSERT_NE(at, std::string::npos) << option;
        // The default follows on the option's line or the next one.
        const auto end = text.find('\n', text.find('\n', at) + 1);
        EXPECT_NE(text.substr(at, end - at).find(value), std::string::npos) << option << " " << value;
    }
    EXPECT_NE(text.find("which reaches every host on the local network"), std::string::npos);
    EXPECT_NE(text.find("-h, --help"), std::string::npos);
    // The defaults printed are those the parser uses.
    const auto parsed = parseOptions({"tx"});
    ASSERT_TRUE(std::holds_alternative<Options>(parsed));
    const Options& o = std::get<Options>(parsed);
    EXPECT_EQ(o.settings.mode, defaults.settings.mode);
    EXPECT_EQ(o.settings.broadcastAddress, "255.255.255.255");
    EXPECT_EQ(o.tx.targetHost, "127.0.0.1");
    EXPECT_EQ(o.durationSeconds, 10);
    EXPECT_EQ(o.tx.pktFill, -1);
}
