// The simulated instruments' language: message units, patterns, quantities, device files and the
// state an instrument keeps.
#include <gtest/gtest.h>

#include "gateway/device_file.h"
#include "gateway/instrument.h"
#include "gateway/message_parser.h"

using namespace vireo::sim;
using namespace vireo::sim::gateway;

namespace {
class NoRf final : public RfSource {
public:
    Emission emission() const override { return {}; }
    double lossDb() const override { return 0; }
};

const std::map<std::string, double> kHz{{"HZ", 1}, {"KZ", 1e3}, {"MZ", 1e6}, {"GZ", 1e9}};
}  // namespace

TEST(InstrumentLanguage, SplitsMessagesIntoUnits) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitMessage("IP;CF 2412MZ;SP 100MZ;", ";"), (V{"IP", "CF 2412MZ", "SP 100MZ"}));
    EXPECT_EQ(splitMessage("  MKA?\r\n", ";"), (V{"MKA?"}));
    EXPECT_EQ(splitMessage("TITLE@Testing US; CH05@;TS", ";"), (V{"TITLE@Testing US; CH05@", "TS"}));
    EXPECT_EQ(splitMessage("PR AP LG TR2", " ;"), (V{"PR", "AP", "LG", "TR2"}));
    EXPECT_TRUE(splitMessage(";;\n ;", ";").empty());
}

TEST(InstrumentLanguage, MatchesPatternsAndQuantities) {
    struct Case {
        const char* pattern;
        const char* unit;
        std::optional<std::string> value;
    } cases[] = {
        {"CF {}", "CF 2412MZ", "2412MZ"}, {"CF {}", "cf2412mz", "2412mz"}, {"CF {}", "CF", std::nullopt},
        {"TR{}", "TR2", "2"},             {"KB{}EN", "KB98.5EN", "98.5"}, {"TITLE@{}@", "TITLE@Testing US CH05@", "Testing US CH05"},
        {"AT {}", "AT AUTO", "AUTO"},     {"AT {}", "ATAUTO", std::nullopt}, {"SP {}", "SS 5MZ", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(matchPattern(c.pattern, c.unit), c.value) << c.pattern << " / " << c.unit;

    EXPECT_EQ(parseQuantity("2412MZ", kHz), 2412e6);
    EXPECT_EQ(parseQuantity("1e6", kHz), 1e6);
    EXPECT_EQ(parseQuantity("-2.5 KZ", kHz), -2500.0);
    EXPECT_EQ(parseQuantity("100", kHz), 100.0);
    for (const char* bad : {"", "MZ", "12XZ", "1e", "--1", "1.2.3", "nan", "1e999"}) EXPECT_FALSE(parseQuantity(bad, kHz)) << bad;

    EXPECT_EQ(formatNumber("{:+.3E}", 16.19), "+1.619E+01");
    EXPECT_EQ(formatNumber("{:.2f}", -27.456), "-27.46");
    EXPECT_EQ(formatNumber("{:d}", 3), "3");
    EXPECT_EQ(formatText("{}", "FREE"), "FREE");
}

TEST(InstrumentLanguage, DeviceFilesAreCheckedFieldByField) {
    EXPECT_NO_THROW(loadDeviceFile(defaultDeviceFile("HP 438A")));
    const DeviceDefinition sa = loadDeviceFile(defaultDeviceFile("HP 8593E"));
    EXPECT_EQ(sa.defaultAddress, 18);
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"[", "not valid JSON"},
        {R"({"devices": {}})", "no device"},
        {R"({"devices": {"X": {"dialogs": []}}})", "devices.X.dialogs: unknown field"},
        {R"({"devices": {"X": {"behaviour": "oven"}}})", "behaviour"},
        {R"({"devices": {"X": {"properties": {"p": {"setter": {"q": "P"}}}}}})", "expected a pattern with {}"},
        {R"({"devices": {"X": {"dialogues": [{"q": "A?", "function": "reading"}]}}})", "needs a reply format"},
        {R"({"devices": {"X": {}}, "resources": {"GPIB0::99::INSTR": {"device": "X"}}})", "GPIB0::99::INSTR"},
    };
    for (const Case& c : cases) {
        try {
            parseDeviceFile(c.text, "dev.json");
            ADD_FAILURE() << c.text;
        } catch (const DeviceFileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("dev.json", 0), 0u) << e.what();
        }
    }
}

TEST(InstrumentLanguage, AnalyzerKeepsSettingsAndQueuesErrors) {
    NoRf rf;
    Instrument sa(loadDeviceFile(defaultDeviceFile("HP 8593E")), rf);
    auto ask = [&](const std::string& q) {
        sa.receive(q);
        return sa.talk().value_or("(nothing)");
    };
    EXPECT_EQ(ask("ID?"), "HP8593E\r\n");
    sa.receive("CF 2412MZ;SP 100MZ;RB 1000000HZ;RL -25DM");
    EXPECT_EQ(ask("CF?"), "2412000000\r\n");
    EXPECT_EQ(ask("SP?"), "100000000\r\n");
    EXPECT_EQ(ask("RL?"), "-25.00\r\n");
    EXPECT_EQ(ask("ERR?"), "0\r\n");
    sa.receive("XYZZY;RB 5GZ;CF 30GZ");
    EXPECT_EQ(ask("ERR?"), "112\r\n");  // unknown command
    EXPECT_EQ(ask("ERR?"), "113\r\n");  // out of range: the old value stays
    EXPECT_EQ(ask("ERR?"), "113\r\n");
    EXPECT_EQ(ask("ERR?"), "0\r\n");
    EXPECT_EQ(ask("CF?"), "2412000000\r\n");
    sa.receive("IP");
    EXPECT_EQ(ask("CF?"), "1500000000\r\n");
    // Nothing asked: nothing to say.
    EXPECT_FALSE(sa.talk());
    EXPECT_EQ(sa.received().front(), "ID?");
}
