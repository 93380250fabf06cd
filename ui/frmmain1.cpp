#include "ui/frmmain1.h"

#include "settings/settingsfile.h"
#include "transfer/portnames.h"
#include "transfer/seriallink.h"
#include "transfer/serialports.h"
#include "transfer/transfersession.h"
#include "ui/commondialog.h"
#include "ui/exitapplication.h"
#include "ui/forms.h"
#include "ui/frmmain2.h"
#include "ui/frmsplash.h"
#include "ui/msgbox.h"
#include "ui/textfit.h"
#include "ui/transfersteps.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QStringList kTransferTypes = {
    QStringLiteral("MMI Dump, (Drive -> PC)"),
    QStringLiteral("JXF transfer, (Drive -> PC)"),
    QStringLiteral("JXF transfer, (PC -> Drive)"),
};
const QStringList kFileFilters = {
    QStringLiteral("All Files (*.*)"),
    QStringLiteral("JXF Files (*.JXF)"),
    QStringLiteral("MMI Files (*.MMI)"),
};

QComboBox *makeList(QWidget *parent, const QString &toolTip)
{
    auto *list = new QComboBox(parent);
    list->setEditable(false);
    list->setToolTip(toolTip);
    return list;
}

// A stored list position is used only when the list has it; -1 stands for
// no chosen line and is restored as such.
void applyIndex(QComboBox *list, const std::optional<qint16> &index)
{
    if (index && *index >= -1 && *index < list->count())
        list->setCurrentIndex(*index);
}

} // namespace

FrmMain1::FrmMain1(QWidget *parent)
    : WizardPage(QStringLiteral("Quillet  (page 1 of 3)"), parent)
{
    setObjectName(QStringLiteral("frmMain1"));
    createControls();
    setTabOrder();
    Initialize();
    TextFit::keep(this);
}

FrmMain1::~FrmMain1() = default;

void FrmMain1::createControls()
{
    // The one caption the design breaks, "Type of" over "Transfer:".
    addLabel(QStringLiteral("Label1"), QStringLiteral("Type of Transfer:"), {1920, 120, 1215, 495})
        ->setWordWrap(true);
    m_cboTransfer = makeList(this, QStringLiteral("Select the require method of transfer."));
    place(m_cboTransfer, QStringLiteral("cboTransfer"), {3240, 120, 3135, 315});
    addLabel(QStringLiteral("Label2"), QStringLiteral("                    File:"),
             {1920, 600, 1215, 495});
    m_txtFile = new QLineEdit(this);
    m_txtFile->setToolTip(QStringLiteral("Enter the path and filename."));
    place(m_txtFile, QStringLiteral("txtFile"), {3240, 600, 3135, 315});
    addLabel(QStringLiteral("Label3"), QStringLiteral("                   Port:"),
             {1920, 1080, 1215, 495});
    m_cboPort = makeList(this, QStringLiteral("Select the COM port for communication."));
    place(m_cboPort, QStringLiteral("cboPort"), {3240, 1080, 1215, 315});
    m_open = addButton(QStringLiteral("Open"), QStringLiteral("Browse..."),
                       QStringLiteral("Click to select/create a file."), {5160, 1080, 1215, 375});
    addLabel(QStringLiteral("Label4"), QStringLiteral("        Baud Rate:"),
             {1920, 1560, 1215, 495});
    m_cboBaudRate = makeList(this, QStringLiteral("Select the correct baud rate as on the drive."));
    place(m_cboBaudRate, QStringLiteral("cboBaudRate"), {3240, 1560, 1215, 315});
    m_about =
        addButton(QStringLiteral("About"), QStringLiteral("About"),
                  QStringLiteral("Click to display the about screen."), {2520, 2040, 1215, 375});
    m_next = addButton(QStringLiteral("Next"), QStringLiteral("Next ->"),
                       QStringLiteral("Click to proceed to page 2."), {3840, 2040, 1215, 375});
    m_cancel = addButton(QStringLiteral("Cancel"), QStringLiteral("Cancel"),
                         QStringLiteral("Click to abort the transfer."), {5160, 2040, 1215, 375});
    m_next->setDefault(true);

    connect(m_next, &QPushButton::clicked, this, [this] { Next_Click(0); });
    connect(m_open, &QPushButton::clicked, this, &FrmMain1::Open_Click);
    connect(m_about, &QPushButton::clicked, this, [this] { About_Click(0); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { Cancel_Click(0); });
    m_cboPort->view()->installEventFilter(this);
}

void FrmMain1::setTabOrder()
{
    const QList<QWidget *> order = {m_next,        m_cancel,  m_about,       m_open,
                                    m_cboTransfer, m_cboPort, m_cboBaudRate, m_txtFile};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
    m_next->setFocus();
}

void FrmMain1::Initialize()
{
    m_cboTransfer->addItems(kTransferTypes);
    m_cboTransfer->setCurrentIndex(0);
    offerPorts(SerialPorts::comNumbers());
    m_cboPort->setCurrentIndex(0);
    for (qint32 rate : SerialLink::kBaudRates)
        m_cboBaudRate->addItem(QString::number(rate), rate);
    m_cboBaudRate->setCurrentIndex(m_cboBaudRate->findData(SerialLink::kDefaultBaudRate));
    m_txtFile->setText(QString());
}

void FrmMain1::updatePortTips()
{
    const QList<SerialPorts::ComPort> ports = SerialPorts::comPorts(SettingsFile::folder());
    QList<qint16> numbers;
    for (const SerialPorts::ComPort &port : ports)
        numbers.append(port.number);
    offerPorts(numbers);
    for (const SerialPorts::ComPort &port : ports)
        m_cboPort->setItemData(m_cboPort->findData(port.number), SerialPorts::summary(port.device),
                               Qt::ToolTipRole);
}

void FrmMain1::offerPorts(const QList<qint16> &numbers)
{
    const int chosen = m_cboPort->currentData().toInt();
    for (int i = m_cboPort->count() - 1; i >= 0; --i) {
        const int number = m_cboPort->itemData(i).toInt();
        if (number > PortNames::kComPorts && number != chosen && !numbers.contains(number))
            m_cboPort->removeItem(i);
    }
    for (qint16 number : numbers) {
        if (m_cboPort->findData(number) >= 0)
            continue;
        int at = 0;
        while (at < m_cboPort->count() && m_cboPort->itemData(at).toInt() < number)
            ++at;
        m_cboPort->insertItem(at, PortNames::comName(number), number);
    }
}

void FrmMain1::showEvent(QShowEvent *event)
{
    updatePortTips();
    WizardPage::showEvent(event);
}

bool FrmMain1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_cboPort->view() && event->type() == QEvent::Show)
        updatePortTips();
    return WizardPage::eventFilter(watched, event);
}

TransferChoices FrmMain1::choices() const
{
    TransferChoices chosen;
    chosen.transferType = static_cast<qint16>(m_cboTransfer->currentIndex());
    chosen.portNumber = static_cast<qint16>(m_cboPort->currentData().toInt());
    chosen.baudRate = m_cboBaudRate->currentData().toInt();
    chosen.fileName = m_txtFile->text();
    chosen.portText = m_cboPort->currentText();
    chosen.baudText = m_cboBaudRate->currentText();
    return chosen;
}

SettingsToSave FrmMain1::settingsToSave() const
{
    SettingsToSave values;
    values.transferIndex = m_cboTransfer->currentIndex();
    values.fileName = m_txtFile->text();
    values.portIndex = m_cboPort->currentIndex();
    values.baudIndex = m_cboBaudRate->currentIndex();
    return values;
}

void FrmMain1::restoreSettings(const StoredSettings &stored)
{
    applyIndex(m_cboTransfer, stored.transferIndex);
    if (stored.fileName)
        m_txtFile->setText(*stored.fileName);
    applyIndex(m_cboPort, stored.portIndex);
    applyIndex(m_cboBaudRate, stored.baudIndex);
}

void FrmMain1::Next_Click(int)
{
    if (transferRunning())
        return;
    abort = false;
    if (m_txtFile->text().isEmpty()) {
        MsgBox::show(QStringLiteral("No filename specified. Unable to open file."));
        return;
    }
    // A settings file may leave a list without a choice; there is then no
    // transfer to describe, so ask for one rather than guess.
    if (m_cboTransfer->currentIndex() < 0 || m_cboPort->currentIndex() < 0 ||
        m_cboBaudRate->currentIndex() < 0) {
        MsgBox::show(
            QStringLiteral("Please select the type of transfer, the port and the baud rate."));
        return;
    }
    hide();
    const TransferChoices chosen = choices();
    frmMain2().prepareFor(chosen.transferType);
    abort = !OpenCommPort(chosen) || !OpenTransferFile();
    if (abort) {
        CloseCommPort();
        showPage();
        return;
    }
    frmMain2().showPage();
}

void FrmMain1::Open_Click()
{
    if (transferRunning())
        return;
    const auto transferType = static_cast<qint16>(m_cboTransfer->currentIndex());
    if (!m_commonDialog1)
        m_commonDialog1 =
            std::make_unique<CommonDialog>(this, QFileDialog::AcceptOpen, kFileFilters);
    m_commonDialog1->show(transferType == TransferType::kMmiDump ? 2 : 1);
    // A cancelled dialog writes back the last confirmed name, empty if none.
    m_txtFile->setText(m_commonDialog1->fileName());
    transferSession().chooseFile(transferType, m_commonDialog1->fileName());
}

void FrmMain1::About_Click(int)
{
    frmSplash().showSplash();
}

void FrmMain1::Cancel_Click(int)
{
    if (!transferRunning())
        ExitApplication();
}

void FrmMain1::onCloseRequest()
{
    Cancel_Click(0);
}
