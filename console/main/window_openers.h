// The windows kestview's main window opens: the record browser, the command, tallies and sweep
// windows and the register editors, each modeless, owned by the main window.
#pragma once

#include "main_frm.h"

namespace kestview {

// The openers of those windows; the manufacturing test and the instrument start-up are not
// among them.
WindowOpeners consoleWindowOpeners();

}  // namespace kestview
