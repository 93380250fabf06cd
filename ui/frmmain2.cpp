#include "ui/frmmain2.h"

#include "transfer/driveinstructions.h"
#include "transfer/transfersession.h"
#include "ui/exitapplication.h"
#include "ui/fonts.h"
#include "ui/forms.h"
#include "ui/frmmain1.h"
#include "ui/frmmain3.h"
#include "ui/msgbox.h"
#include "ui/textfit.h"
#include "ui/transfersteps.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr qsizetype kShortNameMax = 36;
constexpr qsizetype kTailMax = 30;

} // namespace

FrmMain2::FrmMain2(QWidget *parent)
    : WizardPage(QStringLiteral("Quillet  (page 2 of 3)"), parent)
{
    setObjectName(QStringLiteral("frmMain2"));
    createControls();
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(TransferSession::kDriveLookMsecs);
    connect(m_timer1, &QTimer::timeout, this, &FrmMain2::Timer1_Timer);
    TextFit::keep(this);
}

void FrmMain2::createControls()
{
    const QFont courier = Fonts::named(QStringLiteral("Courier New"), 9);
    m_lblSendRecive = addLabel(QStringLiteral("lblSendRecive"), QString(), {2520, 120, 3855, 255});
    addLabel(QStringLiteral("Label1"), DriveInstructions::kSetMenuTo, {2520, 360, 3855, 255});
    m_lblInstructions =
        addLabel(QStringLiteral("lblInstructions"), QString(), {2520, 720, 2415, 255});
    m_lblInstructions->setFont(courier);
    m_label3 =
        addLabel(QStringLiteral("Label3"), DriveInstructions::kCommence, {2520, 1080, 3855, 375});
    addLabel(QStringLiteral("Label2"), QStringLiteral("File Name:"), {2520, 1440, 1215, 255});
    m_lblFile = addLabel(QStringLiteral("lblFile"), QString(), {2520, 1680, 3855, 255});
    m_lblFile->setFont(courier);
    m_back = addButton(QStringLiteral("Back"), QStringLiteral("<- Back"),
                       QStringLiteral("Click to change the settings on page 1."),
                       {2520, 2040, 1215, 375});
    m_next =
        addButton(QStringLiteral("Next"), QStringLiteral("Next ->"),
                  QStringLiteral("Click to proceed with the transfer."), {3840, 2040, 1215, 375});
    m_cancel = addButton(QStringLiteral("Cancel"), QStringLiteral("Cancel"),
                         QStringLiteral("Click to abort the transfer."), {5160, 2040, 1215, 375});
    m_next->setDefault(true);
    QWidget::setTabOrder(m_next, m_cancel);
    QWidget::setTabOrder(m_cancel, m_back);

    connect(m_back, &QPushButton::clicked, this, [this] { Back_Click(0); });
    connect(m_next, &QPushButton::clicked, this, [this] { Next_Click(0); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { Cancel_Click(0); });
}

void FrmMain2::prepareFor(qint16 transferType)
{
    const DriveInstructions::Instructions &row = DriveInstructions::forType(transferType);
    m_lblSendRecive->setText(row.sendRecive);
    m_lblInstructions->setText(row.menuChoice);
    // When the drive sends, its first characters start the transfer, not Next.
    m_label3->setVisible(row.driveSends);
    m_next->setEnabled(!row.driveSends);
    // With Next disabled, Enter must not reach it through the default role.
    m_next->setDefault(!row.driveSends);
    (row.driveSends ? static_cast<QWidget *>(m_cancel) : m_next)->setFocus();
}

QString FrmMain2::displayForm(const QString &fileName)
{
    const qsizetype n = fileName.size();
    if (n <= kShortNameMax)
        return fileName;
    // Paths on this system may use either separator.
    qsizetype tail = -1;
    for (qsizetype i = n - kTailMax; i < n && tail < 0; ++i) {
        if (fileName.at(i) == QLatin1Char('\\') || fileName.at(i) == QLatin1Char('/'))
            tail = i;
    }
    if (tail < 0)
        tail = n - kTailMax; // no separator near the end: the last 30 characters
    return fileName.left(3) + QStringLiteral("...") + fileName.mid(tail);
}

void FrmMain2::paintEvent(QPaintEvent *event)
{
    const QString shown = displayForm(transferSession().state().sFileName);
    if (m_lblFile->text() != shown)
        m_lblFile->setText(shown);
    WizardPage::paintEvent(event);
}

void FrmMain2::Next_Click(int)
{
    if (transferRunning())
        return;
    hide();
    frmMain3().showPage();
    RunTransfer();
}

void FrmMain2::Back_Click(int)
{
    if (!transferRunning())
        backToPageOne();
}

void FrmMain2::backToPageOne(const QString &why)
{
    hide();
    CloseCommPort();
    CloseTransferFile();
    if (!why.isEmpty())
        MsgBox::show(why);
    frmMain1().showPage();
}

void FrmMain2::Cancel_Click(int)
{
    if (transferRunning())
        return;
    CloseCommPort();
    CloseTransferFile();
    ExitApplication();
}

void FrmMain2::Timer1_Timer()
{
    // The drive's first characters start the transfer, but only while this
    // page is the one on screen: never during page 1's Next, after Back, or
    // while the transfer it started is still running.
    if (!isVisible() || transferRunning())
        return;
    switch (transferSession().lookForDrive()) {
    case DriveLook::Started:
        Next_Click(0);
        break;
    case DriveLook::PortLost:
        // Unplugged or hung up while the user works the drive's menu: said as
        // a transfer says it, with the port and the file closed first.
        backToPageOne(transferFaultMessage(TransferFault::PortFailed));
        break;
    case DriveLook::Waiting:
        break;
    }
}

// The timer looks for the drive only while the page waits on screen: hidden,
// through a whole transfer, it would wake the program ten times a second for
// nothing. Page 3's window is made while this page waits, not at the drive's
// first characters, which it would otherwise keep waiting.
void FrmMain2::showEvent(QShowEvent *event)
{
    m_timer1->start();
    QTimer::singleShot(0, this, [] { frmMain3().winId(); });
    WizardPage::showEvent(event);
}

void FrmMain2::hideEvent(QHideEvent *event)
{
    m_timer1->stop();
    WizardPage::hideEvent(event);
}

void FrmMain2::onCloseRequest()
{
    Cancel_Click(0);
}
