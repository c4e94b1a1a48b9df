#include "window_openers.h"

#include "alderfrm.h"
#include "birchfrm.h"
#include "cmds_frm.h"
#include "rid_form.h"
#include "sweep_frm.h"
#include "tally_frm.h"

namespace kestview {

namespace {

// A new window of its kind, owned by the main window; it deletes itself on close.
template <class Window>
QWidget* openNew(Console& c) {
    auto* w = new Window(c, c.mainWindow());
    w->show();
    return w;
}

// One window of its kind: while one is open, another click raises it. For the windows that poll
// the adapter or work through the console's shared register choice.
template <class Window>
QWidget* openOne(Console& c) {
    if (QWidget* owner = c.mainWindow())
        for (Window* w : owner->findChildren<Window*>(Qt::FindDirectChildrenOnly))
            if (w->isVisible()) {
                w->raise();
                w->activateWindow();
                return w;
            }
    return openNew<Window>(c);
}

}  // namespace

WindowOpeners consoleWindowOpeners() {
    WindowOpeners openers;
    openers.recordBrowser = openNew<RidForm>;  // each browser shows and writes its own record
    openers.commandWindow = openNew<cmdsFrm>;
    openers.tallies = openOne<TallyFrm>;
    openers.sweepResults = openOne<SweepFrm>;
    openers.alderEditor = openOne<alderfrm>;
    openers.birchEditor = openOne<birchfrm>;
    return openers;
}

}  // namespace kestview
