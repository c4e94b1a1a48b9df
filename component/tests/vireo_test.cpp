// IVireo: controller command encodings, argument ranges, protocol blocking, memory reads, the
// session hand-over to the sub-objects, and calls made without a session.
#include <functional>
#include <tuple>

#include "adapter_fixture.h"
#include "direzo/subobjects.h"
#include "vireo/vireo.h"

namespace direzo::testing {
namespace {

ComPtr<IVireo> makeVireo() {
    ComPtr<IVireo> vireo;
    EXPECT_EQ(oleaut::createObject<Vireo>(IVireo::iid, vireo.putVoid()), S_OK);
    return vireo;
}

class VireoTest : public ::testing::Test {
protected:
    void open(const AdapterOptions& options = {}) {
        adapter.reset();
        adapter = std::make_unique<OpenAdapter>(options);
        vireo = makeVireo();
        ASSERT_EQ(vireo->_SetApiObj(adapter->apiHandle()), S_OK);
        adapter->mark();
    }
    std::unique_ptr<OpenAdapter> adapter;
    ComPtr<IVireo> vireo;
};

using Commands = std::vector<std::vector<WORD>>;
struct CommandCase {
    const char* name;
    std::function<HRESULT(IVireo&)> call;
    HRESULT status;
    Commands sent;  // code, param0, param1
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class VireoCommands : public VireoTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(VireoCommands, SendsTheCommandOrNothing) {
    open();
    const CommandCase& c = GetParam();
    EXPECT_EQ(c.call(*vireo), c.status);
    EXPECT_EQ(adapter->commands(), c.sent);
}

LONG unused;
INSTANTIATE_TEST_SUITE_P(
    Birch, VireoCommands,
    ::testing::Values(
        CommandCase{"SetChannel14", [](IVireo& v) { return v.SetChannel(14); }, S_OK, {{0x0838, 14, 0}}},
        CommandCase{"SetChannel1", [](IVireo& v) { return v.SetChannel(1); }, S_OK, {{0x0838, 1, 0}}},
        CommandCase{"SetChannel0", [](IVireo& v) { return v.SetChannel(0); }, S_FALSE, {}},
        CommandCase{"SetChannel15", [](IVireo& v) { return v.SetChannel(15); }, S_FALSE, {}},
        CommandCase{"ContinuousTx0", [](IVireo& v) { return v.ContinuousTx(0); }, S_OK, {{0x0E38, 0xFFFF, 0}}},
        // 16-bit arguments: the unsigned and the signed reading of 16 bits, nothing beyond.
        CommandCase{"ContinuousTxFFFF", [](IVireo& v) { return v.ContinuousTx(0xFFFF); }, S_OK, {{0x0E38, 0xFFFF, 0}}},
        CommandCase{"ContinuousTxSigned", [](IVireo& v) { return v.ContinuousTx(-32768); }, S_OK, {{0x0E38, 0x8000, 0}}},
        CommandCase{"ContinuousTxAbove16", [](IVireo& v) { return v.ContinuousTx(0x1A55A); }, S_FALSE, {}},
        CommandCase{"ContinuousTxBelow16", [](IVireo& v) { return v.ContinuousTx(-32769); }, S_FALSE, {}},
        CommandCase{"EnablePort2", [](IVireo& v) { return v.EnablePort(2); }, S_OK, {{0x0201, 0, 0}}},
        CommandCase{"EnablePort6", [](IVireo& v) { return v.EnablePort(6); }, S_OK, {{0x0601, 0, 0}}},
        CommandCase{"DisablePort2", [](IVireo& v) { return v.DisablePort(2); }, S_OK, {{0x0202, 0, 0}}},
        CommandCase{"EnablePort7", [](IVireo& v) { return v.EnablePort(7); }, S_FALSE, {}},
        CommandCase{"EnablePortNegative", [](IVireo& v) { return v.EnablePort(-1); }, S_FALSE, {}},
        CommandCase{"DisablePort7", [](IVireo& v) { return v.DisablePort(7); }, S_FALSE, {}},
        CommandCase{"Initialize", [](IVireo& v) { return v.Initialize(); }, S_OK, {{0x0000, 0, 0}}},
        CommandCase{"InitPhy", [](IVireo& v) { return v.InitPhy(); }, S_OK, {{0x0138, 0, 0}}},
        CommandCase{"ResetPhy", [](IVireo& v) { return v.ResetPhy(); }, S_OK, {{0x0038, 0, 0}}},
        CommandCase{"ContinuousRx", [](IVireo& v) { return v.ContinuousRx(); }, S_OK, {{0x1038, 0, 0}}},
        CommandCase{"MonitorMode", [](IVireo& v) { return v.MonitorMode(); }, S_OK, {{0x0B38, 0, 0}}},
        CommandCase{"StopTest", [](IVireo& v) { return v.StopTest(&unused); }, S_OK, {{0x0F38, 0, 0}}},
        CommandCase{"PBODSuppression", [](IVireo& v) { return v.PBODSuppression(); }, S_OK, {{0x0938, 0, 0}}},
        CommandCase{"TxExSuppression", [](IVireo& v) { return v.TxExSuppression(); }, S_OK, {{0x0A38, 0, 0}}},
        CommandCase{"CalEnable", [](IVireo& v) { return v.CalEnable(); }, S_OK, {{0x1338, 0, 0}}},
        CommandCase{"SetSignalState", [](IVireo& v) { return v.SetSignalState(0x2345); }, S_OK, {{0x1138, 0x2345, 0}}},
        CommandCase{"SetSignalStateSigned", [](IVireo& v) { return v.SetSignalState(-2); }, S_OK, {{0x1138, 0xFFFE, 0}}},
        CommandCase{"SetSignalStateAbove16", [](IVireo& v) { return v.SetSignalState(0x12345); }, S_FALSE, {}},
        CommandCase{"SendCmdAbove16", [](IVireo& v) { Var r; return v.SendCmd(0x0030, 65539, 0, 0, &r.v); }, S_FALSE, {}},
        CommandCase{"SendCmdSigned", [](IVireo& v) { Var r; return v.SendCmd(0x0031, 2, -1, 0, &r.v); }, S_OK,
                    {{0x0031, 2, 0xFFFF}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VireoTest, AlderHasNoCalibrationOrSignalState) {
    open(AdapterOptions().model(BBP_ALDER));
    EXPECT_EQ(vireo->CalEnable(), S_FALSE);
    EXPECT_EQ(vireo->SetSignalState(3), S_OK);
    EXPECT_TRUE(adapter->commands().empty());
}

TEST_F(VireoTest, RefusedCommandQueryIsRepeatedAsASet) {
    open(AdapterOptions().refuseCommandQuery());
    EXPECT_EQ(vireo->SetChannel(14), S_OK);
    const auto sent = adapter->requests(OID_VIREO_COMMAND);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].type, NdisRequestQueryInformation);
    EXPECT_EQ(sent[1].type, NdisRequestSetInformation);
    EXPECT_EQ(sent[1].in, sent[0].in);
    EXPECT_EQ(sent[1].in[0], 0x0838);
    EXPECT_EQ(sent[1].in[1], 14);
}

TEST_F(VireoTest, FailedCommandIsStatusOne) {
    open(AdapterOptions().refuse(OID_VIREO_COMMAND));
    EXPECT_EQ(vireo->InitPhy(), S_FALSE);
}

TEST_F(VireoTest, SleepAndWakeBlockAndUnblockAndTheFlagFollows) {
    open();
    LONG blocked = -1;
    EXPECT_EQ(vireo->SleepPhy(), S_OK);
    vireo->get_BlockProtocols(&blocked);
    EXPECT_EQ(blocked, 1);
    EXPECT_EQ(vireo->WakePhy(), S_OK);
    std::vector<std::pair<NDIS_OID, WORD>> seen;
    for (const Request& r : adapter->requests())
        seen.emplace_back(r.oid, r.oid == OID_VIREO_COMMAND ? r.in[0] : 0);
    const std::vector<std::pair<NDIS_OID, WORD>> expected{
        {OID_VIREO_BLOCK_PROTOCOLS, 0}, {OID_VIREO_COMMAND, 0x0238},
        {OID_VIREO_UNBLOCK_PROTOCOLS, 0}, {OID_VIREO_COMMAND, 0x0338}};
    EXPECT_EQ(seen, expected);
    vireo->get_BlockProtocols(&blocked);
    EXPECT_EQ(blocked, 0);
}

// A block or unblock request the driver refuses leaves the flag as it was.
TEST_F(VireoTest, SleepAndWakeKeepTheFlagWhenTheDriverRefuses) {
    open(AdapterOptions().refuse(OID_VIREO_BLOCK_PROTOCOLS));
    LONG blocked = -1;
    vireo->SleepPhy();
    vireo->get_BlockProtocols(&blocked);
    EXPECT_EQ(blocked, 0);
    open(AdapterOptions().refuse(OID_VIREO_UNBLOCK_PROTOCOLS));
    vireo->SleepPhy();
    vireo->WakePhy();
    vireo->get_BlockProtocols(&blocked);
    EXPECT_EQ(blocked, 1);
}

TEST_F(VireoTest, BlockProtocolsReportsWhatTheDriverDid) {
    open(AdapterOptions().refuse(OID_VIREO_UNBLOCK_PROTOCOLS));
    LONG blocked = -1;
    EXPECT_EQ(vireo->put_BlockProtocols(1), S_OK);
    vireo->get_BlockProtocols(&blocked);
    EXPECT_EQ(blocked, 1);
    EXPECT_EQ(vireo->put_BlockProtocols(0), S_FALSE);
    vireo->get_BlockProtocols(&blocked);
    EXPECT_EQ(blocked, 1);
    EXPECT_EQ(adapter->requests(OID_VIREO_BLOCK_PROTOCOLS).size(), 1u);
    EXPECT_EQ(adapter->requests(OID_VIREO_UNBLOCK_PROTOCOLS).size(), 1u);
}

TEST_F(VireoTest, ReadDataReturnsTheAdaptersBytes) {
    open();
    Var data;
    ASSERT_EQ(vireo->ReadData(0x100, 16, &data.v), S_OK);
    const std::vector<BYTE> expected = adapter->memory(0x100, 16);
    EXPECT_EQ(arrayOf(data.v, VT_UI1), std::vector<LONG>(expected.begin(), expected.end()));
}

TEST_F(VireoTest, ReadDataAboveOneTransferReadsExactly8192Bytes) {
    open();
    for (LONG length : {8193, 0x10000, 0x7FFFFFFF}) {
        adapter->mark();
        Var data;
        ASSERT_EQ(vireo->ReadData(0, length, &data.v), S_OK) << length;
        EXPECT_EQ(arrayOf(data.v, VT_UI1).size(), 8192u) << length;
        const auto reads = adapter->requests(OID_VIREO_MEMORY_READ);
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_EQ(reads[0].in[2], 8192) << length;
    }
}

TEST_F(VireoTest, ReadDataRefusals) {
    open(AdapterOptions().refuse(OID_VIREO_MEMORY_READ));
    Var data;
    EXPECT_EQ(vireo->ReadData(0, 16, &data.v), E_FAIL);
    EXPECT_EQ(data.v.vt, VT_EMPTY);
    adapter->mark();
    EXPECT_EQ(vireo->ReadData(0, -1, &data.v), S_FALSE);
    EXPECT_TRUE(adapter->requests().empty());
}

TEST_F(VireoTest, SendCmdReturnsTheResponsesLowBytes) {
    open(AdapterOptions().model(BBP_CEDAR));
    Var resp;
    EXPECT_EQ(vireo->SendCmd(0x0030, 0, 0, 0, &resp.v), S_OK);  // read control register 0
    EXPECT_EQ(arrayOf(resp.v, VT_UI1), (std::vector<LONG>{BBP_CEDAR, 0, 0}));
    EXPECT_EQ(adapter->commands(), (Commands{{0x0030, 0, 0}}));
}

// A failed command is status 1, so it can be told from registers that hold 0.
TEST_F(VireoTest, SendCmdThatFailsGivesZeroBytesAndStatusOne) {
    open(AdapterOptions().refuse(OID_VIREO_COMMAND));
    Var resp;
    EXPECT_EQ(vireo->SendCmd(0x0030, 0, 0, 0, &resp.v), S_FALSE);
    EXPECT_EQ(arrayOf(resp.v, VT_UI1), (std::vector<LONG>{0, 0, 0}));
}

// The session reaches every sub-object: the model is detected, the records are found and the
// tallies fetched, in that order.
TEST_F(VireoTest, SessionIsHandedToEverySubObjectInOrder) {
    adapter.reset();
    adapter = std::make_unique<OpenAdapter>(AdapterOptions().model(BBP_BIRCH_S));
    vireo = makeVireo();
    ASSERT_EQ(vireo->_SetApiObj(adapter->apiHandle()), S_OK);
    const auto sent = adapter->requests();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent.front().oid, OID_VIREO_COMMAND);
    EXPECT_EQ(sent[1].oid, OID_VIREO_RECORD);
    EXPECT_EQ(sent.back().oid, OID_VIREO_TALLIES);

    ComPtr<IDispatch> regs, rids, pda, firmware, tallies;
    ASSERT_EQ(vireo->get_BBPRegs(regs.put()), S_OK);
    ASSERT_EQ(vireo->get_RIDs(rids.put()), S_OK);
    ASSERT_EQ(vireo->get_PDA(pda.put()), S_OK);
    ASSERT_EQ(vireo->get_Firmware(firmware.put()), S_OK);
    ASSERT_EQ(vireo->get_Tallies(tallies.put()), S_OK);
    ASSERT_TRUE(regs && rids && pda && firmware && tallies);
    LONG type = 0, count = 0;
    regs.as<IBBPRegs>()->get_BBPType(&type);
    rids.as<IRids>()->get_Count(&count);
    EXPECT_EQ(type, BBP_BIRCH_S);
    EXPECT_GT(count, 0);
}

// Nothing reaches a driver before a session is handed over, or once its Adapter is gone.
TEST_F(VireoTest, CallsWithoutASessionAreRefused) {
    adapter.reset();
    adapter = std::make_unique<OpenAdapter>();
    ComPtr<IVireo> fresh = makeVireo();
    ComPtr<IVireo> orphan = makeVireo();
    orphan->_SetApiObj(adapter->apiHandle());
    const LONG gone = adapter->apiHandle();
    adapter->release();
    adapter.reset();
    adapter = std::make_unique<OpenAdapter>();  // a live adapter whose journal must stay empty
    EXPECT_EQ(orphan->_SetApiObj(gone), S_FALSE);
    LONG out = 0;
    Var data, resp;
    const std::vector<std::tuple<const char*, std::function<HRESULT(IVireo&)>, HRESULT>> calls{
        {"SetChannel", [](IVireo& v) { return v.SetChannel(6); }, S_FALSE},
        {"ContinuousTx", [](IVireo& v) { return v.ContinuousTx(0); }, S_FALSE},
        {"SleepPhy", [](IVireo& v) { return v.SleepPhy(); }, S_FALSE},
        {"WakePhy", [](IVireo& v) { return v.WakePhy(); }, S_FALSE},
        {"CalEnable", [](IVireo& v) { return v.CalEnable(); }, S_FALSE},
        {"SetSignalState", [](IVireo& v) { return v.SetSignalState(1); }, S_FALSE},
        {"EnablePort", [](IVireo& v) { return v.EnablePort(0); }, S_FALSE},
        {"CardReset", [](IVireo& v) { return v.CardReset(); }, S_FALSE},
        {"Init", [&](IVireo& v) { return v.Init(0, 0, &out); }, S_FALSE},
        {"BlockProtocols", [](IVireo& v) { return v.put_BlockProtocols(1); }, S_FALSE},
        {"SendCmd", [&](IVireo& v) { VariantClear(&resp.v); return v.SendCmd(0, 0, 0, 0, &resp.v); }, S_FALSE},
        {"ReadData", [&](IVireo& v) { VariantClear(&data.v); return v.ReadData(0, 4, &data.v); }, E_FAIL}};
    for (IVireo* v : {fresh.get(), orphan.get()}) {
        for (const auto& [name, call, status] : calls) {
            EXPECT_EQ(call(*v), status) << name;
            EXPECT_EQ(takeErrorText(), u"No Adapter Object Reference") << name;
        }
        EXPECT_EQ(arrayOf(resp.v, VT_UI1), (std::vector<LONG>{0, 0, 0}));
    }
    EXPECT_TRUE(adapter->requests().empty());
}

// The member names in slot order have the dispatch ids 1, 2, 3 ...
TEST(VireoSurface, MembersInSlotOrder) {
    const std::vector<const char16_t*> names{u"_SetApiObj", u"BlockProtocols", u"BBPRegs", u"Firmware", u"PDA", u"RIDs",
                               u"Init", u"InitPhy", u"ResetPhy", u"SleepPhy", u"WakePhy", u"SetChannel",
                               u"ContinuousTx", u"ContinuousRx", u"MonitorMode", u"StopTest", u"PBODSuppression",
                               u"TxExSuppression", u"CalEnable", u"SetSignalState", u"Initialize", u"EnablePort",
                               u"DisablePort", u"CardReset", u"ReadData", u"Tallies", u"SendCmd"};
    ComPtr<IVireo> vireo = makeVireo();
    expectSlotOrder(vireo.get(), names);
}

}  // namespace
}  // namespace direzo::testing
