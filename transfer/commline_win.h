#pragma once

#include "transfer/commsettings.h"

#include <QtGlobal>

#include <QtCore/qt_windows.h>

namespace CommLine {

// Sets an open port's rate, framing, flow control (CommPort::Handshake),
// queue sizes, time-outs and the events a wait for input ends on.
bool apply(HANDLE handle, const CommSettings &settings, qint32 handshaking, qint16 inSize,
           qint16 outSize);

} // namespace CommLine
