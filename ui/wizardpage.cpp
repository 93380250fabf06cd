#include "ui/wizardpage.h"

#include "ui/fonts.h"
#include "ui/pagearea.h"
#include "ui/twips.h"
#include "ui/windowplacement.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr char kCaptionPrefix[] = "Label";
} // namespace

QString accessibleNameFor(const QString &caption, const QString &objectName)
{
    QString name = caption.trimmed();
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (!name.isEmpty())
        return name;
    // "cboBaudRate" and "ProgressBar1": drop the lower-case kind and the
    // number, and part the words.
    qsizetype start = 0;
    while (start < objectName.size() && objectName.at(start).isLower())
        ++start;
    QString words;
    for (qsizetype i = start == objectName.size() ? 0 : start; i < objectName.size(); ++i) {
        const QChar c = objectName.at(i);
        if (c.isDigit())
            continue;
        if (c.isUpper() && !words.isEmpty())
            words.append(QLatin1Char(' '));
        words.append(c);
    }
    return words;
}

WizardPage::WizardPage(const QString &caption, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(caption);
    setFont(Fonts::pageDefault());
    setFixedSize(Twips::size(PageArea::kWidth, PageArea::kHeight));
    setSizeGripEnabled(false);
    makeWizardPicture(QStringLiteral("Picture2"), QRect(600, 480, 1095, 1335), this);
}

void WizardPage::showPage()
{
    if (!m_placed) {
        WindowPlacement::centreOnScreen(this);
        m_placed = true;
    }
    WindowPlacement::showInFront(this);
}

QLabel *WizardPage::addLabel(const QString &name, const QString &text, const QRect &twips)
{
    // One line, as the design shows it; where the system's face is wider than
    // Arial, the box grows rather than the text breaking (TextFit).
    auto *label = new QLabel(text, this);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(label, name, twips);
    // A label's own text is its accessible name, announced again when it
    // changes; only static captions ("Label1") name the control after them.
    if (name.startsWith(QLatin1String(kCaptionPrefix)))
        m_lastCaption = label;
    return label;
}

QPushButton *WizardPage::addButton(const QString &name, const QString &text, const QString &toolTip,
                                   const QRect &twips)
{
    auto *button = new QPushButton(text, this);
    button->setToolTip(toolTip);
    place(button, name, twips);
    return button;
}

void WizardPage::place(QWidget *widget, const QString &name, const QRect &twips)
{
    widget->setObjectName(name);
    widget->setGeometry(Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
    // Labels and buttons are named by their text, which Qt keeps current.
    if (qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget))
        return;
    // A list's accessible name on Linux is its current choice; the caption
    // reaches the screen reader as the list's label, through the buddy.
    if (m_lastCaption)
        m_lastCaption->setBuddy(widget);
    if (widget->accessibleName().isEmpty())
        widget->setAccessibleName(
            accessibleNameFor(m_lastCaption ? m_lastCaption->text() : QString(), name));
    m_lastCaption = nullptr;
}

void WizardPage::reject()
{
    if (QPushButton *cancel = cancelButton(); cancel && cancel->isEnabled())
        cancel->click();
}

void WizardPage::closeEvent(QCloseEvent *event)
{
    // The page is never closed by the window system itself: unloading is the
    // program's business, so a close request is handed to the page.
    event->ignore();
    onCloseRequest();
}

QLabel *makeWizardPicture(const QString &name, const QRect &twips, QWidget *parent)
{
    auto *picture = new QLabel(parent);
    picture->setObjectName(name);
    picture->setPixmap(QPixmap(QStringLiteral(":/quillet/wizard.png")));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setAccessibleName(QStringLiteral("Picture of a PC connected to a drive"));
    picture->setGeometry(Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
    // A click on the picture must not reach the window below it.
    picture->setAttribute(Qt::WA_NoMousePropagation);
    return picture;
}
