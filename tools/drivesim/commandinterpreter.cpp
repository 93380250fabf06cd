#include "commandinterpreter.h"

#include "drive.h"

#include <QRegularExpression>

#include <limits>
#include <optional>

namespace drivesim {

namespace {

constexpr int kMaxBaud = 4000000;
constexpr int kMaxMs = 24 * 60 * 60 * 1000;
constexpr qint64 kMaxCount = std::numeric_limits<int>::max();

CommandOutcome failure(const QString &text)
{
    return {text, false};
}

QStringList words(const QString &text)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    return text.split(space, Qt::SkipEmptyParts);
}

std::optional<qint64> number(const QString &text, qint64 low, qint64 high)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

// Parses exactly as many numbers as there are ranges.
std::optional<QList<qint64>> numbers(const QString &rest,
                                     const QList<QPair<qint64, qint64>> &ranges)
{
    const QStringList parts = words(rest);
    if (parts.size() != ranges.size())
        return std::nullopt;
    QList<qint64> values;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const auto value = number(parts.at(i), ranges.at(i).first, ranges.at(i).second);
        if (!value)
            return std::nullopt;
        values.append(*value);
    }
    return values;
}

bool isOff(const QString &rest)
{
    return rest == QLatin1String("off");
}

std::optional<bool> onOrOff(const QString &rest)
{
    if (rest == QLatin1String("on"))
        return true;
    if (isOff(rest))
        return false;
    return std::nullopt;
}

} // namespace

const CommandInterpreter::Command CommandInterpreter::kCommands[] = {
    {"transmit", &CommandInterpreter::transmit},
    {"receive", &CommandInterpreter::receive},
    {"idle", &CommandInterpreter::idle},
    {"auto", &CommandInterpreter::automatic},
    {"quit", &CommandInterpreter::quit},
    {"silence", &CommandInterpreter::silence},
    {"hangup", &CommandInterpreter::hangup},
    {"xoff-hold", &CommandInterpreter::xoffHold},
    {"baud", &CommandInterpreter::baud},
    {"start-delay", &CommandInterpreter::startDelay},
    {"eof", &CommandInterpreter::eof},
    {"garble-mismatch", &CommandInterpreter::garbleMismatch},
    {"rx-buffer", &CommandInterpreter::rxBuffer},
    {"rx-capacity", &CommandInterpreter::rxCapacity},
    {"xoff-high", &CommandInterpreter::xoffHigh},
    {"xon-low", &CommandInterpreter::xonLow},
    {"receive-file", &CommandInterpreter::receiveFile},
    {"dump-file", &CommandInterpreter::dumpFile},
};

CommandOutcome CommandInterpreter::run(const QString &line)
{
    const QString text = line.trimmed();
    const qsizetype gap = text.indexOf(QRegularExpression(QStringLiteral("\\s")));
    const QString name = gap < 0 ? text : text.left(gap);
    // File names keep their inner spaces: the rest of the line is the argument.
    const QString rest = gap < 0 ? QString() : text.mid(gap).trimmed();
    for (const Command &command : kCommands) {
        if (name == QLatin1String(command.name))
            return (this->*command.handler)(rest);
    }
    return failure(QStringLiteral("unknown command: %1").arg(name));
}

CommandOutcome CommandInterpreter::transmit(const QString &rest)
{
    if (rest.isEmpty())
        return failure(QStringLiteral("usage: transmit FILE"));
    return {m_drive.setMode(Mode::Transmit, rest)};
}

CommandOutcome CommandInterpreter::receive(const QString &rest)
{
    if (rest.isEmpty())
        return failure(QStringLiteral("usage: receive FILE"));
    return {m_drive.setMode(Mode::Receive, rest)};
}

CommandOutcome CommandInterpreter::idle(const QString &rest)
{
    if (!rest.isEmpty())
        return failure(QStringLiteral("usage: idle"));
    return {m_drive.setMode(Mode::Idle)};
}

CommandOutcome CommandInterpreter::automatic(const QString &rest)
{
    if (!rest.isEmpty())
        return failure(QStringLiteral("usage: auto"));
    return {m_drive.setMode(Mode::Auto)};
}

CommandOutcome CommandInterpreter::quit(const QString &rest)
{
    if (!rest.isEmpty())
        return failure(QStringLiteral("usage: quit"));
    return {QString(), true};
}

CommandOutcome CommandInterpreter::silence(const QString &rest)
{
    DriveSettings settings = m_drive.settings();
    if (isOff(rest)) {
        settings.faults.silenceAfter = -1;
    } else {
        const auto values = numbers(rest, {{-1, kMaxMs}, {0, kMaxCount}});
        if (!values)
            return failure(
                QStringLiteral("usage: silence MS AFTER (MS -1: for good) | silence off"));
        settings.faults.silenceMs = static_cast<int>(values->at(0));
        settings.faults.silenceAfter = values->at(1);
    }
    m_drive.setSettings(settings);
    return {};
}

CommandOutcome CommandInterpreter::hangup(const QString &rest)
{
    DriveSettings settings = m_drive.settings();
    const auto values = numbers(rest, {{0, kMaxCount}});
    if (!isOff(rest) && !values)
        return failure(QStringLiteral("usage: hangup AFTER | hangup off"));
    settings.faults.hangupAfter = values ? values->at(0) : -1;
    m_drive.setSettings(settings);
    return {};
}

CommandOutcome CommandInterpreter::xoffHold(const QString &rest)
{
    DriveSettings settings = m_drive.settings();
    if (isOff(rest)) {
        settings.faults.holdAfter = -1;
    } else {
        const auto values = numbers(rest, {{0, kMaxCount}, {-1, kMaxMs}});
        if (!values)
            return failure(QStringLiteral("usage: xoff-hold AFTER MS | xoff-hold off"));
        settings.faults.holdAfter = values->at(0);
        settings.faults.holdMs = static_cast<int>(values->at(1));
    }
    m_drive.setSettings(settings);
    return {};
}

CommandOutcome CommandInterpreter::baud(const QString &rest)
{
    const auto value = number(rest, 0, kMaxBaud);
    if (!value || (*value > 0 && charsPerSecond(static_cast<int>(*value)) == 0))
        return failure(QStringLiteral("usage: baud B (0: unpaced, else %1 to %2)")
                           .arg(kBitsPerChar)
                           .arg(kMaxBaud));
    DriveSettings settings = m_drive.settings();
    settings.baud = static_cast<int>(*value);
    m_drive.setSettings(settings);
    return {};
}

CommandOutcome CommandInterpreter::startDelay(const QString &rest)
{
    const auto value = number(rest, 0, kMaxMs);
    if (!value)
        return failure(QStringLiteral("usage: start-delay MS"));
    DriveSettings settings = m_drive.settings();
    settings.startDelayMs = static_cast<int>(*value);
    m_drive.setSettings(settings);
    return {};
}

CommandOutcome CommandInterpreter::eof(const QString &rest)
{
    const auto on = onOrOff(rest);
    if (!on)
        return failure(QStringLiteral("usage: eof on|off"));
    DriveSettings settings = m_drive.settings();
    settings.sendEof = *on;
    m_drive.setSettings(settings);
    return {};
}

CommandOutcome CommandInterpreter::garbleMismatch(const QString &rest)
{
    const auto on = onOrOff(rest);
    if (!on)
        return failure(QStringLiteral("usage: garble-mismatch on|off"));
    DriveSettings settings = m_drive.settings();
    settings.garbleMismatch = *on;
    m_drive.setSettings(settings);
    return {};
}

CommandOutcome CommandInterpreter::rxBuffer(const QString &rest)
{
    const auto values = numbers(rest, {{1, kMaxCount}, {1, kMaxCount}, {0, kMaxCount}});
    if (!values)
        return failure(QStringLiteral("usage: rx-buffer CAPACITY XOFF-HIGH XON-LOW"));
    const ReceiveBuffer buffer{values->at(0), values->at(1), values->at(2)};
    if (!buffer.isValid())
        return failure(QStringLiteral("need XON-LOW < XOFF-HIGH <= CAPACITY"));
    DriveSettings settings = m_drive.settings();
    settings.buffer = buffer;
    m_drive.setSettings(settings);
    return {};
}

CommandOutcome CommandInterpreter::rxCapacity(const QString &rest)
{
    const ReceiveBuffer &buffer = m_drive.settings().buffer;
    return rxBuffer(QStringLiteral("%1 %2 %3").arg(rest).arg(buffer.xoffHigh).arg(buffer.xonLow));
}

CommandOutcome CommandInterpreter::xoffHigh(const QString &rest)
{
    const ReceiveBuffer &buffer = m_drive.settings().buffer;
    return rxBuffer(QStringLiteral("%1 %2 %3").arg(buffer.capacity).arg(rest).arg(buffer.xonLow));
}

CommandOutcome CommandInterpreter::xonLow(const QString &rest)
{
    const ReceiveBuffer &buffer = m_drive.settings().buffer;
    return rxBuffer(QStringLiteral("%1 %2 %3").arg(buffer.capacity).arg(buffer.xoffHigh).arg(rest));
}

CommandOutcome CommandInterpreter::receiveFile(const QString &rest)
{
    if (rest.isEmpty())
        return failure(QStringLiteral("usage: receive-file FILE"));
    DriveSettings settings = m_drive.settings();
    settings.receiveFile = rest;
    m_drive.setSettings(settings);
    return {};
}

CommandOutcome CommandInterpreter::dumpFile(const QString &rest)
{
    if (rest.isEmpty())
        return failure(QStringLiteral("usage: dump-file FILE"));
    DriveSettings settings = m_drive.settings();
    settings.dumpFile = rest;
    m_drive.setSettings(settings);
    return {};
}

} // namespace drivesim
