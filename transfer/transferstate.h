#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The values of the transfer that the windows and the transfer loop share.
// They keep their last values between transfers; the transfer session holds
// the program's one state.
struct TransferState
{
    QString sFileName;
    qint32 lFileSize = 0;
    qint16 iTransferType = 0;
    qint16 iPortNumber = 0;
    qint32 lBaudRate = 0;
    qint32 lByteCount = 0;
    bool bAbortTransfer = false;
    bool bTransferActive = false;
    // When the current or last run started, for its report.
    QDateTime dtTransferStarted;
};

namespace TransferType {
constexpr qint16 kMmiDump = 0;
constexpr qint16 kJxfFromDrive = 1;
constexpr qint16 kJxfToDrive = 2;

// Anything from 2 up sends; the rest (including a list left without a
// choice) receives.
constexpr bool isSend(qint16 type)
{
    return type >= kJxfToDrive;
}
} // namespace TransferType

// The drive ends each transmission with this character (Ctrl-Z); a file being
// sent ends at its first one, and a parameter file's data ends there too.
inline constexpr char kEndOfData = 26;
