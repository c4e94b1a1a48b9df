#include "result_report.h"

#include <gtest/gtest.h>

#include "test_rows.h"

namespace kestview::mfgtest {
namespace {

TEST(ResultReport, LinesAsLaidOut) {
    auto rows = testing::sampleRows();
    const ReportInputs in{"00-60-1D-C3-00-03", "99VC00030003", 532.25, "12/10/2026 1:05:00 PM", '.'};
    const auto lines = buildReport(rows, in);
    ASSERT_EQ(lines.size(), 6u + 33u + 3u);
    EXPECT_EQ(lines[0], "RADIO OUTPUT POWER TEST RESULTS FOR MARAVENT SPRUCE NIC ADAPTER   Generated: 12/10/2026 1:05:00 PM");
    EXPECT_EQ(lines[1], "Mac Address 00-60-1D-C3-00-03   Adapter Serial 99VC00030003");
    EXPECT_EQ(lines[2], " ");
    EXPECT_EQ(lines[5], std::string(125, '-'));
    const std::string g12(12, ' '), g22(22, ' ');
    EXPECT_EQ(lines[6], "US    Ch01" + g12 + "14.60" + g22 + "065" + g22 + "081" + g22 + "-28.40" + g22 + "-45.25");
    EXPECT_EQ(lines[39], " ");
    EXPECT_EQ(lines[40], "---- Test Time = 532.25 ----");
    EXPECT_EQ(lines[41], "End Test");
}

TEST(ResultReport, ShortTagShiftsItsLineAndLocaleCommaIsUsed) {
    clsTestData longTag{"US    Ch05", 5, 15, 64, 80, -28.5, -45};
    clsTestData shortTag = longTag;
    shortTag.dataTag = "BO  -03Db";  // one character shorter
    const auto a = reportRow(longTag, ',');
    const auto b = reportRow(shortTag, ',');
    EXPECT_EQ(a.find("15,00"), b.find("15,00") + 1);
    EXPECT_EQ(a.rfind("-45,00"), b.rfind("-45,00") + 1);
    EXPECT_EQ(a.size(), b.size() + 1);
    shortTag.integrator = -20;
    EXPECT_NE(reportRow(shortTag, ',').find(std::string(22, ' ') + "-020" + std::string(22, ' ')), std::string::npos);
}

TEST(ResultReport, MissingRowGivesNoLine) {
    auto rows = testing::sampleRows();
    rows[32].reset();
    EXPECT_EQ(buildReport(rows, {}).size(), 6u + 32u + 3u);
}

}  // namespace
}  // namespace kestview::mfgtest
