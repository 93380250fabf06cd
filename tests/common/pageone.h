#pragma once

// What page 1's Next says when the port or the file cannot be used, for the
// end-to-end tests. Header-only: window tests only.

#include "common/uitest.h"
#include "transfer/transfersession.h"
#include "ui/frmmain1.h"
#include "ui/frmmain2.h"
#include "ui/frmmain3.h"

#include <QTest>

namespace PageOne {

// The port's message, with what the system says of the device.
inline QString serialMessage(const QString &device)
{
    return QStringLiteral(
               "Error on Serial Comms channel.\r%1\rPlease select alternative Comms Port.")
        .arg(device);
}
inline const QString kSelectAnother = QStringLiteral("\rPlease select an alternate file.");
inline const QString kUnreadable = QStringLiteral("Selected file does not exist or is empty.");
inline const QString kNotWritable =
    QStringLiteral("Selected file is currently not available for write access.");

// Page 1 came back with exactly one message, in the program's words, with
// the critical icon and the program's title, and the port closed.
inline void expectBack(const MessageRecorder &messages, const QString &message)
{
    QCOMPARE(messages.texts(), QStringList{message});
    QCOMPARE(messages.shown.first().icon, MsgBox::Icon::Critical);
    QCOMPARE(messages.shown.first().title, QStringLiteral("Quillet"));
    QVERIFY(frmMain1().abort);
    QVERIFY(frmMain1().isVisible());
    QVERIFY(!Forms::isLoaded(Form::Main2) || !frmMain2().isVisible());
    QVERIFY(!transferSession().portOpen());
}

} // namespace PageOne
