#include "window_openers.h"

#include "ResultsFrm.h"
#include "alderfrm.h"
#include "birchfrm.h"
#include "cmds_frm.h"
#include "rid_form.h"
#include "sweep_frm.h"
#include "tally_frm.h"

namespace kestview {

namespace {
// Each window opens on its own, owned by the main window, and deletes itself on close.
template <class Window>
void openOwned(Console& c) {
    (new Window(c, c.mainWindow()))->show();
}
}  // namespace

WindowOpeners consoleWindowOpeners() {
    WindowOpeners openers;
    openers.recordBrowser = openOwned<RidForm>;
    openers.commandWindow = openOwned<cmdsFrm>;
    openers.tallies = openOwned<TallyFrm>;
    openers.sweepResults = openOwned<SweepFrm>;
    openers.alderEditor = openOwned<alderfrm>;
    openers.birchEditor = openOwned<birchfrm>;
    openers.results = [](Console& c) { (new results::ResultsFrm(c.ResultsDb, c.mainWindow()))->show(); };
    return openers;
}

}  // namespace kestview
