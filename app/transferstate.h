#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The values every window reads and writes directly during a run of the
// program. They keep their last values between transfers.
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

// The one transfer state of the program.
TransferState &transferState();

// True while a transfer loop runs. The windows' handlers can run nested
// inside its event pump; those that would disturb the run do nothing then.
inline bool transferRunning()
{
    return transferState().bTransferActive;
}
