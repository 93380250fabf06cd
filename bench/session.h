#pragma once

#include "transfer/transfersession.h"

class DriveLine;

#include <QStringList>
#include <QTemporaryDir>

#include <utility>

// What every measuring run shares: its own settings folder, the program's
// questions answered, and the steps through the pages.
namespace BenchSupport {

constexpr double kCloseSeconds = 10.0;
constexpr int kReceiveSlackMs = 30000;
constexpr int kSendType = 2;
constexpr int kDumpType = 0;

int baudIndex(int baud);
double cpuSeconds();
double peakMegabytes();
// Prints why the run failed, as the table shows it; returns the exit code.
int fail(const char *why);

// Settings of its own, and every question answered Yes: a benchmark has no user.
struct Session
{
    Session();
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QStringList messages;
};

// The drive, paced at baud, sending text (kept as the session's drive.txt)
// and the end of data startDelay seconds after the port opens; true once it
// is ready.
bool startTransmitting(DriveLine &line, const Session &session, const QByteArray &text, int baud,
                       double startDelay);

// The file to send as the session's params.jxf, and the drive, paced at baud
// (unpaced at 0, with further arguments), storing what it receives as
// drive.jxf; null once it is ready, else why not, as fail() takes it.
const char *startReceiving(DriveLine &line, const Session &session, const QByteArray &file,
                           int baud, const QStringList &more = {});

// Fills page 1 for a send and presses Next; true when page 2 offers Next.
bool sendAccepted(int baud, const QString &file);
// Clicks page 2's Next, which runs the whole send; returns when the first
// character was counted and when the loop returned.
std::pair<double, double> runSend();

} // namespace BenchSupport
