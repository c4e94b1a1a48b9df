// The console's text helpers, range test, port suspension and remote creation errors.
#include <gtest/gtest.h>

#include "console_fixture.h"

namespace kestview::testing {
namespace {

TEST(ConsoleTexts, MacSerialModelAndPattern) {
    EXPECT_EQ(macAddressText(QByteArray::fromHex("0060 1DB2 0002")), "60-00-B2-1D-02-00");
    EXPECT_EQ(macAddressText(QByteArray::fromHex("0a0b0c")), "0B-0A-00-0C-00-00") << "missing bytes count as 0";
    // Pairs swapped, each byte after a blank; control bytes leave only the blank.
    EXPECT_EQ(serialNumberText(QByteArray("9A", 2) + QByteArray("\x01" "B", 2)), " A 9 B ");
    EXPECT_EQ(serialNumberText(QByteArray("\x1d\x1e", 2)), " \x1e ");
    EXPECT_EQ(serialNumberText(QByteArray()), "");
    const std::pair<qint32, const char*> models[] = {{3, "Alder"},   {17, "BirchA"}, {19, "BirchB"},
                                                      {16, "BirchS"}, {48, "Cedar"},  {0, "Unknown"}, {-1, "Unknown"}};
    for (const auto& [type, name] : models) EXPECT_EQ(bbpModelName(bbpTypeHexText(type)), name) << type;
    EXPECT_EQ(bbpTypeHexText(-1), "FFFFFFFF");
    EXPECT_EQ(patternValue("0000"), 0);
    EXPECT_EQ(patternValue("aB1f"), 0xAB1F);
    EXPECT_EQ(patternValue(""), 0);
}

TEST(ConsoleTexts, CreationErrorNumbers) {
    EXPECT_EQ(creationErrorNumber(E_ACCESSDENIED), 70);
    EXPECT_EQ(creationErrorNumber(REGDB_E_CLASSNOTREG), 429);
    EXPECT_EQ(creationErrorNumber(CO_E_CLASSSTRING), 429);
    EXPECT_EQ(creationErrorNumber(hresult(0x80080005)), 429);
    EXPECT_EQ(creationErrorNumber(RPC_S_SERVER_UNAVAILABLE), 462);
    EXPECT_EQ(creationErrorNumber(E_FAIL), E_FAIL);
}

using Helpers = OpenedAdapterTest;

TEST_F(Helpers, BetweenIsInclusiveAndTraced) {
    Console& c = console();
    EXPECT_TRUE(c.between(1, 1, 14));
    EXPECT_TRUE(c.between(14, 1, 14));
    EXPECT_FALSE(c.between(0, 1, 14));
    EXPECT_FALSE(c.between(15, 1, 14));
    EXPECT_EQ(traceLines().back(), "4 between(15, 1, 14)");
}

TEST_F(Helpers, SuspendAndResumeRefetchTheAdapterAndTogglePortZero) {
    Console& c = console();
    const Adapter before = c.AdapterObj;
    bench().journal().clear();
    c.suspendPort();
    c.resumePort();
    EXPECT_FALSE(c.AdapterObj.sameObject(Adapter()));
    EXPECT_TRUE(c.AdapterObj.sameObject(before)) << "Item by key answers the same adapter";
    EXPECT_GE(bench().journal().size(), 2u);
    EXPECT_TRUE(c.AdapterObj.isOpen());
}

TEST_F(Helpers, StatusBarAndRestartTx) {
    Console& c = console();
    std::vector<std::pair<bool, QString>> seen;
    QObject::connect(&c, &Console::errorStatusChanged, [&](bool shown, const QString& t) { seen.emplace_back(shown, t); });
    c.setError("IPORT = 0");
    EXPECT_TRUE(c.errorShown());
    EXPECT_EQ(c.errorText(), "IPORT = 0");
    c.clrstatusbar();
    EXPECT_FALSE(c.errorShown());
    EXPECT_TRUE(c.errorText().isEmpty());
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(true, QStringLiteral("IPORT = 0")));

    c.TxPattern = 0x1234;
    EXPECT_NO_THROW(c.restartTX());
    EXPECT_NE(std::find(traceLines().begin(), traceLines().end(), "3 restartTX()"), traceLines().end());
}

class MissingRecords : public ConsoleTest {
protected:
    MissingRecords() : ConsoleTest(benchWithMissingQuality()) {}
    static std::string benchWithMissingQuality() {
        std::string json = vireo::sim::testing::defaultBenchJson();
        const std::string anchor = "\"key\": \"0002\",";
        json.insert(json.find(anchor) + anchor.size(), " \"missingRecords\": [\"FD43\"],");
        return json;
    }
};

TEST_F(MissingRecords, SetObjectsNamesTheRecordItCouldNotFetch) {
    createAdapters();
    Console& c = console();
    c.AdapterKey = kBirchBKey;
    c.fetchAdapter();
    ASSERT_TRUE(c.AdapterObj.open());
    c.bindVireo();
    EXPECT_FALSE(c.SetObjects());
    EXPECT_EQ(c.errorText(), "Error Creating Rid Object fd43");
    EXPECT_TRUE(c.RidChannel && c.RidMacAddr) << "the records before it were fetched";
    EXPECT_FALSE(c.RidCommsQuality);
}

TEST_F(ConsoleTest, RemoteCreationOnAnUnreachableHostFails) {
    try {
        RemoteProvider::create(QStringLiteral("127.0.0.2"));
        FAIL();
    } catch (const AutomationError& e) {
        // Not registered here, or registered and the host does not answer.
        const qint32 n = creationErrorNumber(e.number());
        EXPECT_TRUE(n == 429 || n == 462) << e.text().toStdString();
    }
}

}  // namespace
}  // namespace kestview::testing
