// The Alder register editor: 32 control registers and five baseband control signals.
#pragma once

#include "register_editor.h"

namespace kestview {

class alderfrm : public RegisterEditor {
    Q_OBJECT
public:
    explicit alderfrm(Console& console, QWidget* parent = nullptr);
};

}  // namespace kestview
