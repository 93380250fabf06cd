#include "ui/reportbox.h"

#include "settings/lineends.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>

// Each block's user state holds the end of its line. Qt keeps the state of
// the later block when two lines are joined, which is the end that remains;
// a block split off by an insertion starts without a state and is put right
// in insertKeepingLineEnds(). Undoing a join may still move an end to the
// neighbouring line, which only shows in a text whose lines end differently.
namespace {

constexpr int kUserBreak = -1; // Qt's state for a new block

int stateOf(LineEnds::End end)
{
    return end == LineEnds::End::CrLf ? kUserBreak : static_cast<int>(end);
}

LineEnds::End endOf(int state)
{
    switch (state) {
    case static_cast<int>(LineEnds::End::Lf):
        return LineEnds::End::Lf;
    case static_cast<int>(LineEnds::End::Cr):
        return LineEnds::End::Cr;
    default:
        return LineEnds::End::CrLf;
    }
}

} // namespace

ReportBox::ReportBox(QWidget *parent)
    : QPlainTextEdit(parent)
{}

void ReportBox::setReportText(const QString &text)
{
    const QList<LineEnds::Line> lines = LineEnds::split(text);
    clear();
    document()->setUndoRedoEnabled(false);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            cursor.insertBlock();
        cursor.insertText(lines.at(i).text);
        cursor.block().setUserState(stateOf(lines.at(i).end));
    }
    cursor.endEditBlock();
    document()->setUndoRedoEnabled(true);
    moveCursor(QTextCursor::Start);
}

QString ReportBox::reportText() const
{
    QList<LineEnds::Line> lines;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        QString text = block.text();
        text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
        lines.append({text, endOf(block.userState())});
    }
    lines.last().end = LineEnds::End::None;
    return LineEnds::join(lines);
}

void ReportBox::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers breakers = Qt::ControlModifier | Qt::ShiftModifier;
    if (event->modifiers() & breakers) {
        insertKeepingLineEnds([this] {
            QTextCursor cursor = textCursor();
            cursor.insertBlock();
            setTextCursor(cursor);
        });
        ensureCursorVisible();
        event->accept();
        return;
    }
    event->ignore();
}

void ReportBox::insertFromMimeData(const QMimeData *source)
{
    insertKeepingLineEnds([this, source] { QPlainTextEdit::insertFromMimeData(source); });
}

void ReportBox::insertKeepingLineEnds(const std::function<void()> &insert)
{
    const QTextCursor before = textCursor();
    const int first = document()->findBlock(before.selectionStart()).blockNumber();
    const int end = document()->findBlock(before.selectionEnd()).userState();
    insert();
    QTextBlock last = textCursor().block();
    // The line the insertion went into keeps its end after the inserted
    // text; the breaks before that are the user's.
    for (QTextBlock block = document()->findBlockByNumber(first); block.isValid() && block != last;
         block = block.next())
        block.setUserState(kUserBreak);
    last.setUserState(end);
}
