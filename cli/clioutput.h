#pragma once

#include <QJsonObject>
#include <QString>

#include <cstdio>

// Where the command's words go: results on standard output, progress, the
// summary and errors on standard error. --quiet leaves only the errors;
// --json puts one object on standard output at the end instead of the summary.
class CliOutput
{
public:
    CliOutput(bool quiet, bool json);

    bool quiet() const { return m_quiet; }
    bool json() const { return m_json; }
    // Progress is drawn only for a person watching a terminal.
    bool showsProgress() const { return m_stderrIsTerminal && !m_quiet; }

    // One message of the program's, its lines (joined by CR or LF) each on a line of its own.
    void error(const QString &text);
    // The same, folded into one line: what a wrong use or an unusable file or port says.
    void errorLine(const QString &text);
    // Wrong use of the command: a line that points to --help, and with --json
    // the object every outcome has.
    void wrongUse(const QString &text);
    // Words for a person (instructions, the summary): not with --quiet or --json.
    void note(const QString &text);
    // A result line on standard output (findings of check and compare): not with --json.
    void result(const QString &text);
    // Redraws the progress line in place; an empty text clears it.
    void progress(const QString &text);
    void printJson(const QJsonObject &object);

private:
    void write(std::FILE *stream, const QString &text);
    void clearProgress();

    bool m_quiet;
    bool m_json;
    bool m_stderrIsTerminal;
    qsizetype m_progressWidth = 0;
};
