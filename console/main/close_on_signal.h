// Ending kestview from outside (SIGTERM from a session manager or `kill`, SIGINT from the terminal,
// SIGHUP when the terminal goes) closes its main window as the operator would, so that the test
// mode running on the adapter, local or remote, is stopped before the objects are released.
#pragma once

class QWidget;

namespace kestview {

// From now on those signals close `window` and then quit the event loop. The window must outlive
// the event loop. Returns false (and changes nothing) when the signals cannot be watched.
bool closeOnTermination(QWidget& window);

}  // namespace kestview
