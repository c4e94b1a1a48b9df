#include "result_report.h"

#include "number_picture.h"

namespace kestview::mfgtest {

std::string reportRow(const clsTestData& row, char dp) {
    const std::string gap12(12, ' '), gap22(22, ' ');
    return row.dataTag + gap12 + fixedPicture(row.outputPower, 2, 2, dp) + gap22 + fixedPicture(row.setPoint, 3, 0, dp) +
           gap22 + fixedPicture(row.integrator, 3, 0, dp) + gap22 + fixedPicture(row.firstLobe, 2, 2, dp) + gap22 +
           fixedPicture(row.secondLobe, 2, 2, dp);
}

std::vector<std::string> buildReport(const TestRows& rows, const ReportInputs& in) {
    std::vector<std::string> lines{
        "RADIO OUTPUT POWER TEST RESULTS FOR MARAVENT SPRUCE NIC ADAPTER   Generated: " + in.generated,
        "Mac Address " + in.macText + "   Adapter Serial " + in.serialNo,
        " ",
        "Channel      Output Power            SetPoint             Integrator            1st SL (max)      2nd SL (max)  ",
        "     NO.                Dbm                       CR58                        CR31                         Dbm"
        "                Dbm      ",
        std::string(125, '-'),
    };
    for (int i = 1; i <= kTestRows; ++i)
        if (rows[i]) lines.push_back(reportRow(*rows[i], in.decimalPoint));
    lines.push_back(" ");
    lines.push_back("---- Test Time = " + optionalDigitsPicture(in.testSeconds, in.decimalPoint) + " ----");
    lines.push_back("End Test");
    return lines;
}

}  // namespace kestview::mfgtest
