#include <gtest/gtest.h>

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
