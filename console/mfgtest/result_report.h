// The results report: the fixed-width text lines the results window lists and prints.
#pragma once

#include <string>
#include <vector>

#include "test_data.h"

namespace kestview::mfgtest {

struct ReportInputs {
    std::string macText;       // the main window's MAC read-out
    std::string serialNo;
    double testSeconds = 0;    // elapsed test time
    std::string generated;     // the current date and time in the system's default text
    char decimalPoint = '.';   // the locale's
};

// One line per item. Columns are fixed blank runs, not widths, so a short label shifts its line.
// A row the test did not reach gives no line.
std::vector<std::string> buildReport(const TestRows& rows, const ReportInputs& in);

// One row's line.
std::string reportRow(const clsTestData& row, char decimalPoint);

}  // namespace kestview::mfgtest
