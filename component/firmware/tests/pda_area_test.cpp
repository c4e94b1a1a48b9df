#include "firmware/pda_area.h"

#include <gtest/gtest.h>

#include <vector>

#include "firmware/crc16.h"
#include "test_support.h"

namespace {

using firmware::PdaRecord;
using Bytes = std::vector<std::uint8_t>;
using Words = std::vector<std::uint16_t>;

std::vector<std::uint16_t> Codes(const firmware::AreaWalk& walk) {
  std::vector<std::uint16_t> codes;
  for (const auto& r : walk.records) codes.push_back(r.code);
  return codes;
}

TEST(PdaArea, KeysAreFourLowerCaseDigitsOrSignExtended) {
  EXPECT_EQ(firmware::PdrKey(0x0104), "0104");
  EXPECT_EQ(firmware::PdrKey(0x0ABC), "0abc");
  EXPECT_EQ(firmware::PdrKey(0x0000), "0000");
  EXPECT_EQ(firmware::PdrKey(0x8000), "ffff8000");
}

TEST(PdaArea, AdapterWalkKeepsFirstOfARepeatedCodeAndTheEndRecord) {
  Words area(512, 0xFFFF);
  const Words records{2, 0x0104, 0x1111, 3, 0x0900, 1, 2, 2, 0x0104, 0x2222, 2, 0x0000, 0xABCD};
  std::copy(records.begin(), records.end(), area.begin());
  const auto walk = firmware::WalkAdapterArea(area);
  EXPECT_FALSE(walk.malformed);
  EXPECT_TRUE(walk.complete);
  EXPECT_EQ(Codes(walk), (Words{0x0104, 0x0900, 0x0000}));
  EXPECT_EQ(walk.records[0].data, (Bytes{0x11, 0x11}));
  EXPECT_EQ(walk.records[2].length(), 2);
  EXPECT_EQ(walk.records[2].data, (Bytes{0xCD, 0xAB}));
}

TEST(PdaArea, AdapterWalkRefusesLengthsOutOfRangeOrPastTheArea) {
  struct Case {
    std::size_t at;
    std::uint16_t length;
    bool malformed;
  } cases[] = {{0, 510, true}, {0, 509, false}, {0, 1, true}, {0, 0, true}, {500, 11, false}, {500, 12, true}, {510, 2, true}};
  for (const Case& c : cases) {
    Words area(512, 0x0000);
    area[0] = 2;  // two records leading up to the one under test
    area[1] = 0x0100;
    area[3] = static_cast<std::uint16_t>(c.at - 4);
    area[4] = 0x0101;
    if (c.at == 0) area.assign(512, 0);
    area[c.at] = c.length;
    area[c.at + 1] = 0x0000;  // the end record, so that the walk stops after it
    const auto walk = firmware::WalkAdapterArea(area);
    EXPECT_EQ(walk.malformed, c.malformed) << "record at " << c.at << " length " << c.length;
    if (c.malformed) {
      EXPECT_TRUE(walk.records.empty());
    }
  }
}

TEST(PdaArea, FileWalkTakesEveryRecordAndASingleRecordFile) {
  const auto single = firmware::WalkFileWords(Words{3, 0x0104, 0x1234, 0xABCD});
  EXPECT_FALSE(single.malformed);
  EXPECT_EQ(Codes(single), (Words{0x0104}));
  const auto withZero = firmware::WalkFileWords(Words{2, 0x0000, 5, 2, 0x0900, 6});
  EXPECT_EQ(Codes(withZero), (Words{0x0000, 0x0900}));
  EXPECT_TRUE(firmware::WalkFileWords(Words{1, 0x0104}).malformed);
  EXPECT_TRUE(firmware::WalkFileWords(Words{2, 0x0104, 1, 5, 0x0105}).malformed);
}

TEST(PdaArea, AreaImageHoldsTheRecordsAFreshEndRecordAndItsCrc) {
  const std::vector<PdaRecord> records{{0x0000, {0x12, 0x34}}, {0x0001, {0xA0, 0xA1}},
                                       {0x0101, {1, 2, 3, 4, 5, 6}}};
  std::string error;
  const auto image = firmware::BuildAreaImage(records, error);
  ASSERT_TRUE(image) << error;
  const Bytes body{0x02, 0x00, 0x01, 0x00, 0xA0, 0xA1, 0x04, 0x00, 0x01, 0x01, 1, 2, 3, 4, 5, 6,
                   0x02, 0x00, 0x00, 0x00};
  ASSERT_EQ(image->size(), 22u);
  EXPECT_EQ(Bytes(image->begin(), image->begin() + 20), body);
  const std::uint16_t crc = firmware::Crc16Arc(body);
  EXPECT_EQ((*image)[20], crc & 0xFF);
  EXPECT_EQ((*image)[21], crc >> 8);
}

TEST(PdaArea, AreaImageRefusesPartialWordsAndOversizedRecords) {
  std::string error;
  EXPECT_FALSE(firmware::BuildAreaImage(std::vector<PdaRecord>{{0x0104, {0xFF}}}, error));
  EXPECT_NE(error.find("0104"), std::string::npos);
  // 1018 bytes of records plus the 6-byte end record fit exactly; two more bytes do not.
  EXPECT_TRUE(firmware::BuildAreaImage(std::vector<PdaRecord>{{0x0500, Bytes(1014, 7)}}, error));
  EXPECT_FALSE(firmware::BuildAreaImage(std::vector<PdaRecord>{{0x0500, Bytes(1016, 7)}}, error));
  EXPECT_NE(error.find("1026"), std::string::npos);
}

// The write is checked by reading the area back: a write request the adapter accepts without
// keeping the bytes is no written area.
TEST(PdaArea, WritingTheAreaBlocksProtocolsAndReadsTheAreaBack) {
  using firmware::AreaWrite;
  const Bytes image{2, 0, 0, 0, 1, 0};
  struct Case {
    const char* failing;
    std::uint32_t unwritable;  // 0: every byte keeps what is written
    AreaWrite result;
    std::vector<std::string> journal;
  } cases[] = {
      {"", 0, AreaWrite::Written, {"BlockProtocols", "ProgramMemory", "ReadProductionArea", "UnblockProtocols"}},
      {"BlockProtocols", 0, AreaWrite::Failed, {"BlockProtocols", "UnblockProtocols"}},
      {"ProgramMemory", 0, AreaWrite::Failed, {"BlockProtocols", "ProgramMemory", "UnblockProtocols"}},
      {"ReadProductionArea", 0, AreaWrite::Failed,
       {"BlockProtocols", "ProgramMemory", "ReadProductionArea", "UnblockProtocols"}},
      {"", firmware::kProductionAreaAddress + 4, AreaWrite::NotHeld,
       {"BlockProtocols", "ProgramMemory", "ReadProductionArea", "UnblockProtocols"}},
  };
  for (const Case& c : cases) {
    firmware::testing::FakeAdapter adapter;
    adapter.failing.insert(c.failing);
    if (c.unwritable) adapter.unwritable.insert(c.unwritable);
    EXPECT_EQ(firmware::WriteProductionArea(adapter, image), c.result) << c.failing;
    EXPECT_EQ(adapter.journal, c.journal) << c.failing;
  }
}

}  // namespace
