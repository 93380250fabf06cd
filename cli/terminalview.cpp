#include "cli/terminalview.h"

#include "cli/clioutput.h"
#include "transfer/transferstate.h"

#include <QLocale>

#include <algorithm>

namespace {
constexpr int kBarWidth = 20;
constexpr int kSecondsPerMinute = 60;
// Too little has moved before this for a rate worth showing.
constexpr double kFirstRateSeconds = 0.5;
} // namespace

TerminalView::TerminalView(const TransferState &state, CliOutput &output)
    : m_state(state)
    , m_output(output)
{
    m_started.start();
}

void TerminalView::setLabel(ViewLabel label, const QString &text)
{
    if (label == ViewLabel::Status)
        m_status = text;
}

void TerminalView::setProgress(int percent)
{
    if (!m_output.showsProgress())
        return;
    if (m_lastDrawn.isValid() && m_lastDrawn.elapsed() < kRedrawMs)
        return;
    m_lastDrawn.start();
    m_output.progress(progressLine(m_state.lByteCount, m_state.lFileSize, percent, seconds()));
}

void TerminalView::showMessage(const QString &text, bool)
{
    m_messages.append(text);
}

void TerminalView::finish()
{
    m_output.progress(QString());
}

QString TerminalView::progressLine(qint32 count, qint32 expected, int percent, double seconds)
{
    const int shown = std::clamp(percent, 0, 100);
    const int filled = shown * kBarWidth / 100;
    QString line =
        QStringLiteral("%1 chars %2% [%3%4]")
            .arg(QLocale::c().toString(count), 9)
            .arg(shown, 3)
            .arg(QString(filled, QLatin1Char('#')), QString(kBarWidth - filled, QLatin1Char('.')));
    if (seconds < kFirstRateSeconds || count <= 0)
        return line;
    const double rate = count / seconds;
    line += QStringLiteral(" %1 chars/s").arg(qRound(rate), 6);
    const int left = qRound(std::max(0, expected - count) / rate);
    return line + QStringLiteral(" %1:%2 left")
                      .arg(left / kSecondsPerMinute)
                      .arg(left % kSecondsPerMinute, 2, 10, QLatin1Char('0'));
}
