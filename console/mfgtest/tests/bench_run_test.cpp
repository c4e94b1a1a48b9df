// The spectral-mask test on the default bench, end to end: the sequence through the component and
// the simulated adapter, the real instrument drivers and the simulated gateway, run headless.
#include <QFile>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "bench_fixture.h"
#include "console_ports.h"
#include "firmware_objects.h"
#include "vireo_object.h"
#include "headless_run.h"
#include "instrument_port.h"
#include "mask_test.h"
#include "ndisreq32/vireo_oids.h"

namespace kestview::mfgtest {
namespace {

using testing::BenchTest;
using testing::kCedarKey;

int countRowLines(const std::string& out) {
    std::istringstream in(out);
    int n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.size() > 3 && std::isdigit(static_cast<unsigned char>(line[0])) && line[2] == ' ';
    return n;
}

TEST_F(BenchTest, HeadlessRunTunesEveryChannelBelowTheMaskStoresAndWritesReportAndRecord) {
    HeadlessOptions o;
    o.adapterKey = kCedarKey;
    o.reportPdf = workDir() + "/report.pdf";
    o.jsonFile = workDir() + "/run.json";
    o.store = true;
    std::ostringstream out, err;
    ASSERT_EQ(runHeadless(console(), equipment(), o, out, err), kExitPassed) << out.str() << err.str();
    EXPECT_EQ(countRowLines(out.str()), 33) << out.str();
    EXPECT_NE(out.str().find("TEST SUCCESSFUL"), std::string::npos);

    QFile pdf(o.reportPdf);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(4) == "%PDF");
    QFile json(o.jsonFile);
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const auto doc = nlohmann::json::parse(json.readAll().toStdString());
    EXPECT_EQ(doc["result"], "pass");
    EXPECT_EQ(doc["maskOffsetDb"], 28.0);
    EXPECT_EQ(doc["storedInAdapter"], true);
    EXPECT_EQ(doc["macAddress"], "00-60-1D-C3-00-03");  // as the main window shows it
    EXPECT_EQ(QDir(dataHome() + "/oru/results").entryList({"*.json"}).size(), 1);
    const auto& rows = doc["rows"];
    ASSERT_EQ(rows.size(), 33u);
    auto row = [&](int i) -> const nlohmann::json& { return rows[std::size_t(i - 1)]; };

    for (int ch = 1; ch <= 14; ++ch) {
        for (const int i : {ch, 16 + ch}) {
            SCOPED_TRACE("row " + std::to_string(i));
            EXPECT_EQ(row(i)["channel"], ch);
            const double lobe = row(i)["firstLobeDbc"];
            EXPECT_LT(lobe, -28.0);
            EXPECT_GT(lobe, -29.0);
            EXPECT_LT(double(row(i)["secondLobeDbc"]), lobe);
        }
        // The narrow filter of the JPN pass lets the transmitter run hotter.
        EXPECT_GT(double(row(16 + ch)["outputPowerDbm"]), double(row(ch)["outputPowerDbm"])) << "channel " << ch;
    }
    // Stored: the adapter's records 0900 and 0901 hold the set points and integrators, low byte first.
    PDA pda = console().VireoObj.pda();
    ASSERT_TRUE(pda.retrieve());
    const auto setPoints = pda.item("0900").pdr(), integrators = pda.item("0901").pdr();
    ASSERT_EQ(setPoints.size(), 60u);
    ASSERT_EQ(integrators.size(), 66u);
    for (int i = 1; i <= 33; ++i) {
        if (i <= 30) {
            EXPECT_EQ(setPoints[2 * (i - 1)], int(row(i)["setPoint"]) & 0xFF) << i;
        }
        EXPECT_EQ(integrators[2 * (i - 1)], int(row(i)["integrator"]) & 0xFF) << i;
    }
    EXPECT_EQ(row(1)["tag"], "US    Ch01");
    EXPECT_EQ(row(17)["tag"], "JPN   Ch01");
    for (auto [etsi, source, tag] : {std::tuple{15, 1, "ETSI Ch01  "}, {16, 13, "ETSI Ch13 "}}) {
        auto copy = row(source);
        copy["row"] = etsi;
        copy["tag"] = tag;
        EXPECT_EQ(row(etsi), copy);
    }
    for (auto [i, k, tag] : {std::tuple{31, 1, "BO  -03Db"}, {32, 2, "BO  -06Db"}, {33, 4, "BO  -12Db"}}) {
        SCOPED_TRACE(tag);
        EXPECT_EQ(row(i)["tag"], tag);
        EXPECT_EQ(row(i)["channel"], 6);
        EXPECT_EQ(row(i)["outputPowerDbm"], 0.0);
        EXPECT_EQ(row(i)["firstLobeDbc"], 0.0);
        EXPECT_EQ(row(i)["secondLobeDbc"], 0.0);
        // Derived from a recording after the JPN pass, which left the transmitter on channel 14.
        EXPECT_EQ(row(i)["integrator"], int(row(30)["integrator"]) - 24 * k);
        EXPECT_EQ(row(i)["setPoint"], int(row(30)["setPoint"]) - 24 * k);
    }
}

TEST_F(BenchTest, HeadlessSetUpErrors) {
    std::ostringstream out, err;
    HeadlessOptions alder;
    alder.adapterKey = "0001";
    EXPECT_EQ(runHeadless(console(), equipment(), alder, out, err), kExitSetUp);
    EXPECT_NE(err.str().find("needs a Birch or Cedar baseband"), std::string::npos) << err.str();
    HeadlessOptions missing;
    missing.adapterKey = "0099";
    EXPECT_EQ(runHeadless(console(), equipment(), missing, out, err), kExitSetUp);
    gateway().stop();
    HeadlessOptions cedar;
    cedar.adapterKey = kCedarKey;
    err.str("");
    EXPECT_EQ(runHeadless(console(), equipment(), cedar, out, err), kExitSetUp);
    EXPECT_NE(err.str().find("All Instruments did not initialize"), std::string::npos) << err.str();
    EXPECT_FALSE(QDir(dataHome() + "/oru/results").exists() &&
                 !QDir(dataHome() + "/oru/results").entryList({"*.json"}).isEmpty());
}

// Stops the sweep once its first row is recorded, as "Stop Testing" clicked during that channel.
class StopAfterFirstRow final : public ConsoleTestHost {
public:
    using ConsoleTestHost::ConsoleTestHost;
    void rowRecorded(int, const clsTestData&) override { setTesting(false); }
};

// The component calls of the journal, in order: commands by name, Cedar register accesses of the
// test (control register n at bus address 2n) by register.
std::vector<std::string> componentCalls(const vireo::sim::Journal& journal) {
    std::vector<std::string> calls;
    for (const auto& e : journal.entriesFor(OID_VIREO_COMMAND)) {
        if (e.status != 0) continue;
        const int cmd = e.inWord(0), p0 = e.inWord(1), p1 = e.inWord(2);
        if (cmd == 0x0838) calls.push_back("SetChannel " + std::to_string(p0));
        else if (cmd == 0x0E38) calls.push_back("ContinuousTx");
        else if (cmd == 0x0F38) calls.push_back("StopTest");
        else if (cmd == 0x0030) calls.push_back("read CR" + std::to_string(p0 / 2));
        else if (cmd == 0x0031) calls.push_back("write CR" + std::to_string(p0 / 2) + "=" + std::to_string(p1));
        else calls.push_back("command " + std::to_string(cmd));
    }
    return calls;
}

std::string joined(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& x : v) s += x + "\n";
    return s;
}

// One channel of the US pass: what reached the analyzer and the power meter through the gateway,
// and what reached the adapter through the component, against the sequence's steps.
TEST_F(BenchTest, OneChannelsInstrumentCommandsAndComponentCalls) {
    openAdapter(kCedarKey);
    equipment().initTestEquip();
    ASSERT_TRUE(equipment().AnalyzerOk && equipment().PowerMeterOk);
    ConsoleAdapterPort adapter(console());
    EquipmentInstruments instruments(equipment());
    StopAfterFirstRow host(console());
    MaskTest test(adapter, instruments, host, 28);
    adapter.writeRegister("CR9", 0xA0);
    adapter.writeRegister("CR10", 0xBD);
    test.SetupAnalyzer();
    instruments.saReadMarkerAmplitude(0);  // answered once the gateway has taken in all before it
    gateway().forgetReceived();
    bench().journal().clear();
    console().TestingFlag = true;
    int count = 0;
    EXPECT_FALSE(test.RunChannelSweep(count, "US   "));  // stopped before channel 2
    ASSERT_EQ(count, 1);
    const clsTestData& row = *test.run().rows[1];

    // Adapter: channel and transmit, then per measurement CR31 read and, unless the sidelobe was
    // within the window, written and the transmitter restarted; then the set point read twice.
    const auto calls = componentCalls(bench().journal());
    std::vector<std::string> expected{"SetChannel 1", "ContinuousTx"};
    std::vector<int> written;
    for (std::size_t i = 2; i + 3 < calls.size() && calls[i] == "read CR31" && calls[i + 1].rfind("write CR31", 0) == 0;
         i += 4) {
        written.push_back(std::stoi(calls[i + 1].substr(calls[i + 1].find('=') + 1)));
        for (const std::string& c : {std::string("read CR31"), calls[i + 1], std::string("StopTest"), std::string("ContinuousTx")}) expected.push_back(c);
    }
    // The last measurement's CR31 is kept: nothing is written after it.
    for (const auto* c : {"read CR31", "read CR58", "read CR58"}) expected.push_back(c);
    EXPECT_EQ(calls, expected) << joined(calls);
    const std::size_t steps = written.size() + 1;  // measurements
    EXPECT_LE(steps, 13u);
    EXPECT_EQ(row.integrator, adapter.readRegister("CR31"));
    if (!written.empty()) {
        EXPECT_EQ(row.integrator, written.back());
    }

    // Analyzer: centre frequency and title, per tuning step the amplitude set-up, the peak
    // excursion, the five marker functions and the three marker reads; then the second-lobe read.
    const std::vector<std::string> amplitude{"AT AUTO", "AUNITS DBM", "INZ 50", "LG 10DB", "DET POS", "CLRW TRA",
                                             "ROFFSET 0DB", "MKPX 0.4DB", "MKTRACK OFF"};
    const std::vector<std::string> reads{"MKACT 1", "MKA?", "MKACT 2", "MKA?", "MKACT 3", "MKA?"};
    std::vector<std::string> analyzer{"CF 2412000000HZ", "SS 5000000HZ", "TITLE@Testing US CH01@"};
    for (std::size_t i = 0; i < steps; ++i) {
        analyzer.insert(analyzer.end(), amplitude.begin(), amplitude.end());
        for (const auto* c : {"MKACT 1", "MKPK HI", "MKACT 2", "MKPK HI", "MKACT 2", "MKPK NL", "MKACT 3", "MKPK HI",
                              "MKACT 3", "MKPK NR"})
            analyzer.push_back(c);
        analyzer.insert(analyzer.end(), reads.begin(), reads.end());
    }
    analyzer.insert(analyzer.end(), amplitude.begin(), amplitude.end());
    analyzer.insert(analyzer.end(), reads.begin(), reads.end());
    for (const auto* c : {"MKACT 2", "MKPK NL", "MKA?", "MKACT 3", "MKPK NR", "MKA?"}) analyzer.push_back(c);
    EXPECT_EQ(gateway().received(testing::kAnalyzerAddress), analyzer)
        << joined(gateway().received(testing::kAnalyzerAddress));
    // Power meter: one reading, after the tuning.
    EXPECT_EQ(gateway().received(13), std::vector<std::string>{"TR2"});

    // The row: the tuned first sidelobe within 1 dB below the limit, the second one below it.
    EXPECT_EQ(row.dataTag, "US    Ch01");
    std::string tuning = std::to_string(steps) + " tuning steps, CR31 written:";
    for (int w : written) tuning += " " + std::to_string(w);
    EXPECT_LT(row.firstLobe, -28.0) << tuning;
    EXPECT_GT(row.firstLobe, -29.0) << tuning;
    EXPECT_LT(row.secondLobe, row.firstLobe);
    EXPECT_GT(row.outputPower, 5.0);
}

}  // namespace
}  // namespace kestview::mfgtest
