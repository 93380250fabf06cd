// The line's settings on a Windows port, all of them at each open.
#include "transfer/commline_win.h"

#include "transfer/commport.h"
#include "transfer/wincalls_win.h"

namespace CommLine {

namespace {
constexpr char kXon = 17;
constexpr char kXoff = 19;
} // namespace

bool apply(HANDLE handle, const CommSettings &settings, qint32 handshaking, qint16 inSize,
           qint16 outSize)
{
    const WinCalls::Table &calls = WinCalls::calls();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    // The queue sizes are a wish that a driver may ignore.
    calls.setupComm(handle, DWORD(inSize), DWORD(outSize));
    if (!calls.getCommState(handle, &dcb))
        return false;
    dcb.BaudRate = DWORD(settings.baudRate);
    dcb.ByteSize = BYTE(settings.dataBits);
    dcb.Parity = settings.parity == CommSettings::Parity::Even  ? EVENPARITY
                 : settings.parity == CommSettings::Parity::Odd ? ODDPARITY
                                                                : NOPARITY;
    dcb.fParity = dcb.Parity != NOPARITY;
    dcb.StopBits = settings.stopBits == CommSettings::StopBits::Two ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    // The driver keeps these from one program to the next: each is set.
    const bool rtsCts = handshaking == CommPort::RtsCts;
    dcb.fOutxCtsFlow = rtsCts;
    dcb.fRtsControl = rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    const bool xonXoff = handshaking == CommPort::XonXoff;
    dcb.fOutX = xonXoff;
    dcb.fInX = xonXoff;
    // The XOFF this end sends stops the drive, not this end's own output.
    dcb.fTXContinueOnXoff = TRUE;
    dcb.XonChar = kXon;
    dcb.XoffChar = kXoff;
    // XOFF when three quarters of the receive queue are taken, XON again
    // once a quarter is.
    dcb.XoffLim = WORD(inSize / 4);
    dcb.XonLim = WORD(inSize / 4);
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    // A read returns at once with what has arrived; a write waits as long
    // as the line needs, since a close ends it.
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    return calls.setCommState(handle, &dcb) && calls.setCommTimeouts(handle, &timeouts) &&
           calls.setCommMask(handle, EV_RXCHAR | EV_ERR);
}

} // namespace CommLine
