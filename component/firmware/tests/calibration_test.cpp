#include "firmware/calibration.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

using firmware::PdrList;
using Words = std::vector<std::uint16_t>;

// Manufacturing records whose data word i holds 0x9000 + i and 0x9100 + i.
PdrList Production(std::uint16_t domain, std::uint16_t setPointsLength = 31) {
  PdrList pdrs;
  Words setPoints{setPointsLength, 0x0900};
  for (std::uint16_t i = 0; i + 1 < setPointsLength; ++i) setPoints.push_back(0x9000 + i);
  Words integrators{34, 0x0901};
  for (std::uint16_t i = 0; i < 33; ++i) integrators.push_back(0x9100 + i);
  pdrs.Add(setPoints);
  pdrs.Add(integrators);
  pdrs.Add(Words{7, 0x0103, 0, static_cast<std::uint16_t>(0xAB00 | domain), 0, 0, 0, 0});
  return pdrs;
}

struct DomainCase {
  std::uint16_t domain;
  std::size_t first;        // first source word for channels 1..14
  int word0Source;          // source word of data word 0 when overridden, else -1
  int word12Source;
};

class CalibrationDomains : public ::testing::TestWithParam<DomainCase> {};

TEST_P(CalibrationDomains, BuildTheRecordsFromTheirTables) {
  const DomainCase& c = GetParam();
  PdrList pdrs = Production(c.domain);
  pdrs.Add(Words{2, 0x0300, 0xDEAD});  // an earlier record is replaced
  std::ostringstream out;
  ASSERT_TRUE(firmware::MakeCalibrationRecords(pdrs, out));
  std::ostringstream expectedLine;
  expectedLine << "PDA entries found: Using domain " << std::hex << c.domain << "\n";
  EXPECT_EQ(out.str(), expectedLine.str());

  Words setPoints{15, 0x0300};
  Words integrators{18, 0x0301};
  for (std::size_t ch = 0; ch < 14; ++ch) {
    std::size_t source = c.first + ch;
    if (ch == 0 && c.word0Source >= 0) source = static_cast<std::size_t>(c.word0Source);
    if (ch == 12 && c.word12Source >= 0) source = static_cast<std::size_t>(c.word12Source);
    setPoints.push_back(static_cast<std::uint16_t>(0x9000 + source));
    integrators.push_back(static_cast<std::uint16_t>(0x9100 + source));
  }
  for (std::uint16_t i = 30; i < 33; ++i) integrators.push_back(0x9100 + i);
  EXPECT_EQ(pdrs.Find(0x0300)->words, setPoints);
  EXPECT_EQ(pdrs.Find(0x0301)->words, integrators);
}

INSTANTIATE_TEST_SUITE_P(Domains, CalibrationDomains,
                         ::testing::Values(DomainCase{0x10, 0, -1, -1}, DomainCase{0x20, 0, -1, -1},
                                           DomainCase{0x31, 0, -1, -1}, DomainCase{0x30, 0, 14, 15},
                                           DomainCase{0x32, 0, -1, 15}, DomainCase{0x40, 16, -1, -1},
                                           DomainCase{0x41, 16, -1, -1}));

TEST(Calibration, RefusesMissingRecordsAndUnknownDomains) {
  const std::string missing = "Not all PDA entries found. Cannot configure Set point and integrator values.\n";
  struct Case {
    PdrList pdrs;
    std::string message;
  } cases[] = {
      {Production(0x10, 30), missing},
      {[] { auto p = Production(0x10); p.Remove(0x0103); return p; }(), missing},
      {[] { auto p = Production(0x10); p.Add(Words{2, 0x0901, 1}); return p; }(), missing},
      {Production(0x33), "ERROR - PDA entries found, but domain 33 not recognized!\n"},
      {Production(0x00), "ERROR - PDA entries found, but domain 0 not recognized!\n"},
  };
  for (Case& c : cases) {
    std::ostringstream out;
    EXPECT_FALSE(firmware::MakeCalibrationRecords(c.pdrs, out));
    EXPECT_EQ(out.str(), c.message);
    EXPECT_EQ(c.pdrs.Find(0x0300), nullptr);
  }
}

}  // namespace
