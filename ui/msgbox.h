#pragma once

#include "settings/appinfo.h"

#include <functional>
#include <memory>
#include <QString>

class QMessageBox;

// Every message the program shows goes through here, so that the title, the
// icon and the buttons are always the same and tests can answer a message
// without a real modal loop.
namespace MsgBox {

enum class Icon { None, Warning, Critical };
enum class Buttons { Ok, YesNo };
enum class Result { Ok, Yes, No };

struct Request
{
    QString text; // lines joined by a carriage return, as the program words them
    Icon icon = Icon::Critical;
    Buttons buttons = Buttons::Ok;
    bool defaultIsNo = false;
    QString title;
};

Result show(const QString &text, Icon icon = Icon::Critical, Buttons buttons = Buttons::Ok,
            bool defaultIsNo = false, const QString &title = AppInfo::kTitle);

// Joins two lines the way the program's two-line messages do.
QString twoLines(const QString &first, const QString &second);

// The question asked before an existing file is replaced.
QString replaceQuestion(const QString &fileName);

// The box that show() puts up for a request, not yet shown; for tests of
// how it looks.
std::unique_ptr<QMessageBox> makeBox(const Request &request);

// Tests install a responder that answers instead of a real message box.
using Responder = std::function<Result(const Request &)>;
void setResponder(Responder responder);

} // namespace MsgBox
