#pragma once

#include <QString>
#include <QtGlobal>

// Makes a COM number lead to a device of the user's choice, through the link
// in the settings folder that the windows and the command already follow.
namespace PortMap {

struct Result
{
    bool done = false;
    QString message; // what now holds, or why nothing was changed
    QString link;    // the settings folder's link for the port
    QString target;  // where a new link leads
};

// Links COM portNumber to device, by the device's stable name under
// /dev/serial/by-id when it has one, so that the choice survives unplugging
// the adapter and a changed ttyUSB number. Refuses a device that is no
// terminal, and on Windows, which numbers its ports itself. root stands for
// / where /dev/serial/by-id is looked up.
Result map(qint16 portNumber, const QString &device, const QString &settingsFolder,
           const QString &root = {});

// Removes the port's link, so that it leads to its default device again.
Result unmap(qint16 portNumber, const QString &settingsFolder);

} // namespace PortMap
