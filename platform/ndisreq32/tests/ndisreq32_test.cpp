#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ndisreq32/vireo_oids.h"
#include "registry/winreg.h"
#include "vireo/sim/testing/test_bench.h"

using vireo::sim::testing::TestBench;

namespace {

struct Request {
    NdisRequestRecord record{};
    std::vector<BYTE> buffer;

    Request(DWORD type, NDIS_OID oid, std::vector<BYTE> payload) : buffer(std::move(payload)) {
        record.RequestType = type;
        record.Oid = oid;
        record.InformationBuffer = buffer.empty() ? nullptr : buffer.data();
        record.InformationBufferLength = DWORD(buffer.size());
    }
    NDIS_STATUS send(LONG handle) {
        OVERLAPPED ov{};
        return W32N_MakeNdisRequest(handle, &record, &ov, 1);
    }
    WORD word(std::size_t i) const { return WORD(buffer[2 * i] | buffer[2 * i + 1] << 8); }
};

std::vector<BYTE> commandBlock(WORD cmd, WORD p0 = 0) { return {BYTE(cmd), BYTE(cmd >> 8), BYTE(p0), BYTE(p0 >> 8), 0, 0, 0, 0}; }

}  // namespace

TEST(NdisRequestLibrary, ReportsTheNtFamilyVersionFive) {
    EXPECT_EQ(W32N_IsWindowsNT() & 0xFF, 1u);
    EXPECT_EQ(W32N_OSGetPlatformVersion(2), 5u);
}

TEST(NdisRequestLibrary, OpensAdaptersByServiceName) {
    TestBench bench;
    const struct {
        const char* name;
        bool opens;
    } cases[] = {
        {"\\Device\\VIREO1", true}, {"\\device\\vireo3", true}, {"\\Device\\ETHLAN1", true},
        {"\\Device\\NOSUCH", false}, {"VIREO1", false},         {"\\Device\\", false},
        {nullptr, false},
    };
    for (const auto& c : cases) {
        const LONG h = W32N_OpenAdapterA(c.name);
        EXPECT_EQ(h != -1, c.opens) << (c.name ? c.name : "(null)");
        if (h == -1) {
            EXPECT_NE(W32N_GetLastError(), 0u);
        } else {
            EXPECT_TRUE(W32N_CloseAdapter(h));
        }
    }
}

TEST(NdisRequestLibrary, ServicesNamingAnUnknownDriverDoNotOpen) {
    TestBench bench;
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VIREO1\\Parameters", 0,
                            KEY_ALL_ACCESS, &k),
              ERROR_SUCCESS);
    RegSetValueExA(k, "Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>("elsewhere"), 10);
    RegCloseKey(k);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(W32N_OpenAdapterA("\\Device\\VIREO1"), -1);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("unknown driver \"elsewhere\""), std::string::npos);
    EXPECT_NE(W32N_GetLastError(), 0u);
}

TEST(NdisRequestLibrary, HandlesBindToTheBenchDevice) {
    TestBench bench;
    const LONG h = W32N_OpenAdapterA("\\Device\\VIREO2");
    ASSERT_NE(h, -1);
    Request channel(NdisRequestQueryInformation, OID_VIREO_COMMAND, commandBlock(0x0838, 9));
    ASSERT_EQ(channel.send(h), NDIS_STATUS_SUCCESS);
    EXPECT_EQ(channel.record.BytesTransferred, 8u);
    EXPECT_EQ(bench.device("0002")->controllerState().channel, 9);

    // A second handle reaches the same device.
    const LONG h2 = W32N_OpenAdapterA("\\Device\\VIREO2");
    Request cr0(NdisRequestQueryInformation, OID_VIREO_COMMAND, commandBlock(0x0030, 0));
    ASSERT_EQ(cr0.send(h2), NDIS_STATUS_SUCCESS);
    EXPECT_EQ(cr0.word(1), 19);

    Request unknown(NdisRequestQueryInformation, 0xFF0101FF, std::vector<BYTE>(4));
    EXPECT_EQ(unknown.send(h), NDIS_STATUS_INVALID_OID);
    Request shortTallies(NdisRequestQueryInformation, OID_VIREO_TALLIES, std::vector<BYTE>(100));
    EXPECT_EQ(shortTallies.send(h), NDIS_STATUS_BUFFER_TOO_SHORT);
    EXPECT_EQ(shortTallies.record.BytesNeeded, 176u);
    W32N_CloseAdapter(h);
    W32N_CloseAdapter(h2);
}

TEST(NdisRequestLibrary, BadHandlesReachNoDevice) {
    TestBench bench;
    const LONG h = W32N_OpenAdapterA("\\Device\\VIREO1");
    ASSERT_TRUE(W32N_CloseAdapter(h));
    EXPECT_FALSE(W32N_CloseAdapter(h));
    for (LONG bad : {LONG(-1), h, LONG(0), LONG(123456)}) {
        Request r(NdisRequestQueryInformation, OID_GEN_MEDIA_IN_USE, std::vector<BYTE>(4));
        EXPECT_EQ(r.send(bad), NDIS_STATUS_INVALID_HANDLE) << bad;
    }
    EXPECT_EQ(bench.journal().size(), 0u);

    const LONG open = W32N_OpenAdapterA("\\Device\\VIREO1");
    Request noBuffer(NdisRequestQueryInformation, OID_GEN_MEDIA_IN_USE, {});
    noBuffer.record.InformationBufferLength = 4;  // a length without a buffer
    EXPECT_EQ(noBuffer.send(open), NDIS_STATUS_INVALID_DATA);
    EXPECT_EQ(W32N_MakeNdisRequest(open, nullptr, nullptr, 1), NDIS_STATUS_INVALID_DATA);
    EXPECT_EQ(bench.journal().size(), 0u);
    W32N_CloseAdapter(open);
}

TEST(NdisRequestLibrary, AdapterRegistryInfo) {
    TestBench bench;
    AdapterRegistryInfo info;
    ASSERT_EQ(W32N_GetAdapterRegistryInfo(&info, "0003"), 0u);
    EXPECT_STREQ(info.firstText, "Vireo 802.11b Mini PCI Adapter (Cedar)");
    EXPECT_STREQ(info.secondText, "Vireo Wireless LAN Mini PCI Adapter");
    EXPECT_STREQ(info.thirdText, "VIREO3");
    EXPECT_NE(W32N_GetAdapterRegistryInfo(&info, "0009"), 0u);
    EXPECT_NE(W32N_GetAdapterRegistryInfo(nullptr, "0001"), 0u);
    EXPECT_NE(W32N_GetAdapterRegistryInfo(&info, nullptr), 0u);

    // A class key without a service is not an adapter's.
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "System\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\Properties",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(k, "DriverDesc", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    RegCloseKey(k);
    EXPECT_NE(W32N_GetAdapterRegistryInfo(&info, "Properties"), 0u);
}

namespace {

// A memory transfer as the component lays it out: address, length, data.
std::vector<BYTE> memoryTransfer(DWORD address, const std::vector<BYTE>& data, std::size_t room = kMemoryTransferMax) {
    std::vector<BYTE> b(kMemoryTransferHeader + std::max(data.size(), room), 0);
    std::memcpy(b.data(), &address, 4);
    b[4] = BYTE(data.size());
    b[5] = BYTE(data.size() >> 8);
    std::copy(data.begin(), data.end(), b.begin() + kMemoryTransferHeader);
    b.resize(kMemoryTransferHeader + data.size());
    return b;
}

NDIS_STATUS setWithoutData(LONG h, NDIS_OID oid) { return Request(NdisRequestSetInformation, oid, {}).send(h); }

// Reads back what was written, as a verified download does.
bool writeAndVerify(LONG h, DWORD address, const std::vector<BYTE>& data) {
    if (setWithoutData(h, OID_VIREO_MEMORY_ENABLE) != NDIS_STATUS_SUCCESS) return false;
    if (Request(NdisRequestSetInformation, OID_VIREO_MEMORY_WRITE, memoryTransfer(address, data)).send(h))
        return false;
    std::vector<BYTE> blank(data.size(), 0);
    Request read(NdisRequestQueryInformation, OID_VIREO_MEMORY_READ, memoryTransfer(address, blank));
    if (read.send(h)) return false;
    return std::equal(data.begin(), data.end(), read.buffer.begin() + kMemoryTransferHeader);
}

}  // namespace

TEST(NdisRequestLibrary, ProductionDataCommitAndDownloadFlows) {
    TestBench bench(R"({"adapters":[
      {"key":"0001","service":"GOOD","driverDesc":"g","baseband":"cedar","mac":"00:60:1D:00:00:01"},
      {"key":"0002","service":"STUCK","driverDesc":"s","baseband":"cedar","mac":"00:60:1D:00:00:02",
       "faults":{"writesDoNotStick":[{"from":"0x4000","to":"0x4FFF"}]}}]})");
    const LONG good = W32N_OpenAdapterA("\\Device\\GOOD");
    const LONG stuck = W32N_OpenAdapterA("\\Device\\STUCK");
    ASSERT_NE(good, -1);
    ASSERT_NE(stuck, -1);

    // Commit: block, probe, enable, write the records at the area, probe, unblock.
    const std::vector<BYTE> records{0x02, 0x00, 0x01, 0x00, 0xAA, 0xBB, 0x02, 0x00, 0x00, 0x00, 0x11, 0x22};
    EXPECT_EQ(setWithoutData(good, OID_VIREO_BLOCK_PROTOCOLS), NDIS_STATUS_SUCCESS);
    EXPECT_EQ(Request(NdisRequestQueryInformation, OID_VIREO_COMMAND, commandBlock(0x0000)).send(good), NDIS_STATUS_SUCCESS);
    EXPECT_TRUE(writeAndVerify(good, 0x3F0000, records));
    EXPECT_EQ(setWithoutData(good, OID_VIREO_UNBLOCK_PROTOCOLS), NDIS_STATUS_SUCCESS);
    Request area(NdisRequestQueryInformation, OID_VIREO_PRODUCTION_DATA, std::vector<BYTE>(kProductionDataBytes));
    area.record.BytesTransferred = 20;
    ASSERT_EQ(area.send(good), NDIS_STATUS_SUCCESS);
    EXPECT_EQ(area.record.BytesTransferred, kProductionDataBytes);
    EXPECT_TRUE(std::equal(records.begin(), records.end(), area.buffer.begin()));

    // A download block the adapter does not keep fails its verification.
    const std::vector<BYTE> block(4096, 0x5A);
    EXPECT_TRUE(writeAndVerify(good, 0x4000, block));
    EXPECT_FALSE(writeAndVerify(stuck, 0x4000, block));
    EXPECT_TRUE(writeAndVerify(stuck, 0x5000, block));

    // The journal shows the commit's requests in order.
    std::vector<NDIS_OID> oids;
    for (const auto& e : bench.journal().entries())
        if (e.adapterKey == "0001") oids.push_back(e.oid);
    ASSERT_GE(oids.size(), 6u);
    EXPECT_EQ((std::vector<NDIS_OID>(oids.begin(), oids.begin() + 6)),
              (std::vector<NDIS_OID>{OID_VIREO_BLOCK_PROTOCOLS, OID_VIREO_COMMAND, OID_VIREO_MEMORY_ENABLE,
                                     OID_VIREO_MEMORY_WRITE, OID_VIREO_MEMORY_READ, OID_VIREO_UNBLOCK_PROTOCOLS}));
    W32N_CloseAdapter(good);
    W32N_CloseAdapter(stuck);
}

TEST(NdisRequestLibrary, AdapterKeysEnumerateWithASixteenCharacterBuffer) {
    TestBench bench;
    HKEY cls = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                            "System\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}", 0,
                            KEY_READ, &cls),
              ERROR_SUCCESS);
    std::vector<std::string> keys;
    char name[16];
    for (DWORD i = 0, len = sizeof name; RegEnumKeyExA(cls, i, name, &len, nullptr, nullptr, nullptr, nullptr) == 0;
         ++i, len = sizeof name) {
        keys.emplace_back(name);
        AdapterRegistryInfo info;
        EXPECT_EQ(W32N_GetAdapterRegistryInfo(&info, name), 0u) << name;
    }
    RegCloseKey(cls);
    EXPECT_EQ(keys, (std::vector<std::string>{"0001", "0002", "0003", "0004"}));
}
