// The typed wrappers on the simulated bench: calls reach the adapter, names are looked up once
// per object, failures carry the automation error.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "console_fixture.h"
#include "firmware/srec_writer.h"
#include "firmware/station_image.h"
#include "firmware_objects.h"
#include "oleaut/oleauto.h"

namespace kestview::testing {
namespace {

// Forwards to an object and counts its name lookups.
class CountingDispatch final : public IDispatch {
public:
    explicit CountingDispatch(ComPtr<IDispatch> inner) : inner_(std::move(inner)) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return inner_->QueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return ULONG(++refs_); }
    ULONG Release() override {
        const long left = --refs_;
        if (left == 0) delete this;
        return ULONG(left);
    }
    HRESULT GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
    HRESULT GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override { return inner_->GetTypeInfo(i, l, t); }
    HRESULT GetIDsOfNames(REFIID r, LPOLESTR* names, UINT n, LCID l, DISPID* ids) override {
        ++lookups;
        return inner_->GetIDsOfNames(r, names, n, l, ids);
    }
    HRESULT Invoke(DISPID id, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e, UINT* a) override {
        ++invokes;
        return inner_->Invoke(id, r, l, f, p, v, e, a);
    }
    int lookups = 0;
    int invokes = 0;

private:
    std::atomic<long> refs_{0};
    ComPtr<IDispatch> inner_;
};

using Wrappers = OpenedAdapterTest;

TEST_F(Wrappers, ReadTheBenchAdapterThroughEveryCollection) {
    Console& c = console();
    EXPECT_EQ(c.BbpTypeHex, "13");
    EXPECT_EQ(c.macText(), "00-60-1D-B2-00-02") << "bytes 1 0 3 2 5 4 of the record give the address as the bench file has it";
    EXPECT_EQ(c.SerialNo, "9 9 V B 0 0 0 2 0 0 0 2") << "each character after a blank";
    EXPECT_EQ(c.RidChannel.getAsInteger(1), 6);
    EXPECT_EQ(c.RidChannel.id(), "FDC1");

    const std::vector<Adapter> all = c.AdaptersObj.all();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(c.AdaptersObj.count(), 4);
    EXPECT_EQ(c.AdaptersObj.item(1).enumerator(), all.front().enumerator());
    EXPECT_TRUE(c.AdapterObj.isOpen());
    EXPECT_TRUE(c.AdapterObj.isVela());
    EXPECT_FALSE(c.AdaptersObj.item(QStringLiteral("0004")).isVela());

    EXPECT_EQ(c.RidsObj.item(QStringLiteral("FC01")).ridAsByteArray(), c.MacBytes);
    EXPECT_EQ(qsizetype(c.RidsObj.all().size()), c.RidsObj.count());
    const BBPReg cr0 = c.BbpRegsObj.item(QStringLiteral("cr0"));
    EXPECT_EQ(cr0.value(), 0x13);
    EXPECT_EQ(qsizetype(c.BbpRegsObj.all().size()), c.BbpRegsObj.count());

    ASSERT_TRUE(c.VireoObj.tallies().refresh());
    EXPECT_EQ(c.VireoObj.tallies().rawTallies().size(), 44u);
    EXPECT_GE(c.VireoObj.tallies().counter(QStringLiteral("txUnicast")), 0);
    EXPECT_TRUE(c.VireoObj.pda().retrieve());
    EXPECT_GT(c.VireoObj.pda().count(), 0);
}

TEST_F(Wrappers, WritesReachTheAdapter) {
    Console& c = console();
    EXPECT_TRUE(c.VireoObj.setChannel(11));
    EXPECT_EQ(c.RidChannel.getAsInteger(1), 11);
    EXPECT_FALSE(c.VireoObj.setChannel(15)) << "a channel outside 1..14 is not done, and no error";
    c.RidSsid.setRidStringValue(QStringLiteral("bench-net"));
    EXPECT_EQ(c.RidSsid.ridStringValue(), "bench-net");
    EXPECT_TRUE(c.RidTxRate.setAsInteger(1, 8));
    EXPECT_EQ(c.RidTxRate.getAsInteger(1), 8);
    qint32 stopped = -1;
    EXPECT_TRUE(c.VireoObj.continuousTx(0x55AA));
    EXPECT_TRUE(c.VireoObj.stopTest(&stopped));
}

TEST_F(Wrappers, LookUpEachNameOncePerObject) {
    auto* counting = new CountingDispatch(ComPtr<IDispatch>(console().RidChannel.dispatch()));
    Rid rid{ComPtr<IDispatch>(counting)};
    const Rid copy = rid;
    for (int i = 0; i < 3; ++i) {
        rid.getAsInteger(1);
        copy.ridAsByteArray();
    }
    EXPECT_EQ(counting->lookups, 2);
    EXPECT_EQ(counting->invokes, 6);
}

TEST_F(Wrappers, FailuresCarryTheAutomationError) {
    Console& c = console();
    try {
        c.AdaptersObj.item(QStringLiteral("0099"));
        FAIL() << "an unknown key must fail";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), E_INVALIDARG);
        EXPECT_TRUE(e.source().startsWith("OruDirEzo.")) << e.source().toStdString();
        EXPECT_FALSE(e.description().isEmpty());
        EXPECT_TRUE(e.text().endsWith(" HRESULT: 80070057")) << e.text().toStdString();
    }
    try {
        Vireo none;
        none.stopTest();
        FAIL() << "a call on a reference that is not set must fail";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), kObjectNotSet);
    }
    // Unknown member names fail too, naming the member.
    try {
        c.VireoObj.call(u"NoSuchMember");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), DISP_E_UNKNOWNNAME);
        EXPECT_TRUE(e.description().contains("NoSuchMember")) << e.description().toStdString();
    }
}

TEST_F(Wrappers, FlashProgressConnectsAndDisconnects) {
    // A small station image on disk, read and plugged once; each flash raises one event a block.
    firmware::StationImageOptions options;
    options.codeBytes = 6000;
    const auto file = std::filesystem::temp_directory_path() / ("wrappers-fw-" + std::to_string(::getpid()) + ".hex");
    {
        std::ofstream out(file);
        out << firmware::WriteSrec(firmware::MakeStationImageLayout(options));
    }
    const Firmware fw = console().VireoObj.firmware();
    ASSERT_TRUE(fw.loadHEXFile(QString::fromStdString(file.string())));
    std::filesystem::remove(file);
    ASSERT_TRUE(fw.plugImage());
    const qint32 blocks = fw.totalImageBlocks();
    ASSERT_GT(blocks, 1);

    std::vector<qint32> first, second;
    {
        FlashProgressConnection connection(fw, [&](qint32 count, qint32, qint32) { first.push_back(count); });
        ASSERT_TRUE(fw.flashImage());
    }
    EXPECT_EQ(first.size(), std::size_t(blocks)) << "one event per block while connected";
    // After the disconnection the first handler hears nothing; a second connection does.
    FlashProgressConnection again(fw, [&](qint32 count, qint32, qint32) { second.push_back(count); });
    ASSERT_TRUE(fw.flashImage());
    EXPECT_EQ(first.size(), std::size_t(blocks));
    EXPECT_EQ(second.size(), std::size_t(blocks));
    // An object without the event refuses.
    EXPECT_THROW(FlashProgressConnection(Firmware(ComPtr<IDispatch>(console().VireoObj.dispatch())), {}),
                 AutomationError);
}

}  // namespace
}  // namespace kestview::testing
