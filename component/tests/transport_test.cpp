// The adapter session's request sequences, read back from the simulated driver's journal.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "component_fixture.h"
#include "common/text.h"
#include "registry/winreg.h"
#include "transport/adapter_session.h"

namespace direzo {
namespace {

using vireo::sim::JournalEntry;
using vireo::sim::testing::TestBench;

// The default bench with its first Vireo adapter changed by `edit`.
std::string benchWith(const std::function<void(nlohmann::json&)>& edit) {
    nlohmann::json bench = nlohmann::json::parse(vireo::sim::testing::defaultBenchJson());
    for (auto& adapter : bench["adapters"])
        if (adapter.value("vireo", true)) {
            edit(adapter);
            break;
        }
    return bench.dump();
}

const vireo::sim::AdapterSpec& firstVireo(const vireo::sim::BenchSpec& bench) {
    return *std::find_if(bench.adapters.begin(), bench.adapters.end(), [](const auto& a) { return a.vireo; });
}

class TransportTest : public ::testing::Test {
protected:
    explicit TransportTest(std::string benchJson = vireo::sim::testing::defaultBenchJson()) : bench_(benchJson) {}

    // Opens the first Vireo adapter and clears the journal.
    void open() {
        const auto spec = vireo::sim::loadBench(bench_.benchFile());
        const auto& adapter = firstVireo(spec);
        ASSERT_TRUE(session_.Open(fromAnsi(adapter.service), fromAnsi(adapter.key)));
        bench_.journal().clear();
    }
    std::vector<JournalEntry> journal() { return bench_.journal().entries(); }

    TestBench bench_;
    AdapterSession session_;
};

TEST_F(TransportTest, CommandIsAQueryOfTheCommandOid) {
    open();
    CommandBlock block{0x0838, 6, 0, 0};
    EXPECT_TRUE(session_.SendCommand(block));
    const auto entries = journal();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].type, NdisRequestQueryInformation);
    EXPECT_EQ(entries[0].oid, OID_VIREO_COMMAND);
    EXPECT_EQ(entries[0].in.size(), 8u);
    EXPECT_EQ(entries[0].inWord(0), 0x0838);
    EXPECT_EQ(entries[0].inWord(1), 6);
}

class RefusedCommandQuery : public TransportTest {
protected:
    RefusedCommandQuery()
        : TransportTest(benchWith([](nlohmann::json& a) { a["quirks"]["commandQueryRefused"] = true; })) {}
};

TEST_F(RefusedCommandQuery, SameBlockGoesAgainAsASet) {
    open();
    CommandBlock block{0x0838, 11, 0, 0};
    EXPECT_TRUE(session_.SendCommand(block));
    const auto entries = journal();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].status, NDIS_STATUS_INVALID_OID);
    EXPECT_EQ(entries[1].type, NdisRequestSetInformation);
    EXPECT_EQ(entries[1].oid, OID_VIREO_COMMAND);
    EXPECT_EQ(entries[1].in, entries[0].in);
}

class CommandSetNeedsBytes : public TransportTest {
protected:
    CommandSetNeedsBytes()
        : TransportTest(benchWith([](nlohmann::json& a) {
              a["quirks"]["commandQueryRefused"] = true;
              a["quirks"]["commandSetBytesNeeded"] = 16;
          })) {}
};

TEST_F(CommandSetNeedsBytes, FallbackThatReportsBytesNeededFails) {
    open();
    CommandBlock block{0x0000, 0, 0, 0};
    EXPECT_FALSE(session_.SendCommand(block));
    EXPECT_EQ(journal().size(), 2u);
}

class RefusedOtherwise : public TransportTest {
protected:
    RefusedOtherwise()
        : TransportTest(benchWith([](nlohmann::json& a) { a["missingRecords"] = nlohmann::json::array({"FC01"}); })) {}
};

TEST_F(RefusedOtherwise, OtherFailureStatusOfTheQueryIsFinal) {
    open();
    // A record read that fails is not retried as anything else: the driver's status comes back.
    RecordBuffer buffer;
    EXPECT_NE(session_.ReadRecord(buffer, 0xFC01), NDIS_STATUS_SUCCESS);
    EXPECT_EQ(journal().size(), 1u);
}

TEST_F(TransportTest, ReadMemoryClampsTo8192AndStoresTheClampedLength) {
    open();
    MemoryTransfer transfer;
    transfer.address = 0x000000;  // the firmware store, larger than one transfer
    transfer.length = 10000;
    EXPECT_TRUE(session_.ReadMemory(transfer));
    EXPECT_EQ(transfer.length, 8192);
    const auto reads = bench_.journal().entriesFor(OID_VIREO_MEMORY_READ);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].in.size(), 8192u + 6);
    EXPECT_EQ(reads[0].in[6], 0xDE);
    EXPECT_EQ(reads[0].in[7], 0xAD);
    // Memory access is enabled first.
    EXPECT_EQ(journal().front().oid, OID_VIREO_MEMORY_ENABLE);
}

TEST_F(TransportTest, VerifiedWriteSkipsWhatTheAdapterHolds) {
    open();
    MemoryTransfer transfer;
    transfer.address = 0x3F0000;
    transfer.length = 64;
    ASSERT_TRUE(session_.ReadMemory(transfer));
    bench_.journal().clear();
    EXPECT_TRUE(session_.VerifiedWriteMemory(transfer));
    EXPECT_TRUE(bench_.journal().entriesFor(OID_VIREO_MEMORY_WRITE).empty());

    transfer.data[0] ^= 0xFF;
    bench_.journal().clear();
    EXPECT_TRUE(session_.VerifiedWriteMemory(transfer));
    EXPECT_EQ(bench_.journal().entriesFor(OID_VIREO_MEMORY_WRITE).size(), 1u);
    EXPECT_EQ(bench_.journal().entriesFor(OID_VIREO_MEMORY_READ).size(), 2u);  // before and after
}

TEST_F(TransportTest, ProgramMemoryProbesEnablesWritesProbes) {
    open();
    MemoryTransfer transfer;
    transfer.address = 0x3F0000;
    transfer.length = 2;
    ASSERT_TRUE(session_.ReadMemory(transfer));
    bench_.journal().clear();
    EXPECT_TRUE(session_.ProgramMemory(transfer));
    std::vector<NDIS_OID> oids;
    for (const auto& e : journal()) oids.push_back(e.oid);
    EXPECT_EQ(oids, (std::vector<NDIS_OID>{OID_VIREO_COMMAND, OID_VIREO_MEMORY_ENABLE, OID_VIREO_MEMORY_WRITE,
                                           OID_VIREO_COMMAND}));
}

TEST_F(TransportTest, WriteLongerThanTheBufferIsRefusedUnsent) {
    open();
    MemoryTransfer transfer;
    transfer.length = 9000;
    EXPECT_FALSE(session_.WriteMemory(transfer));
    EXPECT_FALSE(session_.VerifiedWriteMemory(transfer));
    EXPECT_TRUE(journal().empty());
}

TEST_F(TransportTest, OpenClosesTheOldHandleEvenWhenTheNewOpenFails) {
    open();
    const LONG old = session_.handle();
    EXPECT_FALSE(session_.Open(u"NOSUCHSERVICE", u"9999"));
    EXPECT_EQ(session_.handle(), -1);
    NdisRequestRecord record{};
    record.Oid = OID_GEN_MEDIA_IN_USE;
    OVERLAPPED overlapped{};
    EXPECT_NE(W32N_MakeNdisRequest(old, &record, &overlapped, 1), NDIS_STATUS_SUCCESS);
}

TEST_F(TransportTest, ClosedSessionReachesNoDevice) {
    EXPECT_FALSE(session_.BlockProtocols());
    EXPECT_FALSE(session_.QueryVela());
    CommandBlock block;
    EXPECT_FALSE(session_.SendCommand(block));
    EXPECT_TRUE(journal().empty());
}

TEST_F(TransportTest, PrivateRequestsCarryTheirPayloads) {
    open();
    EXPECT_TRUE(session_.QueryVela());
    EXPECT_TRUE(session_.QueryMediumInUse());
    EXPECT_NE(session_.mediumInUse(), 0xFFFFFFFFu);
    EXPECT_TRUE(session_.ResetCard());
    const auto entries = journal();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].oid, OID_VIREO_VELA_PROBE);
    EXPECT_EQ(entries[0].inWord(0), 2);
    EXPECT_EQ(entries[0].inWord(1), 2);
    EXPECT_EQ(entries[1].oid, OID_GEN_MEDIA_IN_USE);
    EXPECT_EQ(entries[2].oid, OID_VIREO_CARD_RESET);
    EXPECT_EQ(entries[2].in.size(), 2088u);
}

// Keys added under the network class key for one test, removed again when it ends.
class ExtraAdapterKeys {
public:
    static constexpr const char* kClassKey =
        "System\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
    explicit ExtraAdapterKeys(std::vector<std::string> names) : names_(std::move(names)) {
        for (const auto& name : names_) {
            HKEY key = nullptr;
            const std::string path = std::string(kClassKey) + "\\" + name;
            EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_WRITE, nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            RegCloseKey(key);
        }
    }
    ~ExtraAdapterKeys() {
        for (const auto& name : names_)
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kClassKey) + "\\" + name).c_str());
    }

private:
    std::vector<std::string> names_;
};

TEST_F(TransportTest, KeyNameOfSixteenCharactersEndsTheAdapterKeyList) {
    std::vector<std::string> expected = session_.ListAdapterKeys();
    ASSERT_FALSE(expected.empty());
    const std::string fifteen = "ADAPTERKEY15CHR", sixteen = "ADAPTERKEY16CHRS";
    ExtraAdapterKeys added({fifteen, sixteen, "0099"});
    expected.push_back(fifteen);  // fits the 16-byte name buffer; the next one and all after it do not count
    EXPECT_EQ(session_.ListAdapterKeys(), expected);
}

TEST_F(TransportTest, ProductionAreaReadPresetsBytesWritten) {
    open();
    std::vector<BYTE> area(1024);
    EXPECT_TRUE(session_.ReadProductionArea(area.data(), 0x10400));  // only the low 16 bits count
    const auto reads = bench_.journal().entriesFor(OID_VIREO_PRODUCTION_DATA);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].in.size(), 1024u);
}

}  // namespace
}  // namespace direzo
