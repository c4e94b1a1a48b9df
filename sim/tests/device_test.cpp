#include <gtest/gtest.h>

#include "controller.h"
#include "request_helpers.h"
#include "vireo/sim/testing/test_bench.h"

using namespace vireo::sim;
using TestBench = vireo::sim::testing::TestBench;
using namespace simtest;

namespace {
const std::string kQuirkyBench = R"({"adapters":[
  {"key":"0001","service":"Q1","driverDesc":"q","baseband":"birch-a","mac":"00:60:1D:00:00:01",
   "quirks":{"commandQueryRefused":true,"refusedOids":["0xFF02018D"]}},
  {"key":"0002","service":"Q2","driverDesc":"q","baseband":"birch-a","mac":"00:60:1D:00:00:02",
   "quirks":{"commandQueryRefused":true,"commandSetBytesNeeded":4}}]})";
}  // namespace

TEST(Device, StandardOidsAndTheVelaProbe) {
    TestBench bench;
    const struct {
        const char* key;
        NDIS_OID oid;
        NDIS_STATUS status;
        DWORD value;
    } cases[] = {
        {"0001", OID_GEN_MEDIA_IN_USE, NDIS_STATUS_SUCCESS, 0},
        {"0003", OID_GEN_VENDOR_DRIVER_VERSION, NDIS_STATUS_SUCCESS, 0x00020002},
        {"0004", OID_GEN_VENDOR_DRIVER_VERSION, NDIS_STATUS_SUCCESS, 0x00040000},
        {"0002", OID_VIREO_VELA_PROBE, NDIS_STATUS_SUCCESS, 0x00020002},
        {"0004", OID_VIREO_VELA_PROBE, NDIS_STATUS_INVALID_OID, 0},
        {"0004", OID_VIREO_COMMAND, NDIS_STATUS_INVALID_OID, 0},
        {"0001", 0x00010199, NDIS_STATUS_INVALID_OID, 0},
    };
    for (const auto& c : cases) {
        const Reply r = send(*bench.device(c.key), NdisRequestQueryInformation, c.oid, words({2, 2}));
        EXPECT_EQ(r.status, c.status) << c.key << " " << std::hex << c.oid;
        if (c.status == NDIS_STATUS_SUCCESS) {
            EXPECT_EQ(r.bytesTransferred, 4u);
            EXPECT_EQ(DWORD(r.word(0) | r.word(1) << 16), c.value);
        }
    }
}

TEST(Device, ShortBuffersAndWrongRequestTypesAreRefused) {
    TestBench bench;
    auto d = bench.device("0002");
    const struct {
        DWORD type;
        NDIS_OID oid;
        std::size_t length;
        NDIS_STATUS status;
        DWORD needed;
    } cases[] = {
        {NdisRequestQueryInformation, OID_VIREO_COMMAND, 6, NDIS_STATUS_BUFFER_TOO_SHORT, 8},
        {NdisRequestSetInformation, OID_VIREO_COMMAND, 4, NDIS_STATUS_INVALID_LENGTH, 8},
        {NdisRequestQueryInformation, OID_VIREO_TALLIES, 100, NDIS_STATUS_BUFFER_TOO_SHORT, 176},
        {NdisRequestQueryInformation, OID_VIREO_PRODUCTION_DATA, 1000, NDIS_STATUS_BUFFER_TOO_SHORT, 1024},
        {NdisRequestSetInformation, OID_VIREO_CARD_RESET, 100, NDIS_STATUS_INVALID_LENGTH, 2088},
        {NdisRequestQueryInformation, OID_GEN_MEDIA_IN_USE, 2, NDIS_STATUS_BUFFER_TOO_SHORT, 4},
        {NdisRequestSetInformation, OID_VIREO_TALLIES, 176, NDIS_STATUS_NOT_SUPPORTED, 0},
        {NdisRequestQueryInformation, OID_VIREO_MEMORY_ENABLE, 0, NDIS_STATUS_NOT_SUPPORTED, 0},
    };
    for (const auto& c : cases) {
        const Reply r = send(*d, c.type, c.oid, std::vector<BYTE>(c.length, 0));
        EXPECT_EQ(r.status, c.status) << std::hex << c.oid;
        EXPECT_EQ(r.bytesNeeded, c.needed) << std::hex << c.oid;
    }
    EXPECT_EQ(d->controllerState().cardResets, 0u);
}

TEST(Device, QuirksOfTheCommandOid) {
    TestBench bench(kQuirkyBench);
    auto refusing = bench.device("0001");
    EXPECT_EQ(command(*refusing, cmd::SetChannel, 9).status, NDIS_STATUS_INVALID_OID);
    EXPECT_EQ(refusing->controllerState().channel, 1);
    // The same block as a set is carried out, and its response comes back in the block.
    EXPECT_EQ(command(*refusing, cmd::SetChannel, 9, 0, true).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(refusing->controllerState().channel, 9);
    const Reply cr0 = command(*refusing, cmd::ReadBaseband, 0, 0, true);
    EXPECT_EQ(cr0.word(1), WORD(BasebandModel::BirchA));
    EXPECT_EQ(send(*refusing, NdisRequestQueryInformation, OID_VIREO_TALLIES, std::vector<BYTE>(176)).status,
              NDIS_STATUS_INVALID_OID);

    auto needy = bench.device("0002");
    const Reply r = command(*needy, cmd::SetChannel, 9, 0, true);
    EXPECT_EQ(r.status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(r.bytesNeeded, 4u);
    EXPECT_EQ(needy->controllerState().channel, 1);  // not carried out
}

TEST(Device, ControllerCommands) {
    TestBench bench;
    auto alder = bench.device("0001");
    auto birch = bench.device("0002");
    const struct {
        Device* d;
        WORD cmd, p0;
        NDIS_STATUS status;
    } cases[] = {
        {birch.get(), cmd::SetChannel, 14, NDIS_STATUS_SUCCESS},
        {birch.get(), cmd::SetChannel, 0, NDIS_STATUS_FAILURE},
        {birch.get(), cmd::SetChannel, 15, NDIS_STATUS_FAILURE},
        {birch.get(), cmd::EnablePort + (6 << 8), 0, NDIS_STATUS_SUCCESS},
        {birch.get(), cmd::EnablePort + (7 << 8), 0, NDIS_STATUS_FAILURE},
        {birch.get(), cmd::CalibrationEnable, 0, NDIS_STATUS_SUCCESS},
        {alder.get(), cmd::CalibrationEnable, 0, NDIS_STATUS_FAILURE},
        {alder.get(), cmd::SignalState, 3, NDIS_STATUS_FAILURE},
        {birch.get(), cmd::SignalState, 3, NDIS_STATUS_SUCCESS},
        {birch.get(), 0x4438, 0, NDIS_STATUS_FAILURE},
        {birch.get(), 0x0099, 0, NDIS_STATUS_FAILURE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(command(*c.d, c.cmd, c.p0).status, c.status) << std::hex << c.cmd << " " << c.p0;
    ControllerState s = birch->controllerState();
    EXPECT_EQ(s.channel, 14);
    EXPECT_EQ(s.portsEnabled, 0x40);
    EXPECT_TRUE(s.calibrationEnabled);
    EXPECT_EQ(s.signalState, 3);

    // Test modes: one at a time; sleep stops them and refuses new ones until woken.
    const struct {
        WORD cmd, p0;
        TestMode mode;
    } modes[] = {{cmd::ContinuousTx, 0xA55A, TestMode::ContinuousTx},
                 {cmd::ContinuousRx, 0, TestMode::ContinuousRx},
                 {cmd::Monitor, 0, TestMode::Monitor},
                 {cmd::StopTest, 0, TestMode::Stopped}};
    for (const auto& m : modes) {
        ASSERT_EQ(command(*birch, m.cmd, m.p0).status, NDIS_STATUS_SUCCESS);
        EXPECT_EQ(birch->controllerState().mode, m.mode);
    }
    command(*birch, cmd::ContinuousTx, 0x1234);
    EXPECT_EQ(birch->controllerState().pattern, 0x1234);
    ASSERT_EQ(command(*birch, cmd::SleepPhy).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(birch->controllerState().mode, TestMode::Stopped);
    EXPECT_EQ(command(*birch, cmd::ContinuousTx, 1).status, NDIS_STATUS_FAILURE);
    EXPECT_EQ(command(*birch, cmd::WakePhy).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(command(*birch, cmd::ContinuousTx, 1).status, NDIS_STATUS_SUCCESS);
}

TEST(Device, RefusedCommandsAndRecordWritesChangeNothing) {
    TestBench bench(R"({"adapters":[{"key":"0001","service":"F1","driverDesc":"f","baseband":"birch-a",
      "mac":"00:60:1D:00:00:01","faults":{"refusedCommands":["0x0838"],"refusedRecordWrites":["FC84"]}}]})");
    auto d = bench.device("0001");
    const Reply refused = command(*d, 0x0838, 9);
    EXPECT_EQ(refused.status, NDIS_STATUS_FAILURE);
    EXPECT_EQ(refused.word(0), 0x0001) << "the bad-parameter status";
    EXPECT_EQ(d->controllerState().channel, 1);
    EXPECT_EQ(command(*d, 0x0E38, 0x5555).status, NDIS_STATUS_SUCCESS) << "other commands are carried out";
    EXPECT_EQ(d->controllerState().mode, TestMode::ContinuousTx);
    EXPECT_EQ(writeRecord(*d, 0xFC84, {8}).status, NDIS_STATUS_FAILURE);
    EXPECT_EQ(d->record(0xFC84), std::vector<WORD>({15}));
    EXPECT_EQ(readRecord(*d, 0xFC84).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(writeRecord(*d, 0xFC00, {3}).status, NDIS_STATUS_SUCCESS);
}

TEST(Device, CardResetAndReopening) {
    TestBench bench;
    auto d = bench.device("0003");
    command(*d, cmd::SetChannel, 4);
    command(*d, cmd::ContinuousTx, 1);
    ASSERT_EQ(send(*d, NdisRequestSetInformation, OID_VIREO_BLOCK_PROTOCOLS, {}).status, NDIS_STATUS_SUCCESS);
    EXPECT_TRUE(d->controllerState().protocolsBlocked);
    EXPECT_EQ(bench.device("0003"), d);  // the same device with its state
    ASSERT_EQ(send(*d, NdisRequestSetInformation, OID_VIREO_CARD_RESET, std::vector<BYTE>(kCardResetBytes)).status,
              NDIS_STATUS_SUCCESS);
    const ControllerState s = d->controllerState();
    EXPECT_EQ(s.channel, 11);  // the bench's power-on channel
    EXPECT_EQ(s.mode, TestMode::Stopped);
    EXPECT_FALSE(s.protocolsBlocked);
    EXPECT_EQ(s.cardResets, 1u);
}

TEST(Device, JournalKeepsEveryRequest) {
    TestBench bench;
    auto d = bench.device("0002");
    command(*d, cmd::ReadBaseband, 0);
    send(*d, NdisRequestQueryInformation, 0x01020304, std::vector<BYTE>(4));
    const auto entries = bench.journal().entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].adapterKey, "0002");
    EXPECT_EQ(entries[0].oid, OID_VIREO_COMMAND);
    EXPECT_EQ(entries[0].type, NdisRequestQueryInformation);
    EXPECT_EQ(entries[0].inWord(0), cmd::ReadBaseband);
    EXPECT_EQ(entries[0].outWord(1), 19);  // CR0 of a Birch B
    EXPECT_EQ(entries[0].bytesTransferred, 8u);
    EXPECT_EQ(entries[1].status, NDIS_STATUS_INVALID_OID);
    EXPECT_NE(bench.journal().toJson().find("\"oid\": \"0x01020304\""), std::string::npos);
}

TEST(Device, JournalStaysBounded) {
    Journal journal;
    for (std::size_t i = 0; i < Journal::kCapacity + 5; ++i) journal.record(JournalEntry{"k", 0, NDIS_OID(i), {}, {}, 0, 0, 0});
    EXPECT_EQ(journal.size(), Journal::kCapacity);
    EXPECT_EQ(journal.entries().front().oid, 5u);  // the oldest went first
    const std::size_t big = Journal::kPayloadCapacity / 4 + 1;
    for (int i = 0; i < 4; ++i) journal.record(JournalEntry{"k", 0, 0, std::vector<BYTE>(big), {}, 0, 0, 0});
    std::size_t payload = 0;
    for (const auto& e : journal.entries()) payload += e.in.size() + e.out.size();
    EXPECT_LE(payload, Journal::kPayloadCapacity);
    // An entry handed out again carries nothing of the dropped one it reuses.
    Journal full;
    for (int i = 0; i < 600; ++i)
        full.record(JournalEntry{"old", 1, 7, std::vector<BYTE>(8200, 0xAA), std::vector<BYTE>(8200, 0xBB), 5, 6, 7});
    const JournalEntry reused = full.blank();
    EXPECT_TRUE(reused.in.empty() && reused.out.empty() && reused.adapterKey.empty());
    EXPECT_EQ(reused.oid, 0u);
    EXPECT_EQ(reused.status, 0u);
    EXPECT_GE(reused.in.capacity(), 8200u);  // the buffers are those of a dropped entry
}
