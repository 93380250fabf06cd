#pragma once

#include <QPlainTextEdit>

#include <functional>

// The report window's text box. It shows the report line by line but keeps
// each line's own end (CR LF, LF or CR alone) so that what is saved and
// printed is the report's text byte for byte, the user's edits included.
// A line break the user makes ends in CR LF.
class ReportBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit ReportBox(QWidget *parent = nullptr);

    // Replaces everything, the user's edits and the undo history included.
    void setReportText(const QString &text);
    QString reportText() const;

protected:
    // Enter is left to the window (its default button); Ctrl+Enter and
    // Shift+Enter break the line.
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void insertKeepingLineEnds(const std::function<void()> &insert);
};
