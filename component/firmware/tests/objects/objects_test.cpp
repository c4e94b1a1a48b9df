// The PDA, PDR and Firmware automation objects over an adapter double.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>
#include <vector>

#include "../test_support.h"
#include "common/text.h"
#include "firmware/crc16.h"
#include "firmware/firmware_object.h"
#include "firmware/pda_object.h"
#include "firmware/pdr_object.h"
#include "firmware/session_port.h"
#include "firmware/srec_writer.h"
#include "firmware/station_identity.h"
#include "firmware/station_image.h"
#include "oleaut/comptr.h"
#include "oleaut/ocidl.h"

namespace {

using direzo::fromBstr;
using direzo::toBstr;
using firmware::testing::FakeAdapter;
using firmware::testing::ScratchDir;
using Bytes = std::vector<std::uint8_t>;

constexpr LONG kHandle = 77;

struct BstrArg {
    explicit BstrArg(const std::string& text) : b(toBstr(direzo::fromAnsi(text))) {}
    ~BstrArg() { SysFreeString(b); }
    BSTR b;
};

std::u16string errorText() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return u"";
    BSTR description = nullptr;
    info->GetDescription(&description);
    std::u16string text = fromBstr(description);
    SysFreeString(description);
    return text;
}

template <class T, class I>
ComPtr<I> make() {
    ComPtr<I> object;
    EXPECT_EQ(oleaut::createObject<T>(I::iid, object.putVoid()), S_OK);
    return object;
}

Bytes le16(std::initializer_list<std::uint16_t> words) {
    Bytes b;
    for (auto w : words) {
        b.push_back(std::uint8_t(w & 0xFF));
        b.push_back(std::uint8_t(w >> 8));
    }
    return b;
}

// The factory production data of a bench adapter: domain, manufacturing tables, end record.
Bytes factoryArea() {
    std::vector<std::uint16_t> words{7, 0x0103, 0, 0x0030, 0, 0, 0, 0, 31, 0x0900};
    for (std::uint16_t i = 0; i < 30; ++i) words.push_back(0x0400 + i);
    words.insert(words.end(), {34, 0x0901});
    for (std::uint16_t i = 0; i < 33; ++i) words.push_back(0x0500 + i);
    words.insert(words.end(), {2, 0x0000});
    Bytes area;
    for (auto w : words) {
        area.push_back(std::uint8_t(w & 0xFF));
        area.push_back(std::uint8_t(w >> 8));
    }
    const std::uint16_t crc = firmware::Crc16Arc(area);
    area.push_back(std::uint8_t(crc & 0xFF));
    area.push_back(std::uint8_t(crc >> 8));
    area.resize(firmware::kProductionAreaBytes, 0xFF);
    return area;
}

// Hands the test's adapter to every object given kHandle.
class ObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        adapter.Load(firmware::kProductionAreaAddress, factoryArea());
        direzo::setAdapterPortFactory([this](LONG handle) -> std::unique_ptr<firmware::AdapterPort> {
            if (handle != kHandle) return nullptr;
            return std::make_unique<Forward>(adapter);
        });
    }
    void TearDown() override { direzo::setAdapterPortFactory({}); }

    // Each call gets a port of its own; they all reach the one adapter.
    struct Forward final : firmware::AdapterPort {
        explicit Forward(FakeAdapter& a) : a(a) {}
        bool ReadProductionArea(std::span<std::uint8_t, firmware::kProductionAreaBytes> area) override {
            return a.ReadProductionArea(area);
        }
        bool BlockProtocols() override { return a.BlockProtocols(); }
        bool UnblockProtocols() override { return a.UnblockProtocols(); }
        bool ProbeController() override { return a.ProbeController(); }
        bool EnableMemoryAccess() override { return a.EnableMemoryAccess(); }
        bool VerifiedWriteMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) override {
            return a.VerifiedWriteMemory(address, bytes);
        }
        bool ProgramMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) override {
            return a.ProgramMemory(address, bytes);
        }
        bool ResetCard() override { return a.ResetCard(); }
        FakeAdapter& a;
    };

    FakeAdapter adapter;
    ScratchDir dir;
};

// ---- PDA and PDR ----

std::vector<std::u16string> keys(IPDA& pda) {
    std::vector<std::u16string> out;
    LONG count = 0;
    pda.get_Count(&count);
    for (LONG i = 1; i <= count; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        ComPtr<IPDR> item;
        EXPECT_EQ(pda.get_Item(index, item.put()), S_OK);
        BSTR key = nullptr;
        item->get_Key(&key);
        out.push_back(fromBstr(key));
        SysFreeString(key);
    }
    return out;
}

TEST_F(ObjectTest, PdaAddsRemovesAndFindsItems) {
    auto pda = make<direzo::PDA, IPDA>();
    LONG done = 0;
    ASSERT_EQ(pda->AddPDR(0x0104, &done), S_OK);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(pda->AddPDR(0x0104, &done), S_OK);
    EXPECT_EQ(done, 0);
    pda->AddPDR(0x0009, &done);
    EXPECT_EQ(keys(*pda), (std::vector<std::u16string>{u"0009", u"0104"}));

    VARIANT byKey;
    VariantInit(&byKey);
    byKey.vt = VT_BSTR;
    byKey.bstrVal = toBstr(u"0104");
    ComPtr<IPDR> item;
    ASSERT_EQ(pda->get_Item(byKey, item.put()), S_OK);
    VariantClear(&byKey);
    SHORT length = 0;
    item->get_Length(&length);
    EXPECT_EQ(length, 1);
    BSTR description = nullptr;
    item->get_Description(&description);
    EXPECT_EQ(fromBstr(description), u"0104");
    SysFreeString(description);

    struct Lookup {
        VARTYPE vt;
        LONG number;
        const char16_t* key;
        std::u16string message;
    } lookups[] = {
        {VT_I4, 3, nullptr, u"IPDA : Index 3 not found or is an invalid index"},
        {VT_I2, 0, nullptr, u"IPDA : Index 0 not found or is an invalid index"},
        {VT_BSTR, 0, u"104", u"IPDA : Key 104 not found "},
    };
    for (const Lookup& l : lookups) {
        VARIANT index;
        VariantInit(&index);
        index.vt = l.vt;
        if (l.vt == VT_BSTR) index.bstrVal = toBstr(l.key);
        else if (l.vt == VT_I2) index.iVal = SHORT(l.number);
        else index.lVal = l.number;
        ComPtr<IPDR> none;
        EXPECT_EQ(pda->get_Item(index, none.put()), E_INVALIDARG);
        EXPECT_EQ(errorText(), l.message);
        VariantClear(&index);
    }
    VARIANT real;
    VariantInit(&real);
    real.vt = VT_R8;
    ComPtr<IPDR> none;
    EXPECT_EQ(pda->get_Item(real, none.put()), E_INVALIDARG);
    EXPECT_NE(errorText().find(u"argument type unknown"), std::u16string::npos);

    SHORT removed = 0;
    BstrArg shortKey("104"), fullKey("0104");
    pda->RemovePDR(shortKey.b, &removed);
    EXPECT_EQ(removed, 0);
    pda->RemovePDR(fullKey.b, &removed);
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(keys(*pda), (std::vector<std::u16string>{u"0009"}));
}

TEST_F(ObjectTest, PdrTakesOnlyByteArrays) {
    auto pdr = make<direzo::PDR, IPDR>();
    struct Case {
        VARTYPE element;
        ULONG count;
        HRESULT status;
        SHORT length;
    } cases[] = {{VT_UI1, 3, S_OK, 2}, {VT_UI1, 0, S_OK, 1}, {VT_I1, 4, S_OK, 3}, {VT_I4, 2, E_INVALIDARG, 3},
                 {VT_I2, 2, E_INVALIDARG, 3}};
    for (const Case& c : cases) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_ARRAY | c.element;
        v.parray = SafeArrayCreateVector(c.element, 0, c.count);
        EXPECT_EQ(pdr->put_PDR(v), c.status);
        VariantClear(&v);
        SHORT length = 0;
        pdr->get_Length(&length);
        EXPECT_EQ(length, c.length);
    }
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    EXPECT_EQ(pdr->put_ArrayOfUnsignedChar(number), E_INVALIDARG);

    VARIANT out;
    VariantInit(&out);
    ASSERT_EQ(pdr->get_PDR(&out), S_OK);
    EXPECT_EQ(out.vt, VT_ARRAY | VT_UI1);
    LONG upper = -2;
    SafeArrayGetUBound(out.parray, 1, &upper);
    EXPECT_EQ(upper, 3);
    VariantClear(&out);
}

TEST_F(ObjectTest, PdaNeedsASessionAndAReadableArea) {
    auto pda = make<direzo::PDA, IPDA>();
    LONG done = 1;
    BstrArg file(dir.Write("a.pda", "0002 0104 0001\n"));
    EXPECT_EQ(pda->Retrieve(&done), E_FAIL);
    EXPECT_EQ(errorText(), u"No Adapter Object Reference");
    EXPECT_EQ(pda->LoadPDAFile(file.b, &done), E_FAIL);
    EXPECT_EQ(pda->Commit(&done), E_FAIL);
    EXPECT_EQ(done, 0);
    EXPECT_TRUE(adapter.journal.empty());

    pda->_SetApiObj(kHandle);
    adapter.failing.insert("ReadProductionArea");
    EXPECT_EQ(pda->Retrieve(&done), E_FAIL);
    EXPECT_EQ(errorText(), u"Failed to read PDA from NIC adapter!");
    BstrArg bad(dir.Write("bad.pda", "0003 0104 0001\n"));
    EXPECT_EQ(pda->LoadPDAFile(bad.b, &done), E_FAIL);
    EXPECT_EQ(errorText(), u"Failed to read PDA correctly from File - Check file content !");
    LONG count = -1;
    pda->get_Count(&count);
    EXPECT_EQ(count, 0);
}

TEST_F(ObjectTest, RetrieveTakesTheAreaAndRefusesMalformedRecords) {
    auto pda = make<direzo::PDA, IPDA>();
    pda->_SetApiObj(kHandle);
    LONG done = 0;
    ASSERT_EQ(pda->Retrieve(&done), S_OK);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(keys(*pda), (std::vector<std::u16string>{u"0000", u"0103", u"0900", u"0901"}));

    adapter.Load(firmware::kProductionAreaAddress, le16({0x01FE, 0x0104}));
    EXPECT_EQ(pda->Retrieve(&done), S_FALSE);
    EXPECT_EQ(done, 0);
    LONG count = -1;
    pda->get_Count(&count);
    EXPECT_EQ(count, 0);
}

TEST_F(ObjectTest, CommitWritesTheRecordsWithAFreshEndRecord) {
    auto pda = make<direzo::PDA, IPDA>();
    pda->_SetApiObj(kHandle);
    LONG done = 0;
    BstrArg file(dir.Write("two.pda", "; two records\n0002 0001 b1a0\n0004,0101 0201 0403 0605 # six bytes\n"));
    ASSERT_EQ(pda->LoadPDAFile(file.b, &done), S_OK);
    ASSERT_EQ(done, 1);
    adapter.journal.clear();
    ASSERT_EQ(pda->Commit(&done), S_OK);
    EXPECT_EQ(done, 1);
    const Bytes body{0x02, 0x00, 0x01, 0x00, 0xA0, 0xB1, 0x04, 0x00, 0x01, 0x01, 1, 2, 3, 4, 5, 6, 0x02, 0x00, 0x00, 0x00};
    Bytes expected = body;
    const std::uint16_t crc = firmware::Crc16Arc(body);
    expected.push_back(std::uint8_t(crc & 0xFF));
    expected.push_back(std::uint8_t(crc >> 8));
    EXPECT_EQ(adapter.Bytes(firmware::kProductionAreaAddress, 22), expected);
    EXPECT_EQ(adapter.journal, (std::vector<std::string>{"BlockProtocols", "ProgramMemory", "ReadProductionArea",
                                                         "UnblockProtocols"}));
}

// An area whose stored CRC does not match is still listed, so that it can be repaired, but the
// caller is told; a Commit the area does not keep is not reported as done.
TEST_F(ObjectTest, DamagedAreasAreListedButReported) {
    auto pda = make<direzo::PDA, IPDA>();
    pda->_SetApiObj(kHandle);
    Bytes area = factoryArea();
    const std::size_t crcAt = 2 * (8 + 32 + 35 + 2);  // the end record's data word
    area[crcAt] ^= 0x01;
    adapter.Load(firmware::kProductionAreaAddress, area);
    LONG done = 0;
    EXPECT_EQ(pda->Retrieve(&done), S_FALSE);
    EXPECT_EQ(done, 1);
    EXPECT_NE(errorText().find(u"IPDA : Retrieve: the area's CRC"), std::u16string::npos);
    EXPECT_EQ(keys(*pda), (std::vector<std::u16string>{u"0000", u"0103", u"0900", u"0901"}));

    SHORT removed = 0;
    BstrArg end("0000");
    pda->RemovePDR(end.b, &removed);
    adapter.unwritable.insert(firmware::kProductionAreaAddress + crcAt);
    EXPECT_EQ(pda->Commit(&done), S_OK);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(errorText(), u"IPDA : Commit: the production data area does not hold the records written");
    adapter.unwritable.clear();
    ASSERT_EQ(pda->Commit(&done), S_OK);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(pda->Retrieve(&done), S_OK);
}

TEST_F(ObjectTest, CommittingARetrievedAreaKeepsIt) {
    auto pda = make<direzo::PDA, IPDA>();
    pda->_SetApiObj(kHandle);
    LONG done = 0;
    ASSERT_EQ(pda->Retrieve(&done), S_OK);
    const Bytes before = adapter.Bytes(firmware::kProductionAreaAddress, 160);
    ASSERT_EQ(pda->Commit(&done), S_OK);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(adapter.Bytes(firmware::kProductionAreaAddress, 160), before);
}

TEST_F(ObjectTest, CommitRefusesRecordsThatDoNotFit) {
    auto pda = make<direzo::PDA, IPDA>();
    pda->_SetApiObj(kHandle);
    LONG done = 0;
    pda->AddPDR(0x0700, &done);
    EXPECT_EQ(pda->Commit(&done), E_FAIL);  // the placeholder byte is no whole word
    EXPECT_NE(errorText().find(u"0700"), std::u16string::npos);
    VARIANT index;
    VariantInit(&index);
    index.vt = VT_I4;
    index.lVal = 1;
    ComPtr<IPDR> item;
    pda->get_Item(index, item.put());
    VARIANT big;
    VariantInit(&big);
    big.vt = VT_ARRAY | VT_UI1;
    big.parray = SafeArrayCreateVector(VT_UI1, 0, 1020);
    ASSERT_EQ(item->put_PDR(big), S_OK);
    VariantClear(&big);
    adapter.journal.clear();
    EXPECT_EQ(pda->Commit(&done), E_FAIL);
    EXPECT_EQ(done, 0);
    EXPECT_TRUE(adapter.journal.empty());
}

// ---- Firmware ----

// A FlashProgress sink: records each call as the runtime delivers it.
class ProgressSink final : public IDispatch {
public:
    struct Call {
        DISPID id;
        LCID lcid;
        WORD flags;
        std::vector<VARIANT> args;
    };
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IUnknown::iid || riid == IDispatch::iid || riid == _IFirmwareEvents::iid) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        Call call{id, lcid, flags, {}};
        EXPECT_EQ(params->cNamedArgs, 0u);
        for (UINT i = 0; i < params->cArgs; ++i) call.args.push_back(params->rgvarg[i]);
        calls.push_back(call);
        return S_OK;
    }
    ULONG refs = 1;
    std::vector<Call> calls;
};

DWORD connect(IFirmware& fw, IDispatch& sink) {
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(fw.QueryInterface(IConnectionPointContainer::iid, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(_IFirmwareEvents::iid, point.put()), S_OK);
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(&sink, &cookie), S_OK);
    return cookie;
}

TEST_F(ObjectTest, LoadCalibratePlugAndFlashTheDefaultChain) {
    firmware::StationImageOptions options;
    options.buildSequence = 0x0042;
    options.codeBytes = 6000;
    const std::string path = dir.Write("sta1_3.hex", firmware::WriteSrec(firmware::MakeStationImageLayout(options)));
    ProgressSink first, second;  // outlive the object that holds them
    auto fw = make<direzo::Firmware, IFirmware>();
    fw->_SetApiObj(kHandle);
    connect(*fw, first);
    connect(*fw, second);

    LONG result = 0;
    BstrArg name(path);
    ASSERT_EQ(fw->LoadHEXFile(name.b, &result), S_OK);
    EXPECT_EQ(result, 1);
    LONG value = 0;
    fw->get_HexPlugs(&value);
    EXPECT_EQ(value, 4);
    fw->get_TotalImageBlocks(&value);
    EXPECT_EQ(value, 2);
    fw->get_HexLinesRead(&value);
    EXPECT_GT(value, 180);
    ASSERT_EQ(fw->MakeCalPdrs(&result), S_OK);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(fw->PlugImage(&result), S_OK);
    EXPECT_EQ(result, 1);
    fw->get_HexRecordsPlugged(&value);
    EXPECT_EQ(value, 3);

    adapter.journal.clear();
    ASSERT_EQ(fw->FlashImage(&result), S_OK);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(adapter.journal.back(), "ResetCard");
    for (ProgressSink* sink : {&first, &second}) {
        ASSERT_EQ(sink->calls.size(), 2u);
        const LONG expected[2][3] = {{0, 4096, 1}, {4096, 1904, 2}};  // address, length, number
        for (std::size_t i = 0; i < 2; ++i) {
            const auto& call = sink->calls[i];
            EXPECT_EQ(call.id, 1);
            EXPECT_EQ(call.lcid, 0x400u);
            EXPECT_EQ(call.flags, DISPATCH_METHOD);
            ASSERT_EQ(call.args.size(), 3u);
            for (std::size_t a = 0; a < 3; ++a) {
                EXPECT_EQ(call.args[a].vt, VT_I4);
                EXPECT_EQ(call.args[a].lVal, expected[i][a]);
            }
        }
    }
    // The adapter holds the plugged image: the file name, the domain and the built set points
    // (domain 0x30: word 0 from data word 14 of 0x0900).
    const auto identity = firmware::DecodeStationIdentity(adapter.Bytes(firmware::kStationIdentityAddress, firmware::kStationIdentityBytes));
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->fileName, "STA1_3.HEX");
    EXPECT_EQ(identity->buildSequence, 0x0042);
    EXPECT_EQ(adapter.Bytes(firmware::kStationDomainPlug, 4), le16({0, 0x0030}));
    EXPECT_EQ(adapter.Bytes(firmware::kStationSetPointsPlug, 4), le16({0x040E, 0x0401}));
}

std::vector<SHORT> shorts(IFirmware& fw, HRESULT (IFirmware::*property)(VARIANT*)) {
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ((fw.*property)(&v), S_OK);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_I2);
    LONG upper = -1;
    SafeArrayGetUBound(v.parray, 1, &upper);
    std::vector<SHORT> out(std::size_t(upper + 1));
    if (!out.empty()) {
        void* raw = nullptr;
        SafeArrayAccessData(v.parray, &raw);
        std::memcpy(out.data(), raw, out.size() * sizeof(SHORT));
        SafeArrayUnaccessData(v.parray);
    }
    VariantClear(&v);
    return out;
}

TEST_F(ObjectTest, InformationRecordsOfTheImageAreReadable) {
    firmware::ImageLayout layout;
    layout.segments = {{0x100, Bytes(16, 1)}};
    layout.infos = {firmware::VersionInfoRecord(31, 2, 1, 7), firmware::PlatformInfoRecord(0x8002, 1, 3, 4),
                  firmware::PlatformInfoRecord(5, 6, 7, 8), firmware::CompatibilityInfoRecord(1, 3, 1, 2, 9)};
    auto fw = make<direzo::Firmware, IFirmware>();
    EXPECT_TRUE(shorts(*fw, &IFirmware::get_VersionInfo).empty());
    LONG result = 0;
    BstrArg name(dir.Write("info.hex", firmware::WriteSrec(layout)));
    ASSERT_EQ(fw->LoadHEXFile(name.b, &result), S_OK);
    EXPECT_EQ(shorts(*fw, &IFirmware::get_VersionInfo), (std::vector<SHORT>{31, 1, 7, 2}));
    EXPECT_EQ(shorts(*fw, &IFirmware::get_PlatformInfo), (std::vector<SHORT>{SHORT(0x8002), 1, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(shorts(*fw, &IFirmware::get_CompatibilityInfo), (std::vector<SHORT>{1, 3, 1, 2, 9}));
}

TEST_F(ObjectTest, FirmwareWithoutASessionNeverReachesTheDriver) {
    const std::string path = dir.Write("fw.hex", firmware::WriteSrec(firmware::MakeStationImageLayout({})));
    auto fw = make<direzo::Firmware, IFirmware>();
    LONG result = 0;
    BstrArg name(path);
    ASSERT_EQ(fw->LoadHEXFile(name.b, &result), S_OK);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(fw->MakeCalPdrs(&result), S_OK);
    EXPECT_EQ(result, 0);  // no production data held
    EXPECT_EQ(fw->FlashImage(&result), E_FAIL);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(errorText(), u"No Adapter Object Reference");
    EXPECT_TRUE(adapter.journal.empty());
}

TEST_F(ObjectTest, AFailedLoadLeavesNothingToFlash) {
    auto fw = make<direzo::Firmware, IFirmware>();
    fw->_SetApiObj(kHandle);
    LONG result = 0;
    BstrArg good(dir.Write("good.hex", firmware::WriteSrec(firmware::MakeStationImageLayout({}))));
    ASSERT_EQ(fw->LoadHEXFile(good.b, &result), S_OK);
    std::string text = firmware::WriteSrec(firmware::MakeStationImageLayout({}));
    text.insert(text.find('\n', 2000) + 1, "S1030010EC\n");  // an empty data record midway
    BstrArg bad(dir.Write("bad.hex", text));
    ASSERT_EQ(fw->LoadHEXFile(bad.b, &result), S_OK);
    EXPECT_EQ(result, 0);
    LONG value = -1;
    fw->get_HexLinesRead(&value);
    EXPECT_EQ(value, 0);
    fw->get_HexPlugs(&value);
    EXPECT_EQ(value, 4);  // from the last good load
    fw->get_TotalImageBlocks(&value);
    EXPECT_EQ(value, 0);
    // Nothing to send: refused, and the card is not reset as if an image had gone down.
    adapter.journal.clear();
    result = 1;
    EXPECT_EQ(fw->FlashImage(&result), E_FAIL);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(errorText(), u"IFirmware : FlashImage refused: no image is loaded (LoadHEXFile first)");
    EXPECT_TRUE(adapter.journal.empty());
    auto fresh = make<direzo::Firmware, IFirmware>();
    fresh->_SetApiObj(kHandle);
    EXPECT_EQ(fresh->FlashImage(&result), E_FAIL);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(adapter.journal.empty());
}

// The records plugged are the adapter's as read last, not a merge with records it no longer holds.
TEST_F(ObjectTest, RecordsRemovedFromTheAdapterAreNotPlugged) {
    auto fw = make<direzo::Firmware, IFirmware>();
    fw->_SetApiObj(kHandle);
    BstrArg name(dir.Write("fw.hex", firmware::WriteSrec(firmware::MakeStationImageLayout({}))));
    LONG result = 0, plugged = 0;
    ASSERT_EQ(fw->LoadHEXFile(name.b, &result), S_OK);
    ASSERT_EQ(fw->MakeCalPdrs(&result), S_OK);
    ASSERT_EQ(result, 1);
    fw->PlugImage(&result);
    fw->get_HexRecordsPlugged(&plugged);
    EXPECT_EQ(plugged, 3);  // 0103, and 0300 and 0301 derived by MakeCalPdrs
    // The adapter's area now holds the domain record only.
    Bytes area = le16({7, 0x0103, 0, 0x0030, 0, 0, 0, 0, 2, 0});
    const std::uint16_t crc = firmware::Crc16Arc(area);
    area.insert(area.end(), {std::uint8_t(crc & 0xFF), std::uint8_t(crc >> 8)});
    area.resize(firmware::kProductionAreaBytes, 0xFF);
    adapter.Load(firmware::kProductionAreaAddress, area);
    ASSERT_EQ(fw->LoadHEXFile(name.b, &result), S_OK);
    fw->PlugImage(&result);
    fw->get_HexRecordsPlugged(&plugged);
    EXPECT_EQ(plugged, 1);
    // Records derived after the read are plugged as before.
    adapter.Load(firmware::kProductionAreaAddress, factoryArea());
    fw->MakeCalPdrs(&result);
    fw->PlugImage(&result);
    fw->get_HexRecordsPlugged(&plugged);
    EXPECT_EQ(plugged, 3);
}

// A FlashProgress handler that calls back into the object while the image goes down.
class ReentrantSink final : public IDispatch {
public:
    explicit ReentrantSink(BSTR image) : image(image) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        *ppv = (riid == IUnknown::iid || riid == IDispatch::iid) ? static_cast<IDispatch*>(this) : nullptr;
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        if (called++) return S_OK;
        LONG r = 1;
        statuses.push_back(fw->LoadHEXFile(image, &r));
        results.push_back(r);
        statuses.push_back(fw->MakeCalPdrs(&r));
        results.push_back(r);
        statuses.push_back(fw->PlugImage(&r));
        results.push_back(r);
        statuses.push_back(fw->FlashImage(&r));
        results.push_back(r);
        texts.push_back(errorText());
        return S_OK;
    }
    IFirmware* fw = nullptr;  // the object whose events it receives
    BSTR image;
    ULONG refs = 1;
    int called = 0;
    std::vector<HRESULT> statuses;
    std::vector<LONG> results;
    std::vector<std::u16string> texts;
};

TEST_F(ObjectTest, ADownloadInProgressRefusesCallsThatWouldChangeTheImage) {
    firmware::StationImageOptions options;
    options.codeBytes = 9000;
    BstrArg name(dir.Write("fw.hex", firmware::WriteSrec(firmware::MakeStationImageLayout(options))));
    BstrArg other(dir.Write("other.hex", firmware::WriteSrec(firmware::MakeStationImageLayout({}))));
    ReentrantSink sink(other.b);  // outlives the object that holds it
    auto fw = make<direzo::Firmware, IFirmware>();
    fw->_SetApiObj(kHandle);
    LONG result = 0;
    ASSERT_EQ(fw->LoadHEXFile(name.b, &result), S_OK);
    sink.fw = fw.get();
    connect(*fw, sink);
    adapter.journal.clear();
    ASSERT_EQ(fw->FlashImage(&result), S_OK);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(sink.called, 3);
    EXPECT_EQ(sink.statuses, (std::vector<HRESULT>(4, E_FAIL)));
    EXPECT_EQ(sink.results, (std::vector<LONG>(4, 0)));
    EXPECT_EQ(sink.texts, (std::vector<std::u16string>{u"IFirmware : FlashImage refused: a download is in progress"}));
    // One download of the first image only: three blocks, one card reset.
    EXPECT_EQ(std::count(adapter.journal.begin(), adapter.journal.end(), "VerifiedWriteMemory"), 3);
    EXPECT_EQ(std::count(adapter.journal.begin(), adapter.journal.end(), "ResetCard"), 1);
    EXPECT_EQ(std::count(adapter.journal.begin(), adapter.journal.end(), "ReadProductionArea"), 0);
    LONG blocks = 0;
    fw->get_TotalImageBlocks(&blocks);
    EXPECT_EQ(blocks, 3);
}

// What is not a regular file is refused at once: a FIFO would block in open, /dev/zero never ends.
TEST_F(ObjectTest, FilesThatAreNotRegularAreRefused) {
    const std::string fifo = dir.Path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto fw = make<direzo::Firmware, IFirmware>();
    auto pda = make<direzo::PDA, IPDA>();
    fw->_SetApiObj(kHandle);
    pda->_SetApiObj(kHandle);
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir.Path("")}) {
        BstrArg name(path);
        testing::internal::CaptureStdout();
        LONG result = 1;
        EXPECT_EQ(fw->LoadHEXFile(name.b, &result), S_OK);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(pda->LoadPDAFile(name.b, &result), E_FAIL);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "File not found. " + path + ": not a regular file\nfile not found! " + path + ": not a regular file\n");
    }
}

TEST_F(ObjectTest, AFailedBlockStopsTheDownload) {
    auto fw = make<direzo::Firmware, IFirmware>();
    fw->_SetApiObj(kHandle);
    LONG result = 0;
    BstrArg name(dir.Write("fw.hex", firmware::WriteSrec(firmware::MakeStationImageLayout({}))));
    ASSERT_EQ(fw->LoadHEXFile(name.b, &result), S_OK);
    adapter.unwritable.insert(0x2100);
    EXPECT_EQ(fw->FlashImage(&result), E_FAIL);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(errorText(), u"IFirmware : Block 3 at address 0x002000 could not be written");
    EXPECT_EQ(adapter.journal.back(), "UnblockProtocols");
}

}  // namespace

namespace {

// Late-bound clients find every member under its dispatch id.
TEST(ObjectDispatchIds, FollowTheInterfaceTables) {
    struct Case {
        const char16_t* name;
        DISPID id;
    };
    auto check = [](IDispatch& object, std::initializer_list<Case> cases) {
        for (const Case& c : cases) {
            LPOLESTR name = const_cast<LPOLESTR>(c.name);
            DISPID id = -99;
            EXPECT_EQ(object.GetIDsOfNames(GUID_NULL, &name, 1, 0, &id), S_OK);
            EXPECT_EQ(id, c.id) << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name));
        }
    };
    check(*make<direzo::PDA, IPDA>(), {{u"_SetApiObj", 1}, {u"Count", 2}, {u"_NewEnum", -4}, {u"Item", 0},
                                       {u"Clear", 3}, {u"AddPDR", 4}, {u"RemovePDR", 5}, {u"Retrieve", 6},
                                       {u"Commit", 7}, {u"LoadPDAFile", 8}});
    check(*make<direzo::PDR, IPDR>(), {{u"Code", 1}, {u"Key", 2}, {u"Length", 3}, {u"Description", 4},
                                       {u"PDR", 5}, {u"ArrayOfUnsignedChar", 6}, {u"setCode", 11}, {u"setKey", 12}});
    check(*make<direzo::Firmware, IFirmware>(),
          {{u"_SetApiObj", 1}, {u"LoadHEXFile", 2}, {u"FlashImage", 3}, {u"PlugImage", 4}, {u"TotalImageBlocks", 5},
           {u"HexLinesRead", 6}, {u"HexRecordsPlugged", 7}, {u"HexPlugs", 8}, {u"VersionInfo", 9},
           {u"PlatformInfo", 10}, {u"CompatibilityInfo", 11}, {u"MakeCalPdrs", 12}});
}

}  // namespace
