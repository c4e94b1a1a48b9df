// ITallies: the snapshot, its 36 named counters in record order, RawTallies, Refresh failures and
// the refresh at the session hand-over.
#include "adapter_fixture.h"
#include "direzo/subobjects.h"
#include "direzo/vireo.h"
#include "server/module.h"
#include "tallies/tallies.h"
#include "vireo/vireo.h"

namespace direzo::testing {
namespace {

// The counters' names in record order.
const char16_t* const kCounters[] = {
    u"txUnicast",     u"txMulticast",     u"txFrags",          u"txUniOctets",   u"txMultiOctets",
    u"txDeferredTx",  u"txSingleRetries", u"txMultipleRetries", u"txRetryLimitExc", u"txDiscards",
    u"rxUnicast",     u"rxMulticast",     u"rxFrags",          u"rxUniOctets",   u"rxMultiOctets",
    u"rxFCSErrors",   u"rxNoBuffer",      u"txWrongSA",        u"rxWEPUndecryp", u"rxMsgInMsg",
    u"rxMsgInBadMsg", u"huntCmd",         u"rxOvr",            u"retryMany",     u"retrySingle",
    u"retryExhaust",  u"crcError",        u"plcpCrc",          u"frameTooLong",  u"retryLong",
    u"retryShort",    u"expReport",       u"rxDuplicates",     u"txRtsSuccess",  u"txRtsFailure",
    u"txAckFailure"};

class TalliesTest : public ::testing::Test {
protected:
    void open(const AdapterOptions& options = {}) {
        adapter.reset();
        adapter = std::make_unique<OpenAdapter>(options);
        ASSERT_EQ(oleaut::createObject<Tallies>(ITallies::iid, tallies.putVoid()), S_OK);
        ASSERT_EQ(tallies->_SetApiObj(adapter->apiHandle()), S_OK);
    }
    // A counter read through the dispatch interface, by name.
    LONG counter(const char16_t* name) {
        LPOLESTR n = const_cast<LPOLESTR>(name);
        DISPID id = 0;
        EXPECT_EQ(tallies->GetIDsOfNames(IID{}, &n, 1, 0, &id), S_OK);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        Var result;
        EXPECT_EQ(tallies->Invoke(id, IID{}, 0, DISPATCH_PROPERTYGET, &none, &result.v, nullptr, nullptr), S_OK);
        EXPECT_EQ(result.v.vt, VT_I4);
        return result.v.lVal;
    }
    std::vector<LONG> raw() {
        Var v;
        EXPECT_EQ(tallies->get_RawTallies(&v.v), S_OK);
        return arrayOf(v.v, VT_I4);
    }
    std::unique_ptr<OpenAdapter> adapter;
    ComPtr<ITallies> tallies;
};

TEST_F(TalliesTest, HandOverFetchesASnapshotOfAll44Counters) {
    open();
    const auto queries = adapter->requests(OID_VIREO_TALLIES);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].type, NdisRequestQueryInformation);
    EXPECT_EQ(queries[0].in.size(), 88u);  // 176 bytes
    for (std::size_t i = 0; i < 36; ++i) EXPECT_EQ(counter(kCounters[i]), adapter->tally(i)) << i;
}

TEST_F(TalliesTest, RawTalliesRefreshesAndHoldsTheRecordInOrder) {
    open();
    adapter->mark();
    const std::vector<LONG> all = raw();
    ASSERT_EQ(all.size(), 44u);
    EXPECT_EQ(adapter->requests(OID_VIREO_TALLIES).size(), 1u);
    for (std::size_t i = 0; i < 44; ++i) EXPECT_EQ(all[i], adapter->tally(i)) << i;
    LONG rxUnicast = 0;
    tallies->get_rxUnicast(&rxUnicast);
    EXPECT_EQ(all[10], rxUnicast);
    for (std::size_t i = 0; i < 36; ++i) EXPECT_EQ(counter(kCounters[i]), all[i]) << i;
}

// Under continuous transmit the adapter's counter moves; the snapshot moves only on Refresh.
TEST_F(TalliesTest, CountersHoldStillUntilRefresh) {
    open();
    ComPtr<IVireo> vireo;
    ASSERT_EQ(oleaut::createObject<Vireo>(IVireo::iid, vireo.putVoid()), S_OK);
    vireo->_SetApiObj(adapter->apiHandle());
    ASSERT_EQ(vireo->ContinuousTx(0), S_OK);
    LONG done = 0;
    ASSERT_EQ(tallies->Refresh(&done), S_OK);
    ASSERT_EQ(done, 1);
    LONG before = 0;
    tallies->get_txUnicast(&before);

    adapter->advance(std::chrono::seconds(1));
    const LONG moved = adapter->tally(0);
    ASSERT_GT(moved, before);

    LONG still = 0;
    tallies->get_txUnicast(&still);
    EXPECT_EQ(still, before);
    tallies->Refresh(&done);
    LONG after = 0;
    tallies->get_txUnicast(&after);
    EXPECT_EQ(after, moved);
}

TEST_F(TalliesTest, RefusedTallyQuery) {
    open(AdapterOptions().refuse(OID_VIREO_TALLIES));
    EXPECT_EQ(takeErrorText(), u"ITallies : Refresh tallies failed NDIS returned C0010017 ");
    LONG done = 1;
    EXPECT_EQ(tallies->Refresh(&done), S_OK);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(takeErrorText(), u"ITallies : Refresh tallies failed NDIS returned C0010017 ");
    EXPECT_EQ(counter(u"txUnicast"), 0);
    EXPECT_TRUE(raw().empty());
}

TEST_F(TalliesTest, CallsWithoutASessionAreRefused) {
    adapter.reset();
    adapter = std::make_unique<OpenAdapter>();
    ASSERT_EQ(oleaut::createObject<Tallies>(ITallies::iid, tallies.putVoid()), S_OK);
    LONG done = 1;
    EXPECT_EQ(tallies->Refresh(&done), S_FALSE);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(takeErrorText(), u"No Adapter Object Reference");
    Var v;
    EXPECT_EQ(tallies->get_RawTallies(&v.v), S_FALSE);
    EXPECT_TRUE(arrayOf(v.v, VT_I4).empty());
    EXPECT_EQ(tallies->_SetApiObj(0), S_FALSE);
    EXPECT_EQ(counter(u"txUnicast"), 0);
    EXPECT_TRUE(adapter->requests().empty());
}

// The type library describes TALLY_INFO: the 36 named counters and the reserved array, 176 bytes.
TEST(TalliesSurface, TypeLibraryDescribesTheRecord) {
    ITypeLib* lib = typeLibrary();
    ASSERT_NE(lib, nullptr);
    ComPtr<ITypeInfo> record;
    for (UINT i = 0; i < lib->GetTypeInfoCount() && !record; ++i) {
        Text name;
        lib->GetDocumentation(INT(i), &name.b, nullptr, nullptr, nullptr);
        if (name.str() == u"TALLY_INFO") lib->GetTypeInfo(i, record.put());
    }
    ASSERT_TRUE(record);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(record->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cbSizeInstance, 176u);
    EXPECT_EQ(attr->cVars, 37);
    record->ReleaseTypeAttr(attr);
}

TEST(TalliesSurface, MembersInSlotOrder) {
    ComPtr<ITallies> t;
    ASSERT_EQ(oleaut::createObject<Tallies>(ITallies::iid, t.putVoid()), S_OK);
    std::vector<const char16_t*> names(std::begin(kCounters), std::end(kCounters));
    names.insert(names.end(), {u"RawTallies", u"Refresh", u"_SetApiObj"});
    expectSlotOrder(t.get(), names);
}

}  // namespace
}  // namespace direzo::testing
