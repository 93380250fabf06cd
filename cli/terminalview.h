#pragma once

#include "transfer/transferview.h"

#include <QElapsedTimer>
#include <QStringList>

class CliOutput;
struct TransferState;

// Page 3 for a terminal: the count, the percentage, a bar, the rate and the
// time left on one line, redrawn at most a few times a second; the messages
// that page 3 would show in a box are kept for the end of the run.
class TerminalView : public TransferView
{
public:
    TerminalView(const TransferState &state, CliOutput &output);

    void setLabel(ViewLabel label, const QString &text) override;
    void repaintLabel(ViewLabel) override {}
    void repaintPage() override {}
    void setProgress(int percent) override;
    void setBackEnabled(bool) override {}
    void setReportEnabled(bool) override {}
    void setFinishCaption(const QString &) override {}
    void showMessage(const QString &text, bool critical) override;

    const QString &status() const { return m_status; }
    const QStringList &messages() const { return m_messages; }
    double seconds() const { return m_started.nsecsElapsed() / 1e9; }
    // Clears the progress line, so that what follows starts on a clean line.
    void finish();

    // The line for count of expected characters after seconds.
    static QString progressLine(qint32 count, qint32 expected, int percent, double seconds);

    static constexpr qint64 kRedrawMs = 250;

private:
    const TransferState &m_state;
    CliOutput &m_output;
    QElapsedTimer m_started;
    QElapsedTimer m_lastDrawn;
    QString m_status;
    QStringList m_messages;
};
