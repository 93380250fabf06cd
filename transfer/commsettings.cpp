#include "transfer/commsettings.h"

#include <QStringList>

#include <limits>

namespace {

constexpr qsizetype kSettingsFields = 4;
constexpr qsizetype kMaxBaudDigits = 10;

std::optional<qint32> parseBaudRate(const QString &text)
{
    if (text.isEmpty() || text.size() > kMaxBaudDigits)
        return std::nullopt;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const qint64 value = text.toLongLong();
    if (value < 1 || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(value);
}

std::optional<QSerialPort::Parity> parseParity(const QString &text)
{
    if (text == u"N")
        return QSerialPort::NoParity;
    if (text == u"E")
        return QSerialPort::EvenParity;
    if (text == u"O")
        return QSerialPort::OddParity;
    if (text == u"M")
        return QSerialPort::MarkParity;
    if (text == u"S")
        return QSerialPort::SpaceParity;
    return std::nullopt;
}

std::optional<QSerialPort::DataBits> parseDataBits(const QString &text)
{
    if (text == u"5")
        return QSerialPort::Data5;
    if (text == u"6")
        return QSerialPort::Data6;
    if (text == u"7")
        return QSerialPort::Data7;
    if (text == u"8")
        return QSerialPort::Data8;
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> parseStopBits(const QString &text)
{
    if (text == u"1")
        return QSerialPort::OneStop;
    if (text == u"2")
        return QSerialPort::TwoStop;
    return std::nullopt;
}

} // namespace

std::optional<CommSettings> parseCommSettings(const QString &text)
{
    const QStringList fields = text.split(u',');
    if (fields.size() != kSettingsFields)
        return std::nullopt;
    const auto baud = parseBaudRate(fields.at(0));
    const auto parity = parseParity(fields.at(1));
    const auto dataBits = parseDataBits(fields.at(2));
    const auto stopBits = parseStopBits(fields.at(3));
    if (!baud || !parity || !dataBits || !stopBits)
        return std::nullopt;
    return CommSettings{*baud, *parity, *dataBits, *stopBits};
}
