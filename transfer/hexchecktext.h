#pragma once

#include "transfer/hexcheck.h"

#include <QList>
#include <QString>
#include <QtGlobal>

// What the check of a parameter file found (transfer/hexcheck.h), in the words
// the windows, the command and the compare use.
namespace HexCheck {

// What a finding says is wrong, after "line N: ".
QString describe(const Finding &finding);

// One thing to say about a file: its damage, each damaged record on its
// line, and the notes that are not damage.
struct Remark
{
    bool damage = true;
    qint64 line = 0; // 0 for the file as a whole
    QString what;
};
QList<Remark> remarks(const Result &result);
// "name line 3: not a record", or "name: what" for the file as a whole.
QString remarkText(const QString &name, const Remark &remark);

// The question asked before a file with damage is sent.
QString sendQuestion(const Result &result);
// What is said after a parameter-file receive whose file is not clean (empty when it is).
QString receivedWarning(const Result &result);

} // namespace HexCheck
