#pragma once

#include <QString>
#include <QtGlobal>

class CommPort;

namespace SerialLink {
constexpr qint16 kQueueSize = 512;
constexpr qint32 kXonXoff = 1;
} // namespace SerialLink

// Sets the port's number, settings ("<baud>,N,8,1"), queue sizes, XON/XOFF
// handshaking and opens it, in that order. At the first step that fails the
// rest are skipped, the port is left closed and the result is false.
bool openCommPort(CommPort &port, qint16 portNumber, qint32 baudRate);

// Closes the port, discarding unsent output. Never fails; may be repeated.
void closeCommPort(CommPort &port);

// The text a window shows when openCommPort fails.
QString serialLinkErrorMessage();
