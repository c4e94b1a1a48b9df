#include "firmware/plugging.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

using firmware::kFileNamePlugCode;
using firmware::LoadedImage;
using firmware::PdrList;
using Bytes = std::vector<std::uint8_t>;
using Words = std::vector<std::uint16_t>;

class Plugging : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(loaded.image.Append(0x1000, Bytes(0x100, 0xEE)), firmware::FirmwareImage::AppendResult::Ok); }

  unsigned Plug(const std::optional<std::string>& name) {
    out.str("");
    return firmware::PlugImage(loaded, pdrs, name, out);
  }

  LoadedImage loaded;
  PdrList pdrs;
  std::ostringstream out;
};

TEST_F(Plugging, FileNamePlugTakesTheUpperCaseBaseName) {
  struct Case {
    std::optional<std::string> name;
    std::uint16_t length;
    std::string expected;  // NULs pad
  } cases[] = {
      {"C:\\fw\\sta1_3.hex", 20, std::string("STA1_3.HEX") + std::string(10, '\0')},
      {"C:\\fw\\sta1_3.hex", 6, "STA1_3"},
      {"/srv/images/station-fw-v2.hex", 40, "STATION-FW-V2.HEX" + std::string(3, '\0')},
      {"a:b", 2, std::string("B") + '\0'},
      {std::nullopt, 8, std::string("UNKNOWN") + '\0'},
  };
  for (const Case& c : cases) {
    loaded.image.Clear();
    ASSERT_EQ(loaded.image.Append(0x1000, Bytes(0x100, 0xEE)), firmware::FirmwareImage::AppendResult::Ok);
    loaded.plugs.Clear();
    loaded.plugs.Insert({kFileNamePlugCode, 0x1010, c.length});
    EXPECT_EQ(Plug(c.name), 0u);
    EXPECT_EQ(out.str(), "Plugged: [filename]  \n");
    const auto bytes = loaded.image.Read(0x1010, c.expected.size());
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), c.expected);
    EXPECT_EQ(loaded.image.Read(0x1010 + c.expected.size(), 1), Bytes{0xEE});
  }
}

TEST_F(Plugging, NameFromVersionsWhenNoFileIsKnown) {
  loaded.info.versionA = {true, 21, 1, 3, 2};
  EXPECT_EQ(firmware::FileNamePlugText(std::nullopt, loaded.info), "1.3c2");
  loaded.info.versionB = {true, 31, 4, 0, 1};
  EXPECT_EQ(firmware::FileNamePlugText(std::nullopt, loaded.info), "1.3c2, 4.0c1");
}

TEST_F(Plugging, ReportsEveryPlugThatIsNotPlugged) {
  pdrs.Add(Words{3, 0x0103, 0x3412, 0x7856});       // fits: 4 bytes
  pdrs.Add(Words{2, 0x0300, 0x1111});               // plug wants 28 bytes
  loaded.plugs.Insert({0x0103, 0x1020, 4});
  loaded.plugs.Insert({0x0300, 0x1040, 28});
  loaded.plugs.Insert({0x0301, 0x1080, 34});        // not in the production data
  EXPECT_EQ(Plug("x.hex"), 1u);
  EXPECT_EQ(out.str(), "Plugged: (103 OK) \nLength mismatch on PDR 300\n(and 2 were NOT)\n\n");
  EXPECT_EQ(loaded.image.Read(0x1020, 4), (Bytes{0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(loaded.image.Read(0x1040, 2), (Bytes{0xEE, 0xEE}));
}

TEST_F(Plugging, PlugsOutsideTheImageWriteNothing) {
  pdrs.Add(Words{2, 0x0104, 0xAAAA});
  loaded.plugs.Insert({0x0104, 0x10FF, 2});
  loaded.plugs.Insert({kFileNamePlugCode, 0x2000, 4});
  EXPECT_EQ(Plug("fw.hex"), 0u);
  EXPECT_EQ(out.str(), "Plugged: No room for 0x104 in memory structure.\n\nWarning: file name plug does not fit!\n(and 1 were NOT)\n\n");
  EXPECT_EQ(loaded.image.Read(0x10FF, 1), Bytes{0xEE});
}

}  // namespace
