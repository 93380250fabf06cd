#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

class CommPort;
struct TransferChoices;

namespace SerialLink {
constexpr qint16 kQueueSize = 512;
constexpr qint32 kXonXoff = 1;
// The rates a transfer may run at, slowest first, and the one used when none is chosen.
constexpr std::array<qint32, 9> kBaudRates{300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600};
constexpr qint32 kDefaultBaudRate = 9600;
} // namespace SerialLink

// Sets the port the choices name (a COM number, or a device path when the
// number is 0), the line settings (the chosen baud rate, no parity, 8 data
// bits, 1 stop bit), queue sizes, XON/XOFF handshaking, and opens it, in that
// order. At the first step that fails the rest are skipped, the port is left
// closed and the result is false.
bool openCommPort(CommPort &port, const TransferChoices &choices);

// Closes the port, discarding unsent output. Never fails; may be repeated.
void closeCommPort(CommPort &port);

// The text a window shows when openCommPort fails: after its first line,
// what the port's refusal and the system tell of the device, in the words of
// the port listing (busy and who holds it, not permitted and the group to
// join, missing), when they tell anything.
QString serialLinkErrorMessage(const CommPort &port);
