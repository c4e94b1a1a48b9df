// The firmware and production data chain on the default simulated bench, through the Adapter and
// Vireo objects as a client reaches them.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "../test_support.h"
#include "adapters/adapters.h"
#include "common/text.h"
#include "direzo/subobjects.h"
#include "direzo/vireo.h"
#include "firmware/station_identity.h"
#include "firmware/station_image.h"
#include "oleaut/comptr.h"
#include "oleaut/ocidl.h"
#include "vireo/sim/bench.h"
#include "vireo/sim/testing/test_bench.h"

namespace {

using direzo::toBstr;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kAdapterKey = "0001";

struct Bstr {
    explicit Bstr(const std::string& text) : b(toBstr(direzo::fromAnsi(text))) {}
    ~Bstr() { SysFreeString(b); }
    BSTR b;
};

// A key text as an Item argument, cleared at the end of its scope.
struct KeyArg {
    explicit KeyArg(const std::string& text) {
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = toBstr(direzo::fromAnsi(text));
    }
    ~KeyArg() { VariantClear(&v); }
    VARIANT v;
};

// The default bench with adapter 0001's writes to [from, to] reporting success but not sticking.
std::string benchWithWritesThatDoNotStick(std::uint32_t from, std::uint32_t to) {
    std::string json = vireo::sim::testing::defaultBenchJson();
    const std::string anchor = "\"channel\": 1,";
    const std::size_t at = json.find(anchor);
    EXPECT_NE(at, std::string::npos);
    char fault[128];
    std::snprintf(fault, sizeof fault, " \"faults\": {\"writesDoNotStick\": [{\"from\": \"0x%X\", \"to\": \"0x%X\"}]},",
                  unsigned(from), unsigned(to));
    json.insert(at + anchor.size(), fault);
    return json;
}

// Counts FlashProgress calls and the bytes they announce.
class CountingSink final : public IDispatch {
public:
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
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        ++blocks;
        bytes += params->rgvarg[1].lVal;
        return S_OK;
    }
    ULONG refs = 1;
    LONG blocks = 0;
    LONG bytes = 0;
};

// One opened bench adapter and its Vireo object's sub-objects.
struct OpenedAdapter {
    OpenedAdapter() {
        EXPECT_EQ(oleaut::createObject<direzo::Adapters>(IAdapters::iid, adapters.putVoid()), S_OK);
        EXPECT_EQ(adapters->get_Item(KeyArg(kAdapterKey).v, adapter.put()), S_OK);
        LONG opened = 0;
        adapter->Open(&opened);
        EXPECT_EQ(opened, 1);
        ComPtr<IDispatch> vireoDispatch, part;
        adapter->get_Vireo(vireoDispatch.put());
        EXPECT_EQ(vireoDispatch->QueryInterface(IVireo::iid, vireo.putVoid()), S_OK);
        vireo->get_Firmware(part.put());
        EXPECT_EQ(part->QueryInterface(IFirmware::iid, firmware.putVoid()), S_OK);
        ComPtr<IDispatch> pdaDispatch;
        vireo->get_PDA(pdaDispatch.put());
        EXPECT_EQ(pdaDispatch->QueryInterface(IPDA::iid, pda.putVoid()), S_OK);
    }
    ~OpenedAdapter() {
        if (adapter) adapter->Close();
    }
    ComPtr<IAdapters> adapters;
    ComPtr<IAdapter> adapter;
    ComPtr<IVireo> vireo;
    ComPtr<IFirmware> firmware;
    ComPtr<IPDA> pda;
};

TEST(BenchChain, DownloadedImageRunsAfterTheCardReset) {
    vireo::sim::testing::TestBench bench;
    firmware::testing::ScratchDir dir;
    firmware::StationImageOptions options;
    options.buildSequence = 0x0321;
    options.major = 2;
    options.minor = 4;
    options.variant = 1;
    options.codeBytes = 20000;
    const std::string path = dir.Write("sta2_4.hex", firmware::WriteSrec(firmware::MakeStationImageLayout(options)));
    auto device = bench.device(kAdapterKey);
    ASSERT_NE(device->firmwareBuildSequence(), 0x0321);

    CountingSink sink;
    {
        OpenedAdapter opened;
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(opened.firmware->QueryInterface(IConnectionPointContainer::iid, container.putVoid()), S_OK);
        ComPtr<IConnectionPoint> point;
        ASSERT_EQ(container->FindConnectionPoint(_IFirmwareEvents::iid, point.put()), S_OK);
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);

        LONG result = 0;
        Bstr name(path);
        ASSERT_EQ(opened.firmware->LoadHEXFile(name.b, &result), S_OK);
        ASSERT_EQ(result, 1);
        ASSERT_EQ(opened.firmware->MakeCalPdrs(&result), S_OK);
        EXPECT_EQ(result, 1);
        ASSERT_EQ(opened.firmware->PlugImage(&result), S_OK);
        EXPECT_EQ(result, 1);
        ASSERT_EQ(opened.firmware->FlashImage(&result), S_OK);
        EXPECT_EQ(result, 1);
        point->Unadvise(cookie);
    }
    EXPECT_EQ(sink.blocks, 5);  // 20000 bytes: four blocks of 4096 and one of 3616
    EXPECT_EQ(sink.bytes, 20000);

    const auto identity = firmware::DecodeStationIdentity(device->memory(firmware::kStationIdentityAddress, firmware::kStationIdentityBytes));
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->fileName, "STA2_4.HEX");
    EXPECT_EQ(device->firmwareBuildSequence(), 0x0321);
    EXPECT_NE(device->firmwareFileNames().find("STA2_4.HEX"), std::string::npos);
    EXPECT_EQ(device->record(0xFD20), (std::vector<WORD>{31, 1, 2, 4}));
    // The adapter's own domain record was plugged into the image.
    const auto area = device->productionArea();
    const Bytes domain = device->memory(firmware::kStationDomainPlug, 12);
    EXPECT_TRUE(std::search(area.begin(), area.end(), domain.begin(), domain.end()) != area.end());

    // A new process finds the adapter running the same image.
    vireo::sim::forgetDevices();
    EXPECT_EQ(bench.device(kAdapterKey)->firmwareBuildSequence(), 0x0321);
}

// Loads, plugs and downloads an image through the Firmware object; the download's bResults.
LONG download(IFirmware& firmware, const std::string& path) {
    LONG result = 0;
    Bstr name(path);
    EXPECT_EQ(firmware.LoadHEXFile(name.b, &result), S_OK);
    EXPECT_EQ(result, 1);
    firmware.MakeCalPdrs(&result);
    firmware.PlugImage(&result);
    result = -1;
    firmware.FlashImage(&result);
    return result;
}

// An adapter boots a downloaded image only when its boot check passes: after a download that
// stopped part-way it goes on running what it ran before.
TEST(BenchChain, APartlyDownloadedImageDoesNotBoot) {
    vireo::sim::testing::TestBench bench(benchWithWritesThatDoNotStick(0x3000, 0x3FFF));
    firmware::testing::ScratchDir dir;
    firmware::StationImageOptions whole, partial;
    whole.buildSequence = 0x0101;
    whole.codeBytes = 0x2000;  // below the faulty range
    partial.buildSequence = 0x0202;
    partial.codeBytes = 0x5000;
    partial.seed = 2;
    const std::string wholeImage = dir.Write("sta1_1.hex", firmware::WriteSrec(firmware::MakeStationImageLayout(whole)));
    const std::string partialImage = dir.Write("sta2_2.hex", firmware::WriteSrec(firmware::MakeStationImageLayout(partial)));
    auto device = bench.device(kAdapterKey);
    OpenedAdapter opened;
    ASSERT_EQ(download(*opened.firmware, wholeImage), 1);
    ASSERT_EQ(device->firmwareBuildSequence(), 0x0101);
    EXPECT_EQ(download(*opened.firmware, partialImage), 0);  // block 4, at 0x3000, does not stick
    EXPECT_EQ(opened.vireo->CardReset(), S_OK);
    EXPECT_EQ(device->firmwareBuildSequence(), 0x0101);
    EXPECT_NE(device->firmwareFileNames().find("STA1_1.HEX"), std::string::npos);
    EXPECT_EQ(device->record(0xFD20), (std::vector<WORD>{31, 0, 1, 0}));
}

// Commit is done only when the area read back holds what was written.
// A child process that downloads `image` to the bench adapter as a client does, writing one byte
// to `ready` just before the download starts and a second when the card reset is done.
pid_t startDownload(const std::string& image, int ready) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    vireo::sim::forgetDevices();  // a process of its own: nothing of the parent's devices
    LONG result = 0;
    {
        OpenedAdapter opened;
        Bstr name(image);
        opened.firmware->LoadHEXFile(name.b, &result);
        opened.firmware->MakeCalPdrs(&result);
        opened.firmware->PlugImage(&result);
        const char go = 'g';
        if (::write(ready, &go, 1) != 1) ::_exit(2);
        result = 0;
        opened.firmware->FlashImage(&result);
    }
    const char done = 'd';
    ::_exit(result == 1 && ::write(ready, &done, 1) == 1 ? 0 : 1);
}

// A download killed at any moment never leaves an image that boots half written, nor a state file
// that the adapter cannot read: the adapter boots the new image exactly when every byte of it
// reached the memory.
TEST(BenchChain, ADownloadKilledAtAnyPointNeverBootsAHalfImage) {
    vireo::sim::testing::TestBench bench;
    firmware::testing::ScratchDir dir;
    firmware::StationImageOptions options;
    options.buildSequence = 0x0707;
    options.codeBytes = 0x10000;  // sixteen blocks
    const std::string image = dir.Write("sta7_7.hex", firmware::WriteSrec(firmware::MakeStationImageLayout(options)));
    constexpr std::size_t kSpan = 0x11000;  // the image and a little beyond
    const auto stateDir = bench.device(kAdapterKey)->stateDir();

    // A whole download first: the memory it leaves, and how long its flashing takes.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t whole = startDownload(image, pipeFds[1]);
    char byte = 0;
    ASSERT_EQ(::read(pipeFds[0], &byte, 1), 1);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(::read(pipeFds[0], &byte, 1), 1);
    const auto flashTime = std::chrono::steady_clock::now() - started;
    int status = 0;
    ASSERT_EQ(::waitpid(whole, &status, 0), whole);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    vireo::sim::forgetDevices();
    const Bytes reference = bench.device(kAdapterKey)->memory(0, kSpan);
    ASSERT_EQ(bench.device(kAdapterKey)->firmwareBuildSequence(), 0x0707);

    std::mt19937 random(std::random_device{}());
    const auto longest = std::chrono::duration_cast<std::chrono::microseconds>(flashTime).count() * 13 / 10 + 1;
    int booted = 0, halfWritten = 0;
    for (int round = 0; round < 12; ++round) {
        vireo::sim::forgetDevices();
        bench.device(kAdapterKey)->factoryReset();
        vireo::sim::forgetDevices();
        const pid_t child = startDownload(image, pipeFds[1]);
        ASSERT_EQ(::read(pipeFds[0], &byte, 1), 1);
        const auto killAt = std::uniform_int_distribution<long>(0, long(longest))(random);
        std::this_thread::sleep_for(std::chrono::microseconds(killAt));
        ::kill(child, SIGKILL);
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (WIFEXITED(status)) {  // it finished first
            ASSERT_EQ(WEXITSTATUS(status), 0);
            ASSERT_EQ(::read(pipeFds[0], &byte, 1), 1);
        }

        // A new process powers the adapter on: its state reads back whole.
        testing::internal::CaptureStderr();
        auto device = bench.device(kAdapterKey);
        const std::string complaints = testing::internal::GetCapturedStderr();
        EXPECT_EQ(complaints, "") << "killed after " << killAt << " us";
        for (const auto& entry : std::filesystem::directory_iterator(stateDir))
            EXPECT_NE(entry.path().extension(), ".damaged") << entry.path();
        const bool complete = device->memory(0, kSpan) == reference;
        const bool runsNewImage = device->firmwareBuildSequence() == 0x0707;
        EXPECT_EQ(runsNewImage, complete) << "killed after " << killAt << " us";
        (runsNewImage ? booted : halfWritten) += 1;
    }
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    std::printf("killed downloads: %d ran the whole image, %d were cut short\n", booted, halfWritten);
    RecordProperty("booted", booted);
    RecordProperty("halfWritten", halfWritten);
}

TEST(BenchChain, ACommitTheAreaDoesNotKeepIsNotDone) {
    std::size_t endRecord = 0;  // byte offset of the factory area's end record
    {
        vireo::sim::testing::TestBench bench;
        const auto area = bench.device(kAdapterKey)->productionArea();
        while (endRecord + 3 < area.size() && (area[endRecord + 2] | area[endRecord + 3]) != 0)
            endRecord += 2 * (std::size_t(area[endRecord] | area[endRecord + 1] << 8) + 1);
        ASSERT_LT(endRecord + 3, area.size());
    }
    const std::uint32_t at = firmware::kProductionAreaAddress + std::uint32_t(endRecord);
    vireo::sim::testing::TestBench bench(benchWithWritesThatDoNotStick(at, at + 5));
    OpenedAdapter opened;
    LONG result = 0;
    ASSERT_EQ(opened.pda->Retrieve(&result), S_OK);
    ASSERT_EQ(opened.pda->AddPDR(0x0F10, &result), S_OK);
    ComPtr<IPDR> pdr;
    ASSERT_EQ(opened.pda->get_Item(KeyArg("0f10").v, pdr.put()), S_OK);
    VARIANT data;
    VariantInit(&data);
    data.vt = VT_ARRAY | VT_UI1;
    data.parray = SafeArrayCreateVector(VT_UI1, 0, 4);
    ASSERT_EQ(pdr->put_PDR(data), S_OK);
    VariantClear(&data);
    result = -1;
    ASSERT_EQ(opened.pda->Commit(&result), S_OK);
    EXPECT_EQ(result, 0);
    // The old end record still closes the area: the new record is not there.
    ASSERT_EQ(opened.pda->Retrieve(&result), S_OK);
    EXPECT_EQ(opened.pda->get_Item(KeyArg("0f10").v, pdr.put()), E_INVALIDARG);
}

TEST(BenchChain, AnImageWithoutIdentityRunsUnnamed) {
    vireo::sim::testing::TestBench bench;
    firmware::testing::ScratchDir dir;
    firmware::ImageLayout layout;
    layout.segments = {{0x000000, firmware::PseudoRandomBytes(1024, 5)}};
    const std::string path = dir.Write("foreign.hex", firmware::WriteSrec(layout));
    OpenedAdapter opened;
    LONG result = 0;
    Bstr name(path);
    ASSERT_EQ(opened.firmware->LoadHEXFile(name.b, &result), S_OK);
    ASSERT_EQ(opened.firmware->FlashImage(&result), S_OK);
    ASSERT_EQ(result, 1);
    auto device = bench.device(kAdapterKey);
    EXPECT_EQ(device->firmwareBuildSequence(), 0);
    const std::string names = device->firmwareFileNames();
    EXPECT_EQ(names.substr(names.find(' ')), " UNKNOWN");
}

TEST(BenchChain, EditedProductionDataSurviveARestart) {
    vireo::sim::testing::TestBench bench;
    LONG factoryCount = 0;
    {
        OpenedAdapter opened;
        LONG result = 0;
        ASSERT_EQ(opened.pda->Retrieve(&result), S_OK);
        ASSERT_EQ(result, 1);
        opened.pda->get_Count(&factoryCount);
        ASSERT_EQ(opened.pda->AddPDR(0x0F10, &result), S_OK);
        ASSERT_EQ(result, 1);
        ComPtr<IPDR> pdr;
        ASSERT_EQ(opened.pda->get_Item(KeyArg("0f10").v, pdr.put()), S_OK);
        VARIANT data;
        VariantInit(&data);
        data.vt = VT_ARRAY | VT_UI1;
        data.parray = SafeArrayCreateVector(VT_UI1, 0, 4);
        void* raw = nullptr;
        SafeArrayAccessData(data.parray, &raw);
        const BYTE bytes[4] = {0xB1, 0xB2, 0xB3, 0xB4};
        std::memcpy(raw, bytes, 4);
        SafeArrayUnaccessData(data.parray);
        ASSERT_EQ(pdr->put_PDR(data), S_OK);
        VariantClear(&data);
        ASSERT_EQ(opened.pda->Commit(&result), S_OK);
        ASSERT_EQ(result, 1);
    }
    vireo::sim::forgetDevices();
    OpenedAdapter reopened;
    LONG result = 0;
    ASSERT_EQ(reopened.pda->Retrieve(&result), S_OK);
    ASSERT_EQ(result, 1);
    ComPtr<IPDR> pdr;
    ASSERT_EQ(reopened.pda->get_Item(KeyArg("0f10").v, pdr.put()), S_OK);
    VARIANT data;
    VariantInit(&data);
    ASSERT_EQ(pdr->get_PDR(&data), S_OK);
    void* raw = nullptr;
    SafeArrayAccessData(data.parray, &raw);
    EXPECT_EQ(Bytes(static_cast<BYTE*>(raw), static_cast<BYTE*>(raw) + 4), (Bytes{0xB1, 0xB2, 0xB3, 0xB4}));
    SafeArrayUnaccessData(data.parray);
    VariantClear(&data);
    // The factory records are all still there, with the new one.
    LONG count = 0;
    reopened.pda->get_Count(&count);
    EXPECT_EQ(count, factoryCount + 1);
}

// A record removed from the adapter after LoadHEXFile is not plugged: plugging uses what the
// adapter holds at the time.
TEST(BenchChain, PlugImageLeavesOutARecordRemovedSinceTheImageWasLoaded) {
    vireo::sim::testing::TestBench bench;
    firmware::testing::ScratchDir dir;
    firmware::StationImageOptions options;
    options.codeBytes = 4096;
    const std::string path = dir.Write("sta3_1.hex", firmware::WriteSrec(firmware::MakeStationImageLayout(options)));
    const Bytes setPoints(28, 0xA5);  // record 0300 as the image's plug takes it
    OpenedAdapter opened;
    LONG result = 0;
    SHORT removed = 0;
    const auto commitWithout0300 = [&](const Bytes* data) {
        ASSERT_EQ(opened.pda->Retrieve(&result), S_OK);
        opened.pda->RemovePDR(Bstr("0300").b, &removed);
        opened.pda->RemovePDR(Bstr("0000").b, &removed);
        if (data) {
            ASSERT_EQ(opened.pda->AddPDR(0x0300, &result), S_OK);
            ComPtr<IPDR> pdr;
            ASSERT_EQ(opened.pda->get_Item(KeyArg("0300").v, pdr.put()), S_OK);
            VARIANT v;
            VariantInit(&v);
            v.vt = VT_ARRAY | VT_UI1;
            v.parray = SafeArrayCreateVector(VT_UI1, 0, ULONG(data->size()));
            void* raw = nullptr;
            SafeArrayAccessData(v.parray, &raw);
            std::memcpy(raw, data->data(), data->size());
            SafeArrayUnaccessData(v.parray);
            ASSERT_EQ(pdr->put_PDR(v), S_OK);
            VariantClear(&v);
        }
        ASSERT_EQ(opened.pda->Commit(&result), S_OK);
        ASSERT_EQ(result, 1);
    };
    commitWithout0300(&setPoints);
    Bstr name(path);
    ASSERT_EQ(opened.firmware->LoadHEXFile(name.b, &result), S_OK);
    ASSERT_EQ(result, 1);
    commitWithout0300(nullptr);
    ASSERT_EQ(opened.firmware->PlugImage(&result), S_OK);
    ASSERT_EQ(opened.firmware->FlashImage(&result), S_OK);
    ASSERT_EQ(result, 1);
    EXPECT_NE(bench.device(kAdapterKey)->memory(firmware::kStationSetPointsPlug, 28), setPoints);
}

}  // namespace
