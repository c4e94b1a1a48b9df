#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "production_data.h"
#include "request_helpers.h"
#include "vireo/sim/memory_map.h"
#include "vireo/sim/testing/test_bench.h"

using namespace vireo::sim;
using TestBench = vireo::sim::testing::TestBench;
using namespace simtest;

namespace {
Reply readMemory(Device& d, std::uint32_t address, std::size_t length) {
    auto b = transfer(address, {0xDE, 0xAD}, length);
    return send(d, NdisRequestQueryInformation, OID_VIREO_MEMORY_READ, b);
}
Reply writeMemory(Device& d, std::uint32_t address, std::vector<BYTE> data) {
    return send(d, NdisRequestSetInformation, OID_VIREO_MEMORY_WRITE, transfer(address, std::move(data)));
}
std::vector<BYTE> dataOf(const Reply& r) { return {r.buffer.begin() + 6, r.buffer.end()}; }

const std::string kFaultyBench = R"({"adapters":[{"key":"0001","service":"F1","driverDesc":"f","baseband":"cedar",
   "mac":"00:60:1D:00:00:01","faults":{"writesDoNotStick":[{"from":"0x1000","to":"0x1FFF"}]}}]})";
}  // namespace

TEST(Memory, FactoryProductionDataHoldsTheManufacturingRecords) {
    TestBench bench;
    auto d = bench.device("0003");
    const ProductionArea pda = d->productionArea();
    EXPECT_TRUE(endRecordCrcGood(pda));
    const struct {
        WORD code;
        std::size_t words;
    } records[] = {{0x0103, 6}, {0x0900, 30}, {0x0901, 33}, {0x0101, 3}, {0x0300, 14}, {0x0301, 17}};
    for (const auto& r : records) {
        const auto data = findPdr(pda, r.code);
        ASSERT_TRUE(data) << std::hex << r.code;
        EXPECT_EQ(data->size(), r.words) << std::hex << r.code;
    }
    EXPECT_EQ((*findPdr(pda, 0x0103))[1] & 0xFF, 0x41);  // the bench's domain

    const Reply area = send(*d, NdisRequestQueryInformation, OID_VIREO_PRODUCTION_DATA, std::vector<BYTE>(1024));
    ASSERT_EQ(area.status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(area.bytesTransferred, 1024u);
    EXPECT_TRUE(std::equal(pda.begin(), pda.end(), area.buffer.begin()));
}

TEST(Memory, AccessNeedsEnablingAndStaysInsideOneRegion) {
    TestBench bench;
    auto d = bench.device("0002");
    EXPECT_EQ(readMemory(*d, kPdaBase, 16).status, NDIS_STATUS_FAILURE);
    ASSERT_EQ(enableMemory(*d), NDIS_STATUS_SUCCESS);
    const Reply pda = readMemory(*d, kPdaBase, 1024);
    ASSERT_EQ(pda.status, NDIS_STATUS_SUCCESS);
    const auto area = d->productionArea();
    EXPECT_EQ(dataOf(pda), std::vector<BYTE>(area.begin(), area.end()));
    const struct {
        std::uint32_t address;
        std::size_t length;
        NDIS_STATUS status;
    } cases[] = {
        {kPdaBase + 1000, 24, NDIS_STATUS_SUCCESS},
        {kPdaBase + 1000, 25, NDIS_STATUS_INVALID_DATA},  // runs past the area
        {kFirmwareBase, 8192, NDIS_STATUS_SUCCESS},
        {kFirmwareBase, 8193, NDIS_STATUS_INVALID_DATA},
        {kRamBase + kRamSize - 4, 8, NDIS_STATUS_INVALID_DATA},
        {0x500000, 2, NDIS_STATUS_INVALID_DATA},
    };
    for (const auto& c : cases) EXPECT_EQ(readMemory(*d, c.address, c.length).status, c.status) << std::hex << c.address;
    // A production-data write that would run past the area is refused whole.
    const auto before = d->productionArea();
    EXPECT_EQ(writeMemory(*d, kPdaBase, std::vector<BYTE>(1030, 0x11)).status, NDIS_STATUS_INVALID_DATA);
    EXPECT_EQ(d->productionArea(), before);
    // A buffer shorter than the transfer it announces.
    auto shortBuffer = transfer(kRamBase, {}, 64);
    shortBuffer.resize(6 + 10);
    const Reply r = send(*d, NdisRequestQueryInformation, OID_VIREO_MEMORY_READ, shortBuffer);
    EXPECT_EQ(r.status, NDIS_STATUS_BUFFER_TOO_SHORT);
    EXPECT_EQ(r.bytesNeeded, 70u);
}

TEST(Memory, NonVolatileWritesSurviveTheProcessAndFactoryReset) {
    TestBench bench;
    auto d = bench.device("0001");
    enableMemory(*d);
    const std::vector<BYTE> image{1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(writeMemory(*d, kFirmwareBase + 0x1FFC, image).status, NDIS_STATUS_SUCCESS);  // spans two pages
    ASSERT_EQ(writeMemory(*d, kPdaBase + 2, {0x34, 0x12}).status, NDIS_STATUS_SUCCESS);
    ASSERT_EQ(writeMemory(*d, kRamBase, {9, 9}).status, NDIS_STATUS_SUCCESS);
    EXPECT_TRUE(std::filesystem::exists(d->stateDir() / "production-data.bin"));

    forgetDevices();  // as if the process ended
    d = bench.device("0001");
    EXPECT_EQ(d->memory(kFirmwareBase + 0x1FFC, 8), image);
    EXPECT_EQ(d->memory(kFirmwareBase + 0x2004, 2), (std::vector<BYTE>{0xFF, 0xFF}));  // erased
    EXPECT_EQ(d->productionArea()[2], 0x34);
    EXPECT_EQ(d->memory(kRamBase, 2), (std::vector<BYTE>{0, 0}));  // RAM starts empty

    d->factoryReset();
    EXPECT_EQ(d->memory(kFirmwareBase + 0x1FFC, 8), std::vector<BYTE>(8, 0xFF));
    EXPECT_TRUE(endRecordCrcGood(d->productionArea()));
    EXPECT_FALSE(std::filesystem::exists(d->stateDir() / "production-data.bin"));
}

TEST(Memory, DamagedStateIsSetAsideNotLost) {
    TestBench bench;
    auto dir = bench.device("0002")->stateDir();
    forgetDevices();
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "production-data.bin") << "short";
    ::testing::internal::CaptureStderr();
    auto d = bench.device("0002");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("not 1024 bytes long"), std::string::npos) << err;
    EXPECT_TRUE(endRecordCrcGood(d->productionArea()));
    EXPECT_TRUE(std::filesystem::exists(dir / "production-data.bin.damaged"));
}

TEST(Memory, InjectedFaultWriteDoesNotStick) {
    TestBench bench(kFaultyBench);
    auto d = bench.device("0001");
    enableMemory(*d);
    EXPECT_EQ(writeMemory(*d, 0x0FFE, {1, 2, 3, 4}).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(d->memory(0x0FFE, 4), (std::vector<BYTE>{1, 2, 0xFF, 0xFF}));
}

TEST(Memory, ProcessesSharingAnAdapterSeeEachOthersWrites) {
    TestBench bench;
    auto first = bench.device("0003");
    // A second process's device for the same adapter: same state folder, its own volatile state.
    Device second(first->spec(), first->stateDir(), bench.journal());
    enableMemory(*first);
    enableMemory(second);
    ASSERT_EQ(writeMemory(*first, kPdaBase + 4, {0xAB}).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(second.productionArea()[4], 0xAB);
    ASSERT_EQ(writeMemory(second, kFirmwareBase, {0x42}).status, NDIS_STATUS_SUCCESS);
    ASSERT_EQ(writeMemory(second, kPdaBase + 6, {0xCD}).status, NDIS_STATUS_SUCCESS);
    ASSERT_EQ(writeMemory(*first, kPdaBase + 8, {0xEF}).status, NDIS_STATUS_SUCCESS);
    const auto area = first->productionArea();
    EXPECT_EQ((std::vector<BYTE>{area[4], area[6], area[8]}), (std::vector<BYTE>{0xAB, 0xCD, 0xEF}));
    EXPECT_EQ(first->memory(kFirmwareBase, 1), std::vector<BYTE>{0x42});
}

TEST(Memory, FirmwareWritesChangeTheStoreInPlaceAndSurviveATornEnd) {
    TestBench bench;
    auto d = bench.device("0001");
    enableMemory(*d);
    ASSERT_EQ(writeMemory(*d, kFirmwareBase + 0x10, {1, 2, 3}).status, NDIS_STATUS_SUCCESS);
    const auto store = d->stateDir() / "firmware-store.bin";
    const auto inode = [&] {
        struct stat s {};
        ::stat(store.c_str(), &s);
        return s.st_ino;
    };
    const auto first = inode();
    ASSERT_EQ(writeMemory(*d, kFirmwareBase + 0x11, {7}).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(inode(), first);  // programmed in place, not replaced
    EXPECT_EQ(std::filesystem::file_size(store), 4u + 4096u);

    // A process killed while adding a page leaves a record cut short at the end of the file.
    forgetDevices();
    std::ofstream(store, std::ios::binary | std::ios::app) << std::string(1000, '\x42');
    ::testing::internal::CaptureStderr();
    d = bench.device("0001");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(d->memory(kFirmwareBase + 0x10, 3), (std::vector<BYTE>{1, 7, 3}));
    EXPECT_EQ(d->firmwarePagesInUse(), 1u);
    enableMemory(*d);
    ASSERT_EQ(writeMemory(*d, kFirmwareBase + 0x5000, {9}).status, NDIS_STATUS_SUCCESS);
    forgetDevices();
    d = bench.device("0001");
    EXPECT_EQ(d->memory(kFirmwareBase + 0x5000, 2), (std::vector<BYTE>{9, 0xFF}));
    EXPECT_EQ(d->memory(kFirmwareBase + 0x10, 3), (std::vector<BYTE>{1, 7, 3}));
    EXPECT_EQ(std::filesystem::file_size(store), 2 * (4u + 4096u));
}
