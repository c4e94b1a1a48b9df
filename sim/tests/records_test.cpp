#include <gtest/gtest.h>

#include "controller.h"
#include "records.h"
#include "request_helpers.h"
#include "vireo/sim/testing/test_bench.h"

using namespace vireo::sim;
using TestBench = vireo::sim::testing::TestBench;
using namespace simtest;

namespace {
const WORD kProbed[] = {
    0xFC00, 0xFC01, 0xFC02, 0xFC03, 0xFC04, 0xFC05, 0xFC06, 0xFC07, 0xFC08, 0xFC09, 0xFC0A, 0xFC0B, 0xFC0C, 0xFC0D,
    0xFC0E, 0xFC10, 0xFC20, 0xFC21, 0xFC23, 0xFC24, 0xFC25, 0xFC26, 0xFC27, 0xFC28, 0xFC2A, 0xFC2C, 0xFC2D, 0xFC30,
    0xFC31, 0xFC32, 0xFC33, 0xFC35, 0xFC40, 0xFC41, 0xFC42, 0xFC80, 0xFC81, 0xFC82, 0xFC83, 0xFC84, 0xFC85, 0xFCB0,
    0xFCB3, 0xFCB4, 0xFCE0, 0xFCE1, 0xFCE2, 0xFD00, 0xFD01, 0xFD02, 0xFD03, 0xFD04, 0xFD0A, 0xFD0B, 0xFD0C, 0xFD0D,
    0xFD10, 0xFD11, 0xFD12, 0xFD13, 0xFD20, 0xFD21, 0xFD22, 0xFD23, 0xFD40, 0xFD41, 0xFD42, 0xFD43, 0xFD44, 0xFD45,
    0xFD46, 0xFD47, 0xFD48, 0xFD49, 0xFD4A, 0xFD4B, 0xFD4C, 0xFD4D, 0xFD4F, 0xFD88, 0xFDC0, 0xFDC1, 0xFDC2, 0xFDC3,
    0xFDC6, 0xFFFE, 0xFFFF};

std::string text(const Reply& r) {
    std::vector<WORD> w;
    for (std::size_t i = 2; i < r.word(0) + 1u; ++i) w.push_back(r.word(i));
    return countedTextValue(w);
}

const std::string kMissingBench = R"({"adapters":[{"key":"0001","service":"M1","driverDesc":"m","baseband":"cedar",
   "mac":"00:60:1D:00:00:01","missingRecords":["FD13","fc85"]}]})";
}  // namespace

TEST(Records, EveryProbedRecordAnswersWithItsLength) {
    static_assert(sizeof kProbed / sizeof kProbed[0] == 87);
    TestBench bench;
    auto d = bench.device("0001");
    for (WORD rid : kProbed) {
        const Reply r = readRecord(*d, rid);
        ASSERT_EQ(r.status, NDIS_STATUS_SUCCESS) << std::hex << rid;
        EXPECT_EQ(r.word(1), rid);
        EXPECT_GE(r.word(0), 1);
        EXPECT_LE(r.word(0), 251) << std::hex << rid;
        EXPECT_EQ(r.bytesTransferred, 2u * (r.word(0) + 1u)) << std::hex << rid;
    }
    EXPECT_EQ(readRecord(*d, 0xFC29).status, NDIS_STATUS_FAILURE);
    EXPECT_EQ(readRecord(*bench.device("0004"), 0xFC00).status, NDIS_STATUS_INVALID_OID);
}

TEST(Records, RecordsTheBenchLeavesOutFail) {
    TestBench bench(kMissingBench);
    auto d = bench.device("0001");
    EXPECT_EQ(readRecord(*d, 0xFD13).status, NDIS_STATUS_FAILURE);
    EXPECT_EQ(readRecord(*d, 0xFC85).status, NDIS_STATUS_FAILURE);
    EXPECT_EQ(writeRecord(*d, 0xFC85, {1}).status, NDIS_STATUS_FAILURE);
    EXPECT_EQ(readRecord(*d, 0xFD12).status, NDIS_STATUS_SUCCESS);
}

TEST(Records, IdentificationComesFromTheBench) {
    TestBench bench;
    auto d = bench.device("0002");
    const Reply mac = readRecord(*d, 0xFC01);
    EXPECT_EQ(mac.word(0), 4);
    EXPECT_EQ(mac.word(2), 0x6000);  // 00:60 low byte first
    EXPECT_EQ(mac.word(3), 0xB21D);
    EXPECT_EQ(mac.word(4), 0x0200);
    const Reply serial = readRecord(*d, 0xFD0A);
    std::string s;
    for (std::size_t i = 2; i < serial.word(0) + 1u; ++i) {
        s += char(serial.word(i) & 0xFF);
        s += char(serial.word(i) >> 8);
    }
    EXPECT_EQ(s, "99VB00020002");
    EXPECT_EQ(readRecord(*d, 0xFFFE).word(2), 52);
    EXPECT_EQ(text(readRecord(*d, 0xFFFF)), "PRI0104.HEX STA0106.HEX");
    const Reply station = readRecord(*d, 0xFD20);
    EXPECT_EQ((std::vector<WORD>{station.word(2), station.word(3), station.word(4), station.word(5)}),
              (std::vector<WORD>{31, 3, 1, 6}));
}

TEST(Records, WritesStickWhereAllowed) {
    TestBench bench;
    auto d = bench.device("0001");
    const struct {
        WORD rid;
        std::vector<WORD> data;
        NDIS_STATUS status;
    } cases[] = {
        {0xFC00, {3}, NDIS_STATUS_SUCCESS},
        {0xFC00, {0}, NDIS_STATUS_INVALID_DATA},
        {0xFC00, {7}, NDIS_STATUS_INVALID_DATA},
        {0xFC00, {3, 0}, NDIS_STATUS_INVALID_DATA},  // wrong length
        {0xFC84, {4}, NDIS_STATUS_SUCCESS},
        {0xFC84, {16}, NDIS_STATUS_INVALID_DATA},
        {0xFC02, countedText("LAB NET", 17), NDIS_STATUS_SUCCESS},
        {0xFC02, std::vector<WORD>(17, 40), NDIS_STATUS_INVALID_DATA},  // count above 32
        {0xFDC1, {5}, NDIS_STATUS_NOT_SUPPORTED},
        {0xFD0A, std::vector<WORD>(6, 0x4141), NDIS_STATUS_NOT_SUPPORTED},
    };
    for (const auto& c : cases) EXPECT_EQ(writeRecord(*d, c.rid, c.data).status, c.status) << std::hex << c.rid;
    EXPECT_EQ(readRecord(*d, 0xFC00).word(2), 3);
    EXPECT_EQ(readRecord(*d, 0xFC84).word(2), 4);
    EXPECT_EQ(readRecord(*d, 0xFD44).word(2), 4);  // current rate follows the rate control
    EXPECT_EQ(text(readRecord(*d, 0xFC02)), "LAB NET");
}

TEST(Records, InformationRecordsFollowTheAdapter) {
    TestBench bench;
    auto d = bench.device("0001");
    command(*d, cmd::SetChannel, 7);
    EXPECT_EQ(readRecord(*d, 0xFDC1).word(2), 7);
    EXPECT_EQ(readRecord(*d, 0xFD40).word(2), 1);  // port disabled
    // With port 0 enabled in a basic service set it joins the strongest access point.
    command(*d, cmd::EnablePort);
    EXPECT_EQ(readRecord(*d, 0xFD40).word(2), 3);
    EXPECT_EQ(text(readRecord(*d, 0xFD41)), "BENCH-AP-1");
    for (int step = 0; step < 40; ++step) {
        const Reply q = readRecord(*d, 0xFD43);
        EXPECT_LE(q.word(2), 92);
        EXPECT_GE(q.word(3), 27);
        EXPECT_LE(q.word(3), 185);
        EXPECT_GT(q.word(2), 20);  // a good link
        bench.clock().advance(std::chrono::milliseconds(250));
    }
    command(*d, cmd::SleepPhy);
    EXPECT_EQ(readRecord(*d, 0xFDC2).word(2), 1);
    EXPECT_EQ(readRecord(*d, 0xFD43).word(2), 0);
}

TEST(Records, SweepTableHasEntriesOf31Words) {
    TestBench bench;
    const Reply r = readRecord(*bench.device("0003"), 0xFD88);
    const WORD length = r.word(0);
    ASSERT_EQ((length - 3) % 31, 0);
    const int entries = (length - 3) / 31;
    ASSERT_GE(entries, 2);
    for (int k = 0; k < entries; ++k) {
        const std::size_t base = 2 + 2 + 31 * std::size_t(k);  // length and number words, two leading words
        EXPECT_GE(r.word(base), 1);
        EXPECT_LE(r.word(base), 14);
        EXPECT_LE(r.word(base + 2), 127);
        EXPECT_LE(r.word(base + 8), 32);
        EXPECT_TRUE(r.word(base + 30) == 10 || r.word(base + 30) == 20 || r.word(base + 30) == 55 ||
                    r.word(base + 30) == 110);
    }
}

TEST(Records, PresentedRecordsKeepTheirShape) {
    TestBench bench(R"({"adapters":[{"key":"0001","service":"P1","driverDesc":"p","baseband":"alder",
        "mac":"00:60:1D:00:00:01","missingRecords":["FC40"],"records":[{"rid":"FC40","words":[]}]}]})");
    auto d = bench.device("0001");
    d->presentRecord(0xFC01, {1, 2, 3}, 300);
    const struct {
        WORD rid;
        WORD lengthWord;
        DWORD bytes;
    } cases[] = {{0xFC40, 1, 4}, {0xFC01, 300, 10}};
    for (const auto& c : cases) {
        const Reply r = readRecord(*d, c.rid);
        ASSERT_EQ(r.status, NDIS_STATUS_SUCCESS) << std::hex << c.rid;
        EXPECT_EQ(r.word(0), c.lengthWord);
        EXPECT_EQ(r.bytesTransferred, c.bytes);
    }
    EXPECT_EQ(writeRecord(*d, 0xFC01, {7, 8, 9}).status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(d->record(0xFC01), (std::vector<WORD>{7, 8, 9}));
    EXPECT_EQ(writeRecord(*d, 0xFC01, {7, 8}).status, NDIS_STATUS_INVALID_DATA);
    d->presentRecord(0xFC02, std::vector<WORD>(251, 0));
    EXPECT_EQ(readRecord(*d, 0xFC02).status, NDIS_STATUS_INVALID_LENGTH);
}

TEST(Records, SweepTableListsTheBenchFilesStations) {
    TestBench bench(R"({"adapters":[
        {"key":"0001","service":"S1","driverDesc":"d","baseband":"alder","mac":"00:01:02:03:04:05",
         "stations":[{"bssid":"02:4F:52:00:00:07","ssid":"","channel":7,"signal":100,"noise":0,
                      "beaconInterval":50,"capability":"0x11","rates":["0x82","0x04"],"probeRate":5}]},
        {"key":"0002","service":"S2","driverDesc":"d","baseband":"alder","mac":"00:01:02:03:04:06","stations":[]}]})");
    const Reply r = readRecord(*bench.device("0001"), 0xFD88);
    ASSERT_EQ(r.word(0), 3 + 31);
    const std::size_t e = 2 + 2;  // length and number words, two leading words
    EXPECT_EQ(r.word(e), 7);
    EXPECT_EQ(r.word(e + 1), 0);
    EXPECT_NEAR(r.word(e + 2), 100, 2);  // signal, as a sweep measures it
    EXPECT_EQ(r.word(e + 3), 0x4F02);
    EXPECT_EQ(r.word(e + 5), 0x0700);
    EXPECT_EQ(r.word(e + 6), 50);
    EXPECT_EQ(r.word(e + 7), 0x11);
    EXPECT_EQ(r.word(e + 8), 0);
    EXPECT_EQ(r.word(e + 25), 0x0482);
    EXPECT_EQ(r.word(e + 26), 0);
    EXPECT_EQ(r.word(e + 30), 5);
    EXPECT_EQ(readRecord(*bench.device("0002"), 0xFD88).word(0), 3);  // no stations: the two leading words
}
