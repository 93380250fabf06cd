#include "table.h"

#include <QLocale>

RunOutput parseRunOutput(const QByteArray &output, int exitCode)
{
    RunOutput run;
    for (const QByteArray &line : output.split('\n')) {
        if (!line.startsWith("RESULT "))
            continue;
        for (const QByteArray &pair : line.mid(7).split(' ')) {
            const QByteArray key = pair.left(pair.indexOf('='));
            const QByteArray value = pair.mid(pair.indexOf('=') + 1);
            if (key == "error")
                run.error = QString::fromLatin1(value);
            else
                run.values.insert(QString::fromLatin1(key), value.toDouble());
        }
    }
    if (run.error.isEmpty() && (exitCode != 0 || run.values.isEmpty()))
        run.error = QStringLiteral("the run ended with code %1 and no figures").arg(exitCode);
    return run;
}

void Table::add(const QString &figure, const QString &measured, const QString &target, bool met)
{
    m_rows.append(
        QStringLiteral("| %1 | %2 | %3 | %4 |")
            .arg(figure, measured, target, met ? QStringLiteral("yes") : QStringLiteral("**no**")));
    m_allMet = m_allMet && met;
}

void Table::addFailed(const QString &figure, const QString &why, const QString &target)
{
    m_rows.append(QStringLiteral("| %1 | failed: %2 | %3 | **no** |").arg(figure, why, target));
    m_allMet = false;
}

QString Table::text() const
{
    return QStringLiteral("| Figure | Measured | Target | Met |\n|---|---|---|---|\n") +
           m_rows.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString grouped(double value)
{
    QLocale english(QLocale::English);
    english.setNumberOptions(QLocale::DefaultNumberOptions);
    return english.toString(qint64(value));
}
