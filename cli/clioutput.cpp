#include "cli/clioutput.h"

#include "settings/lineends.h"

#include <QJsonDocument>

#include <unistd.h>

namespace {
const QString kName = QStringLiteral("quillet-cli: ");
}

CliOutput::CliOutput(bool quiet, bool json)
    : m_quiet(quiet)
    , m_json(json)
    , m_stderrIsTerminal(::isatty(STDERR_FILENO) == 1)
{}

void CliOutput::error(const QString &text)
{
    clearProgress();
    for (const QString &line : LineEnds::messageLines(text))
        write(stderr, kName + line + QLatin1Char('\n'));
}

void CliOutput::errorLine(const QString &text)
{
    clearProgress();
    write(stderr, kName + LineEnds::messageOnOneLine(text) + QLatin1Char('\n'));
}

void CliOutput::note(const QString &text)
{
    if (m_quiet || m_json)
        return;
    clearProgress();
    write(stderr, text + QLatin1Char('\n'));
}

void CliOutput::result(const QString &text)
{
    if (!m_json && !m_quiet)
        write(stdout, text + QLatin1Char('\n'));
}

void CliOutput::progress(const QString &text)
{
    if (!showsProgress())
        return;
    // Blanks over the rest of a longer earlier line: no terminal control codes needed.
    const qsizetype width = text.size();
    write(stderr, QLatin1Char('\r') + text +
                      QString(std::max<qsizetype>(0, m_progressWidth - width), QLatin1Char(' ')));
    m_progressWidth = width;
    if (width == 0)
        write(stderr, QStringLiteral("\r"));
}

void CliOutput::clearProgress()
{
    if (m_progressWidth > 0)
        progress(QString());
}

void CliOutput::printJson(const QJsonObject &object)
{
    write(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) +
                      QLatin1Char('\n'));
}

void CliOutput::write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
