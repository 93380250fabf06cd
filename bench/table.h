#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// What one measuring process printed: RESULT key=value ..., or error=why.
using RunResult = QMap<QString, double>;

struct RunOutput
{
    RunResult values;
    QString error; // empty when the run succeeded
};

RunOutput parseRunOutput(const QByteArray &output, int exitCode);

// The benchmark's table, printed as Markdown so that it goes into
// docs/performance.md as it is.
class Table
{
public:
    void add(const QString &figure, const QString &measured, const QString &target, bool met);
    void addFailed(const QString &figure, const QString &why, const QString &target);
    QString text() const;
    bool allMet() const { return m_allMet; }

private:
    QStringList m_rows;
    bool m_allMet = true;
};

QString grouped(double value); // 12000 -> "12,000"
