#pragma once

#include <QString>
#include <QtGlobal>

// What the user must set on the drive for each kind of transfer, in the words
// page 2 shows; the command prints the same words.
namespace DriveInstructions {

inline const QString kSetMenuTo = QStringLiteral("Set Serial Links::System Port (P3) to");
inline const QString kCommence =
    QStringLiteral("The transfer will commence when the drive is ready.");

struct Instructions
{
    QString sendRecive;      // "Prepare the drive to ..."
    QString menuChoice;      // the function to select on the drive's serial-link menu
    bool driveSends = false; // the drive's first characters start the transfer
};

// Any type that is not a receive is a send, as everywhere else.
const Instructions &forType(qint16 transferType);

} // namespace DriveInstructions
