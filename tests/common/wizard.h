#pragma once

// Drives the real wizard pages against the simulated drive on a real
// pseudo-terminal, for the end-to-end tests. Header-only: window tests only.

#include "common/drivesimprocess.h"
#include "common/portholder.h"
#include "common/uitest.h"
#include "transfer/transfersession.h"
#include "ui/frmmain1.h"
#include "ui/frmmain2.h"
#include "ui/frmmain3.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include "transfer/portnames.h"

namespace Wizard {

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Repeats of everyCarriedByte() that make a file larger than a pseudo-terminal
// can buffer (about 64 KiB queued plus 4 KiB read ahead): a send that is to
// meet the drive's XOFF cannot then hand the whole file to the kernel before
// the XOFF arrives, however busy the machine.
constexpr int kPastThePtyBuffer = 400;

// Every character a line with XON/XOFF flow control can carry as data: all
// byte values but 17 and 19 (XON, XOFF) and 26 (the end of data), repeated.
inline QByteArray everyCarriedByte(int repeats)
{
    QByteArray bytes;
    for (int r = 0; r < repeats; ++r) {
        for (int c = 0; c < 256; ++c) {
            if (c != 17 && c != 19 && c != 26)
                bytes.append(char(c));
        }
    }
    return bytes;
}

inline QString pageText(QWidget &page, const char *name)
{
    if (auto *label = page.findChild<QLabel *>(QString::fromLatin1(name)))
        return label->text();
    return page.findChild<QPushButton *>(QString::fromLatin1(name))->text();
}

inline QString status()
{
    return pageText(frmMain3(), "lblStatus");
}

inline QPushButton *button(QWidget &page, const char *name)
{
    return page.findChild<QPushButton *>(QString::fromLatin1(name));
}

// Fills page 1 and presses Next.
inline void next(int transferType, const QString &file, int baudIndex = 8, int portIndex = 0)
{
    FrmMain1 &page1 = frmMain1();
    page1.showPage();
    page1.cboTransfer()->setCurrentIndex(transferType);
    page1.cboPort()->setCurrentIndex(portIndex);
    page1.cboBaudRate()->setCurrentIndex(baudIndex);
    page1.txtFile()->setText(file);
    button(page1, "Next")->click();
}

// A transfer has run and page 3 shows its end state.
inline bool ended()
{
    return Forms::isLoaded(Form::Main3) && frmMain3().isVisible() &&
           !transferSession().state().bTransferActive &&
           pageText(frmMain3(), "Finish") == QLatin1String("Finish");
}

// Waits (handling events, in which page 2's watch runs the whole transfer)
// until a transfer from the drive has started and ended.
inline bool waitForReceive(int msecs)
{
    QElapsedTimer timer;
    timer.start();
    while (!ended() && timer.elapsed() < msecs)
        QTest::qWait(10);
    return ended();
}

// True when no program holds COM<n>: another one can open it.
inline bool portIsFree(qint16 portNumber)
{
    PortHolder holder;
    return holder.hold(portNumber);
}

} // namespace Wizard
