#include "ui/wizardpage.h"

#include "ui/fonts.h"
#include "ui/twips.h"
#include "ui/windowplacement.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int kClientWidth = 6450;
constexpr int kClientHeight = 2625;
} // namespace

WizardPage::WizardPage(const QString &caption, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(caption);
    setFont(Fonts::pageDefault());
    setFixedSize(Twips::size(kClientWidth, kClientHeight));
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
    auto *label = new QLabel(text, this);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(label, name, twips);
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
    picture->setGeometry(Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
    // A click on the picture must not reach the window below it.
    picture->setAttribute(Qt::WA_NoMousePropagation);
    return picture;
}
