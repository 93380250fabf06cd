#pragma once

#include <QString>
#include <QStringList>

namespace drivesim {

class Drive;

struct CommandOutcome
{
    QString error;
    bool quit = false;

    bool ok() const { return error.isEmpty(); }
};

// Text commands that change what the drive does, one per line, the same for the command
// line and for standard input:
//   transmit FILE | receive FILE | idle | auto | quit
//   silence MS AFTER | silence off        hangup AFTER | hangup off
//   xoff-hold AFTER MS | xoff-hold off    baud B (0: unpaced) | start-delay MS | eof on|off
//   garble-mismatch on|off
//   rx-buffer CAPACITY XOFF-HIGH XON-LOW | rx-capacity N | xoff-high N | xon-low N
//   receive-file FILE | dump-file FILE
class CommandInterpreter
{
public:
    explicit CommandInterpreter(Drive &drive)
        : m_drive(drive)
    {}

    CommandOutcome run(const QString &line);

private:
    using Handler = CommandOutcome (CommandInterpreter::*)(const QString &rest);
    struct Command
    {
        const char *name;
        Handler handler;
    };

    CommandOutcome transmit(const QString &rest);
    CommandOutcome receive(const QString &rest);
    CommandOutcome idle(const QString &rest);
    CommandOutcome automatic(const QString &rest);
    CommandOutcome quit(const QString &rest);
    CommandOutcome silence(const QString &rest);
    CommandOutcome hangup(const QString &rest);
    CommandOutcome xoffHold(const QString &rest);
    CommandOutcome baud(const QString &rest);
    CommandOutcome startDelay(const QString &rest);
    CommandOutcome eof(const QString &rest);
    CommandOutcome garbleMismatch(const QString &rest);
    CommandOutcome rxBuffer(const QString &rest);
    CommandOutcome rxCapacity(const QString &rest);
    CommandOutcome xoffHigh(const QString &rest);
    CommandOutcome xonLow(const QString &rest);
    CommandOutcome receiveFile(const QString &rest);
    CommandOutcome dumpFile(const QString &rest);

    static const Command kCommands[];

    Drive &m_drive;
};

} // namespace drivesim
