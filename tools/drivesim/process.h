#pragma once

#include <QString>

class QCoreApplication;

// What the simulator's programs (the headless one and the front panel) share
// about the process they run in.
namespace drivesim {

// Where the sample dump and parameter file are: beside an installed program's
// share folder, or in the sources when it runs from a build tree.
QString samplesDir();

// The link that names COM<com> for the main program: below settingsDir when
// given, else the program's own rule ($windir when set, else its folder in the
// user's configuration).
QString comLinkPath(const QString &settingsDir, int com);

// SIGINT and SIGTERM end the event loop, so that the link is removed on the
// way out rather than left naming a pts a terminal may get next.
bool quitOnTerminationSignals(QCoreApplication &app);

} // namespace drivesim
