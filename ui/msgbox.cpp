#include "ui/msgbox.h"

#include "settings/lineends.h"

#include <QMessageBox>

namespace MsgBox {

namespace {

Responder &responder()
{
    static Responder r;
    return r;
}

QMessageBox::Icon boxIcon(Icon icon)
{
    switch (icon) {
    case Icon::None:
        break;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

Result showReal(const Request &request)
{
    const int answer = makeBox(request)->exec();
    if (request.buttons == Buttons::Ok)
        return Result::Ok;
    return answer == QMessageBox::Yes ? Result::Yes : Result::No;
}

} // namespace

std::unique_ptr<QMessageBox> makeBox(const Request &request)
{
    auto box =
        std::make_unique<QMessageBox>(boxIcon(request.icon), request.title,
                                      LineEnds::messageLines(request.text).join(QLatin1Char('\n')));
    if (request.buttons == Buttons::YesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(request.defaultIsNo ? QMessageBox::No : QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    return box;
}

Result show(const QString &text, Icon icon, Buttons buttons, bool defaultIsNo, const QString &title)
{
    const Request request{text, icon, buttons, defaultIsNo, title};
    if (responder())
        return responder()(request);
    return showReal(request);
}

QString twoLines(const QString &first, const QString &second)
{
    return first + QLatin1Char('\r') + second;
}

QString replaceQuestion(const QString &fileName)
{
    return twoLines(fileName + QStringLiteral(" already exists."),
                    QStringLiteral("Do you want to replace it?"));
}

void setResponder(Responder r)
{
    responder() = std::move(r);
}

} // namespace MsgBox
