#include "transfer/hexchecktext.h"

#include <QStringList>

namespace HexCheck {

namespace {

QString counted(qint64 count, const QString &what)
{
    return QStringLiteral("%1 %2%3").arg(count).arg(what,
                                                    count == 1 ? QString() : QStringLiteral("s"));
}

QString damageLine(const QString &what, const Result &result)
{
    return QStringLiteral("%1 has %2 damaged record(s); the first is on line %3.")
        .arg(what)
        .arg(result.damaged)
        .arg(result.firstDamagedLine());
}

} // namespace

QString describe(const Finding &finding)
{
    const QString type = HexRecord::hexNumber(finding.type, 2);
    switch (finding.damage) {
    case Damage::NotARecord:
        return QStringLiteral("not a record");
    case Damage::TooLong:
        return QStringLiteral("longer than any record can be");
    case Damage::BadHexDigit:
        return QStringLiteral("a character that is not a hex digit");
    case Damage::BadLength:
        return QStringLiteral("its length does not match its length byte");
    case Damage::BadChecksum:
        return QStringLiteral("wrong checksum");
    case Damage::UnknownType:
        return QStringLiteral("record of unknown type %1 (types are 00 to 05)").arg(type);
    case Damage::WrongDataLength:
        return QStringLiteral("record of type %1 with %2 instead of %3")
            .arg(type, counted(finding.dataBytes, QStringLiteral("data byte")))
            .arg(HexRecord::requiredLength(finding.type));
    case Damage::AddressNotZero:
        return QStringLiteral("record of type %1 with address field %2 instead of 0000")
            .arg(type, HexRecord::addressText(finding.address));
    case Damage::NotTheEndRecord:
        return QStringLiteral("end record other than %1").arg(QLatin1String(HexRecord::kEndRecord));
    case Damage::Conflict:
        return QStringLiteral("gives address %1 another value than an earlier record")
            .arg(HexRecord::addressText(finding.address));
    case Damage::TooMuchData:
        break;
    }
    return QStringLiteral("more data than any parameter file holds; the rest is not read");
}

QList<Remark> remarks(const Result &result)
{
    QList<Remark> said;
    for (const Finding &finding : result.findings)
        said.append({true, finding.line, describe(finding)});
    if (result.damaged > result.findings.size())
        said.append({true, 0,
                     QStringLiteral("%1 more damaged record(s) not listed")
                         .arg(result.damaged - result.findings.size())});
    if (!result.hasEndRecord)
        said.append({true, 0,
                     QStringLiteral("no end record (%1) on a line of its own")
                         .arg(QLatin1String(HexRecord::kEndRecord))});
    for (const Unplaced &run : result.unplaced)
        said.append({false, run.firstLine,
                     QStringLiteral("%1 from here not used: their address record (line %2) is "
                                    "damaged")
                         .arg(counted(run.records, QStringLiteral("data record")))
                         .arg(run.baseLine)});
    if (result.afterEnd > 0)
        said.append(
            {false, result.firstAfterEnd,
             QStringLiteral("%1 after the end record %2 not used")
                 .arg(counted(result.afterEnd, QStringLiteral("record")),
                      result.afterEnd == 1 ? QStringLiteral("is") : QStringLiteral("are"))});
    return said;
}

QString remarkText(const QString &name, const Remark &remark)
{
    return remark.line > 0
               ? QStringLiteral("%1 line %2: %3").arg(name).arg(remark.line).arg(remark.what)
               : QStringLiteral("%1: %2").arg(name, remark.what);
}

QString sendQuestion(const Result &result)
{
    QStringList lines;
    if (!result.readable)
        lines.append(QStringLiteral("The parameter file could not be read to check its records."));
    else if (result.damaged > 0)
        lines.append(damageLine(QStringLiteral("The parameter file"), result));
    if (result.readable && !result.hasEndRecord)
        lines.append(QStringLiteral("The part of the parameter file that would be sent has no "
                                    "end record (%1) on a line of its own.")
                         .arg(QLatin1String(HexRecord::kEndRecord)));
    lines.append(QStringLiteral("Send it anyway?"));
    return lines.join(QLatin1Char('\r'));
}

QString receivedWarning(const Result &result)
{
    if (!result.readable)
        return QStringLiteral("The received parameter file could not be read to check it.");
    QStringList lines;
    if (result.damaged > 0)
        lines.append(damageLine(QStringLiteral("The received parameter file"), result));
    if (!result.hasEndRecord) {
        lines.append(QStringLiteral("The received data is not a complete parameter file: it has "
                                    "no end record (%1).")
                         .arg(QLatin1String(HexRecord::kEndRecord)));
        lines.append(QStringLiteral("Was the drive's serial link set to \"JXF XFER (Drive TX)\"?"));
    }
    if (lines.isEmpty())
        return {};
    lines.append(QStringLiteral("The file keeps every character that arrived."));
    return lines.join(QLatin1Char('\r'));
}

} // namespace HexCheck
