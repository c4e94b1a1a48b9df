#include "birchfrm.h"

namespace kestview {

QString birchCaption(const QString& bbpTypeHex) {
    const QString birch = QStringLiteral("Baseband Processor Birch");
    if (bbpTypeHex == "11") return birch + "A";
    if (bbpTypeHex == "13") return birch + "B";
    if (bbpTypeHex == "10") return birch + "S";
    if (bbpTypeHex == "30") return QStringLiteral("Baseband Processor Cedar");
    return birch;
}

birchfrm::birchfrm(Console& console, QWidget* parent)
    : RegisterEditor(console,
                     {birchCaption(console.BbpTypeHex), "CFGBIRCH", " Control Register Values",
                      "Config files ( *.c; *.ini)|  *.ini;*.c", bbp::kBirchDescriptions, bbp::kBirchSignals, 500, 32,
                      true, true},
                     parent) {
    setObjectName("birchfrm");
}

}  // namespace kestview
