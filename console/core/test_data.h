// One result row of the manufacturing test (rows 1 to 33 of Console::TestData).
#pragma once

#include <QString>

namespace kestview {

struct clsTestData {
    QString dataTag;         // the row label
    qint16 channel = 0;
    double outputPower = 0;  // dBm
    qint16 setPoint = 0;     // register CR58
    qint16 integrator = 0;   // register CR31
    double firstLobe = 0;    // dB relative to the carrier
    double secondLobe = 0;   // dB relative to the carrier
};

}  // namespace kestview
