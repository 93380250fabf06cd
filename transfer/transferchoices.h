#pragma once

#include <QString>
#include <QtGlobal>

// What a transfer is to do, as page 1 hands it out (or a command's arguments
// give it): the kind, the port, the rate and the file.
struct TransferChoices
{
    qint16 transferType = 0; // a TransferType value
    // COM<portNumber>, mapped to its device as every port number is; when
    // portNumber is 0, the device at devicePath (/dev/ttyUSB0) instead.
    qint16 portNumber = 0;
    QString devicePath;
    qint32 baudRate = 0;
    QString fileName;
    // The port and the rate in the words page 1 shows them; the report prints these.
    QString portText;
    QString baudText;
};
