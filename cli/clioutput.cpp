#include "cli/clioutput.h"

#include "settings/lineends.h"
#include "transfer/filenames.h"

#include "cli/console.h"

#include <QJsonDocument>

namespace {
const QString kName = QStringLiteral("quillet-cli: ");
} // namespace

CliOutput::CliOutput(bool quiet, bool json)
    : m_quiet(quiet)
    , m_json(json)
    , m_stderrIsTerminal(Console::stderrIsTerminal())
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

void CliOutput::wrongUse(const QString &text)
{
    errorLine(text + QStringLiteral(" (see quillet-cli --help)"));
    if (m_json)
        printJson({{QStringLiteral("outcome"), QStringLiteral("error")},
                   {QStringLiteral("message"), text}});
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
    // A file name that is no valid text comes out as the bytes it was given as.
    const QByteArray bytes = FileNames::toSystem(text);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
