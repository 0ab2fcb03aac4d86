// Ends the program in order on SIGTERM and SIGINT (a shutdown, a service manager, Ctrl+C in a
// terminal): the handler only writes a byte to a pipe, and the event loop does the rest.
#pragma once

#include <functional>

class QObject;

namespace brisko::app {

// From now on SIGTERM and SIGINT call ON_SIGNAL on the event loop of PARENT's thread (once;
// a second signal while it runs is ignored). False when the pipe cannot be made.
bool installExitSignals(QObject* parent, std::function<void()> onSignal);

}  // namespace brisko::app
