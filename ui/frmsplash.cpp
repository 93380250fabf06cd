#include "ui/frmsplash.h"

#include "settings/appinfo.h"
#include "transfer/transfersession.h"
#include "ui/fonts.h"
#include "ui/forms.h"
#include "ui/frmmain1.h"
#include "ui/textfit.h"
#include "ui/twips.h"
#include "ui/windowplacement.h"
#include "ui/wizardpage.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

namespace {
constexpr int kClientWidth = 6525;
constexpr int kClientHeight = 3030;
constexpr int kGiveWayMs = 4000;
const QString kArial = QStringLiteral("Arial");

// As the About window it may be left up through page 1's Next; page 1 must
// then not come back over the page the wizard has moved on to.
bool wizardBeyondPageOne()
{
    if (transferRunning())
        return true;
    for (Form page : {Form::Main2, Form::Main3}) {
        const QWidget *window = Forms::loaded(page);
        if (window && window->isVisible())
            return true;
    }
    return false;
}
} // namespace

FrmSplash::FrmSplash(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(AppInfo::kTitle);
    setFixedSize(Twips::size(kClientWidth, kClientHeight));
    setFont(Fonts::pageDefault());

    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setFrameShape(QFrame::Box);
    m_frame->setAccessibleName(AppInfo::kTitle);
    m_frame->setGeometry(Twips::rect(0, 0, 6540, 3060));
    m_frame->installEventFilter(this);

    makeWizardPicture(QStringLiteral("Picture1"), QRect(600, 840, 1095, 1335), m_frame);
    m_lblCompanyProduct = addLabel(QStringLiteral("lblCompanyProduct"), QRect(2520, 240, 3855, 495),
                                   Fonts::named(kArial, 18, true));
    m_lblProductName = addLabel(QStringLiteral("lblProductName"), QRect(2160, 720, 4215, 615),
                                Fonts::named(kArial, 24, true));
    m_lblPlatform = addLabel(QStringLiteral("lblPlatform"), QRect(3360, 1320, 3015, 375),
                             Fonts::named(kArial, 12, true));
    m_lblPlatform->setText(QStringLiteral("Windows 95 / 98 / NT4 / XP"));
    m_lblVersion = addLabel(QStringLiteral("lblVersion"), QRect(4800, 1680, 1575, 375),
                            Fonts::named(kArial, 12, true));
    m_lblCopyright = addLabel(QStringLiteral("lblCopyright"), QRect(3960, 2040, 2415, 255),
                              Fonts::named(kArial, 8.25));
    QLabel *help = addLabel(QStringLiteral("Label1"), QRect(2640, 2400, 3735, 255), font());
    help->setText(QStringLiteral("See the Readme.txt for help infromation."));

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(kGiveWayMs);
    connect(m_timer, &QTimer::timeout, this, &FrmSplash::DismissSplash);

    Form_Load();
    // The labels size themselves to their texts, right edges staying on one line.
    TextFit::keep(this);
    m_timer->start();
}

QLabel *FrmSplash::addLabel(const QString &name, const QRect &twips, const QFont &font)
{
    auto *label = new QLabel(m_frame);
    label->setObjectName(name);
    label->setFont(font);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    QRect pixels = Twips::rect(twips.x(), twips.y(), twips.width(), twips.height());
    label->setGeometry(pixels);
    return label;
}

void FrmSplash::Form_Load()
{
    m_lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                              .arg(AppInfo::kVersionMajor)
                              .arg(AppInfo::kVersionMinor)
                              .arg(AppInfo::kVersionRevision));
    m_lblProductName->setText(AppInfo::kTitle);
    m_lblCompanyProduct->setText(AppInfo::kCompanyName);
    m_lblCopyright->setText(AppInfo::kCopyright);
}

void FrmSplash::showSplash()
{
    if (!m_placed) {
        WindowPlacement::centreOnScreen(this);
        m_placed = true;
    }
    WindowPlacement::showInFront(this);
}

void FrmSplash::DismissSplash()
{
    m_timer->stop();
    hide();
    if (!wizardBeyondPageOne())
        frmMain1().showPage();
}

void FrmSplash::keyPressEvent(QKeyEvent *event)
{
    // Any key that produces a character gives way; the key itself is not used.
    if (!event->text().isEmpty()) {
        DismissSplash();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool FrmSplash::eventFilter(QObject *watched, QEvent *event)
{
    // Clicks on the labels reach the frame too; the picture stops its own.
    if (watched == m_frame && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_frame->rect().contains(mouse->position().toPoint())) {
            DismissSplash();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FrmSplash::reject()
{
    // Escape is a key press like any other here; the window is never closed.
    DismissSplash();
}

void FrmSplash::closeEvent(QCloseEvent *event)
{
    // The window has no close control; a close request from the window system
    // only makes it give way.
    event->ignore();
    DismissSplash();
}
