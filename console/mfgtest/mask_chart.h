// The spectral-mask chart of a test: per channel and pass, the first and second sidelobes against
// the mask limit, and the output power on its own axis.
#pragma once

#include <QChart>

#include "test_data.h"

namespace kestview::mfgtest {

// A new chart (the caller owns it) of rows 1 to 14 (US) and 17 to 30 (JPN).
QChart* makeMaskChart(const TestRows& rows, double maskOffset);

}  // namespace kestview::mfgtest
