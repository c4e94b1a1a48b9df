#include "alderfrm.h"

namespace kestview {

alderfrm::alderfrm(Console& console, QWidget* parent)
    : RegisterEditor(console,
                     {"Alder Base Band Processor Form", "CFGALDER", "  Control Register Values",
                      "Config files ( *.c; *.ini; *.pda)|  *.ini;*.c;*.pda", bbp::kAlderDescriptions,
                      bbp::kAlderSignals, 1000, 0, false, false},
                     parent) {
    setObjectName("alderfrm");
}

}  // namespace kestview
