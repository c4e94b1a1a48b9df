#include "firmware/pdr_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using firmware::PdrList;
using Words = std::vector<std::uint16_t>;

Words Codes(const PdrList& list) {
  Words codes;
  for (const auto& [code, pdr] : list.records()) codes.push_back(code);
  return codes;
}

TEST(PdrList, LoadMergesSortsAndStopsAtTheEndRecord) {
  PdrList list;
  list.Add(Words{2, 0x0104, 0x1111});
  list.Add(Words{2, 0x0200, 0x2222});
  // 0x0900 new, 0x0104 replaced, 0x0200 deleted by a length-1 record, end record, then words
  // after the end record that must not be taken.
  list.LoadWords(Words{2, 0x0900, 0xAAAA, 3, 0x0104, 0x5555, 0x6666, 1, 0x0200, 2, 0x0000, 0xBEEF, 2, 0x0300, 1});
  EXPECT_EQ(Codes(list), (Words{0x0104, 0x0900}));
  EXPECT_EQ(list.Find(0x0104)->words, (Words{3, 0x0104, 0x5555, 0x6666}));
  EXPECT_EQ(list.Find(0x0900)->DataBytes(), (std::vector<std::uint8_t>{0xAA, 0xAA}));
  EXPECT_EQ(list.Find(0x0200), nullptr);
  EXPECT_EQ(list.Find(0x0000), nullptr);
}

TEST(PdrList, LoadStopsAtARecordRunningPastTheWordsOrAZeroLength) {
  PdrList list;
  list.LoadWords(Words{2, 0x0101, 7, 4, 0x0102, 1, 2});
  EXPECT_EQ(Codes(list), (Words{0x0101}));
  PdrList blank;
  blank.LoadWords(Words(512, 0));
  blank.LoadWords(Words(512, 0xFFFF));
  EXPECT_EQ(blank.size(), 0u);
}

}  // namespace
