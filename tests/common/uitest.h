#pragma once

// Support for tests that drive the real windows. Header-only: it uses the
// windows library, which only the window tests link.

#include "ui/forms.h"
#include "ui/msgbox.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QTest>

#include <deque>

// Records every message the program shows and answers them from a queue
// (OK, or No for a question, when the queue is empty).
class MessageRecorder
{
public:
    MessageRecorder()
    {
        MsgBox::setResponder([this](const MsgBox::Request &request) {
            shown.append(request);
            if (!answers.empty()) {
                const MsgBox::Result answer = answers.front();
                answers.pop_front();
                return answer;
            }
            return request.buttons == MsgBox::Buttons::YesNo ? MsgBox::Result::No
                                                             : MsgBox::Result::Ok;
        });
    }
    ~MessageRecorder() { MsgBox::setResponder({}); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    QStringList texts() const
    {
        QStringList list;
        for (const MsgBox::Request &r : shown)
            list.append(r.text);
        return list;
    }

    QList<MsgBox::Request> shown;
    std::deque<MsgBox::Result> answers;
};

// Unloads every window the way the program's end does, then lets the
// deferred deletions run, so the next test starts with nothing loaded.
inline void unloadAllWindows()
{
    Forms::unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// True once no window is loaded and none is waiting to be destroyed.
inline bool noWindowLeft()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return Forms::loadedCount() == 0;
}

// Qt's composite controls have inner parts of their own (a list's popup, a
// text box's scroll bars); the program's controls are everything else. A
// popup is a window of its own: the search goes on past it.
inline bool isInnerPart(const QWidget *widget)
{
    for (const QWidget *up = widget->parentWidget(); up; up = up->parentWidget()) {
        if (qobject_cast<const QComboBox *>(up) || qobject_cast<const QAbstractScrollArea *>(up))
            return true;
    }
    return false;
}
