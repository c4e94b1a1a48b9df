#include <gtest/gtest.h>

#include <set>

#include "controller.h"
#include "request_helpers.h"
#include "vireo/sim/testing/test_bench.h"

using namespace vireo::sim;
using TestBench = vireo::sim::testing::TestBench;
using namespace simtest;

namespace {
const std::string kAllModels = R"({"adapters":[
  {"key":"A","service":"A","driverDesc":"a","baseband":"alder","mac":"00:60:1D:00:00:01"},
  {"key":"S","service":"S","driverDesc":"s","baseband":"birch-s","mac":"00:60:1D:00:00:02"},
  {"key":"BA","service":"BA","driverDesc":"b","baseband":"birch-a","mac":"00:60:1D:00:00:03"},
  {"key":"B","service":"B","driverDesc":"b","baseband":"birch-b","mac":"00:60:1D:00:00:04"},
  {"key":"C","service":"C","driverDesc":"c","baseband":"cedar","mac":"00:60:1D:00:00:05"}]})";

Reply readReg(Device& d, WORD address) { return command(d, cmd::ReadBaseband, address); }
Reply writeReg(Device& d, WORD address, WORD value) { return command(d, cmd::WriteBaseband, address, value); }
}  // namespace

TEST(Baseband, RegisterZeroIsTheModelCode) {
    TestBench bench(kAllModels);
    const struct {
        const char* key;
        WORD code, step, count;
    } cases[] = {{"A", 3, 4, 32}, {"S", 16, 2, 64}, {"BA", 17, 2, 64}, {"B", 19, 2, 64}, {"C", 48, 2, 64}};
    for (const auto& c : cases) {
        auto d = bench.device(c.key);
        const Reply r = readReg(*d, 0);
        ASSERT_EQ(r.status, NDIS_STATUS_SUCCESS) << c.key;
        EXPECT_EQ(r.word(1), c.code) << c.key;
        EXPECT_EQ(readReg(*d, WORD(c.step * (c.count - 1))).status, NDIS_STATUS_SUCCESS) << c.key;
        EXPECT_EQ(readReg(*d, WORD(c.step * c.count)).status, NDIS_STATUS_FAILURE) << c.key;
        EXPECT_EQ(readReg(*d, 1).status, NDIS_STATUS_FAILURE) << c.key;  // not a register address
        EXPECT_EQ(writeReg(*d, 0, 0x55).status, NDIS_STATUS_FAILURE) << c.key;  // read-only
    }
}

TEST(Baseband, WritesStickAndKeepTheLowByte) {
    TestBench bench(kAllModels);
    auto alder = bench.device("A");
    ASSERT_EQ(writeReg(*alder, 31 * 4, 0x1A7).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(readReg(*alder, 31 * 4).word(1), 0xA7);
    EXPECT_EQ(alder->basebandRegister("CR31"), 0xA7);
    EXPECT_EQ(writeReg(*alder, 24 * 4, 1).status, NDIS_STATUS_FAILURE);  // a status register
    EXPECT_EQ(writeReg(*alder, 28 * 4, 1).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(writeReg(*bench.device("B"), 50 * 2, 1).status, NDIS_STATUS_FAILURE);
    EXPECT_EQ(writeReg(*bench.device("B"), 49 * 2, 1).status, NDIS_STATUS_SUCCESS);
}

TEST(Baseband, ShadowRegistersThroughIndexAndData) {
    TestBench bench(kAllModels);
    auto d = bench.device("C");
    ASSERT_EQ(writeReg(*d, 0x2C, 0x23).status, NDIS_STATUS_SUCCESS);
    ASSERT_EQ(writeReg(*d, 0x2E, 0x5B).status, NDIS_STATUS_SUCCESS);
    ASSERT_EQ(writeReg(*d, 0x2C, 0x24).status, NDIS_STATUS_SUCCESS);
    ASSERT_EQ(writeReg(*d, 0x2E, 0x6C).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(d->basebandRegister("SR3"), 0x5B);
    EXPECT_EQ(d->basebandRegister("SR4"), 0x6C);
    writeReg(*d, 0x2C, 0x23);
    EXPECT_EQ(readReg(*d, 0x2E).word(1), 0x5B);
    EXPECT_EQ(d->basebandRegister("CR23"), d->basebandRegister("SR3"));
    EXPECT_FALSE(bench.device("A")->basebandRegister("SR3"));
}

// Bit 0x20 of the index register is a control bit: an index written with or without it reaches
// the same shadow register, and the index register reads back as written.
TEST(Baseband, ShadowIndexIgnoresTheControlBit) {
    TestBench bench(kAllModels);
    auto d = bench.device("B");
    ASSERT_EQ(writeReg(*d, 0x2C, 0x0A).status, NDIS_STATUS_SUCCESS);
    ASSERT_EQ(writeReg(*d, 0x2E, 0x07).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(d->basebandRegister("SR10"), 0x07);
    EXPECT_EQ(readReg(*d, 0x2C).word(1), 0x0A);
    ASSERT_EQ(writeReg(*d, 0x2C, 0x2A).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(readReg(*d, 0x2E).word(1), 0x07);
    ASSERT_EQ(writeReg(*d, 0x2E, 0x3C).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(d->basebandRegister("SR10"), 0x3C);
    EXPECT_EQ(readReg(*d, 0x2C).word(1), 0x2A);
    const auto others = d->basebandRegister("SR11");
    ASSERT_EQ(writeReg(*d, 0x2C, 0x1F).status, NDIS_STATUS_SUCCESS);  // the last entry
    ASSERT_EQ(writeReg(*d, 0x2E, 0x99).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(d->basebandRegister("SR31"), 0x99);
    EXPECT_EQ(d->basebandRegister("SR11"), others);
}

TEST(Baseband, SetPointFollowsPowerControlWhileTransmitting) {
    TestBench bench(kAllModels);
    auto d = bench.device("B");
    EXPECT_EQ(readReg(*d, 58 * 2).word(1), 0);  // idle
    command(*d, cmd::SetChannel, 7);
    command(*d, cmd::ContinuousTx, 0);
    int previous = -1;
    for (WORD power : {0x30, 0x50, 0x70}) {
        writeReg(*d, 31 * 2, power);
        const int setPoint = readReg(*d, 58 * 2).word(1);
        EXPECT_NEAR(setPoint, power - 12, 2) << power;
        EXPECT_GT(setPoint, previous);
        previous = setPoint;
    }
}

TEST(Baseband, StatusRegistersMoveWithTime) {
    TestBench bench(kAllModels);
    auto d = bench.device("A");
    std::set<WORD> seen;
    for (int i = 0; i < 20; ++i) {
        const WORD rssi = readReg(*d, 24 * 4).word(1);
        EXPECT_GE(rssi, 0x20);
        EXPECT_LE(rssi, 0x40);
        seen.insert(rssi);
        bench.clock().advance(std::chrono::milliseconds(100));
    }
    EXPECT_GT(seen.size(), 3u);
    const WORD frozen = readReg(*d, 24 * 4).word(1);
    EXPECT_EQ(readReg(*d, 24 * 4).word(1), frozen);  // a frozen clock reads the same
}
