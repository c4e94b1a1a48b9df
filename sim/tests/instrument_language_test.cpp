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
    EXPECT_EQ(ask("ERR?"), "112,113,113\r\n");  // unknown command, then out of range twice: the old values stay
    EXPECT_EQ(ask("ERR?"), "0\r\n");
    EXPECT_EQ(ask("CF?"), "2412000000\r\n");
    sa.receive("IP");
    EXPECT_EQ(ask("CF?"), "1500000000\r\n");
    // Nothing asked: nothing to say.
    EXPECT_FALSE(sa.talk());
    EXPECT_EQ(sa.received().front(), "ID?");
}

// The analyzer's commands in the forms its language reference gives them, one case each: what the
// setting reads back afterwards and what ERR? then reports (0: nothing queued). A command it
// cannot take queues its error and changes nothing.
TEST(InstrumentLanguage, AnalyzerTakesEveryDocumentedFormAndRefusesTheRest) {
    NoRf rf;
    const struct {
        const char* send;
        const char* query;
        const char* reply;
        const char* errors;
    } cases[] = {
        {"CF 2412MZ", "CF?", "2412000000", "0"},
        {"CF 2412 MZ", "CF?", "2412000000", "0"},
        {"CF2.412GZ", "CF?", "2412000000", "0"},
        {"cf 2412mhz", "CF?", "2412000000", "0"},
        {"CF 2.412E9", "CF?", "2412000000", "0"},
        {"CF 2412000000HZ", "CF?", "2412000000", "0"},
        {"CF 2412000KZ", "CF?", "2412000000", "0"},
        {"CF 2412XZ", "CF?", "1500000000", "112"},   // an unknown unit: a command error
        {"CF 30GZ", "CF?", "1500000000", "113"},     // beyond the range
        {"CF 2412MZ;SS 5MZ;CF UP", "CF?", "2417000000", "0"},
        {"CF 2412MZ;SS 5MZ;CF DN;CF DN", "CF?", "2402000000", "0"},
        {"CF 0HZ;SS 5MZ;CF DN", "CF?", "0", "113"},
        {"SS 5MZ", "SS?", "5000000", "0"},
        {"SP 20MZ", "SP?", "20000000", "0"},
        {"SP 0HZ", "SP?", "0", "0"},
        {"RB 1MZ", "RB?", "1000000", "0"},
        {"RB 1MHZ", "RB?", "1000000", "0"},
        {"RB 300KZ", "RB?", "300000", "0"},
        {"RB 5GZ", "RB?", "AUTO", "113"},
        {"VB 3KZ", "VB?", "3000", "0"},
        {"VB 3KHZ", "VB?", "3000", "0"},
        {"VBR 0.3", "VBR?", "0.300", "0"},
        {"ST 100MS", "ST?", "0.100", "0"},
        {"ST 0.1SC", "ST?", "0.100", "0"},
        {"ST AUTO", "ST?", "AUTO", "0"},
        {"RL -25DM", "RL?", "-25.00", "0"},
        {"RL -25DBM", "RL?", "-25.00", "0"},
        {"RL -25", "RL?", "-25.00", "0"},
        {"ML -10DM", "ML?", "-10.0", "0"},
        {"AT 10DB", "AT?", "10", "0"},
        {"AT AUTO", "AT?", "AUTO", "0"},
        {"AT 80DB", "AT?", "AUTO", "113"},
        {"LG 10DB", "LG?", "10.0", "0"},
        {"ROFFSET 0DB", "ROFFSET?", "0.00", "0"},
        {"MKPX 6DB", "MKPX?", "6.00", "0"},
        {"MKPT -90DM", "MKPT?", "-90.00", "0"},
        {"TM VID", "TM?", "VID", "0"},
        {"TM SOMETIMES", "TM?", "FREE", "112"},
        {"DET SMP", "DET?", "SMP", "0"},
        {"INZ 75", "INZ?", "75", "0"},
        {"AUNITS DBM", "AUNITS?", "DBM", "0"},
        {"MKACT 3", "MKACT?", "3", "0"},
        {"MKACT 5", "MKACT?", "1", "113"},
        {"TS", "DONE?", "1", "0"},
        {"SNGLS;TS", "DONE?", "1", "0"},
        {"XYZZY", "ID?", "HP8593E", "112"},
        {"XYZZY;CF 30GZ;QQ", "CF?", "1500000000", "112,113,112"},
        {"", "REV?", "940915", "0"},
    };
    for (const auto& c : cases) {
        Instrument sa(loadDeviceFile(defaultDeviceFile("HP 8593E")), rf);
        auto ask = [&](const std::string& q) {
            sa.receive(q);
            std::string r = sa.talk().value_or("(nothing)");
            return r.substr(0, r.find("\r\n"));
        };
        sa.receive(c.send);
        EXPECT_EQ(ask(c.query), c.reply) << c.send;
        EXPECT_EQ(ask("ERR?"), c.errors) << c.send;
        EXPECT_EQ(ask("ERR?"), "0") << "read once, the queue is empty: " << c.send;
    }
}

// The power meter's program codes: its identity, its settings and a reading when addressed to talk.
TEST(InstrumentLanguage, PowerMeterAnswersItsIdentityAndItsReading) {
    NoRf rf;
    Instrument meter(loadDeviceFile(defaultDeviceFile("HP 438A")), rf);
    meter.receive("?ID");
    EXPECT_EQ(meter.talk(), "HP438A\r\n");
    meter.receive("ID?");
    EXPECT_EQ(meter.talk(), "HP438A\r\n") << "the analyzer's identity query names the meter, not a reading";
    meter.receive("PR AP LG KB100EN TR2");
    const auto reading = meter.talk();
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->substr(0, 3), "-7.") << *reading;  // -70 dBm: nothing connected
    meter.receive("KB200EN");  // beyond the cal factor's range: kept at 100 %
    meter.receive("TR2");
    EXPECT_EQ(meter.talk()->substr(0, 3), "-7.");
    // Codes run together, as the meter takes them: linear units, then a reading in watts.
    meter.forgetReceived();
    meter.receive("PRAPLNKB98.5ENTR2");
    EXPECT_EQ(meter.received(), (std::vector<std::string>{"PR", "AP", "LN", "KB98.5EN", "TR2"}));
    EXPECT_EQ(meter.talk()->find("E-1"), 6u) << "about 1e-10 W";
    meter.receive("PRXQ");  // not codes: nothing changes
    EXPECT_EQ(meter.received().back(), "PRXQ");
}
