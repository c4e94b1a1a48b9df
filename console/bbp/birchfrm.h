// The Birch and Cedar register editor: 64 control registers, the 32 shadow registers of the AGC
// look-up table and ten baseband control signals.
#pragma once

#include "register_editor.h"

namespace kestview {

class birchfrm : public RegisterEditor {
    Q_OBJECT
public:
    explicit birchfrm(Console& console, QWidget* parent = nullptr);
};

// The caption by baseband type code: "Baseband Processor Birch" + A, B or S, or "Baseband Processor Cedar".
QString birchCaption(const QString& bbpTypeHex);

}  // namespace kestview
