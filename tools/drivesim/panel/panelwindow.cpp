#include "panelwindow.h"

#include "panelcontroller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>

namespace drivesim {

namespace {

constexpr int kStatusMinWidth = 280;
constexpr int kStatusLines = 3;

QString countText(qint64 count)
{
    return QStringLiteral("%1 characters").arg(count);
}

} // namespace

PanelWindow::PanelWindow(PanelController &controller, QWidget *parent)
    : QWidget(parent)
    , m_controller(controller)
{
    setWindowTitle(QStringLiteral("Simulated drive"));
    buildControls();
    connectControls();
}

void PanelWindow::buildControls()
{
    m_function = new QComboBox(this);
    m_function->setObjectName(QStringLiteral("cboFunction"));
    m_function->setAccessibleName(QStringLiteral("Serial link"));
    for (const LinkFunction function : PanelController::functions())
        m_function->addItem(PanelController::functionName(function), int(function));
    m_function->setCurrentIndex(int(m_controller.function()));

    m_baud = new QComboBox(this);
    m_baud->setObjectName(QStringLiteral("cboBaud"));
    m_baud->setAccessibleName(QStringLiteral("Baud rate"));
    for (const int rate : PanelController::baudRates())
        m_baud->addItem(QString::number(rate), rate);
    m_baud->setCurrentIndex(PanelController::baudRates().indexOf(m_controller.baud()));

    m_silent = new QCheckBox(
        QStringLiteral("Go silent after %1 characters sent").arg(PanelController::kSilentAfter),
        this);
    m_silent->setObjectName(QStringLiteral("chkSilent"));
    m_silent->setAccessibleName(m_silent->text());

    m_status = new QLabel(m_controller.status(), this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setAccessibleName(QStringLiteral("Status"));
    m_status->setWordWrap(true);
    m_status->setMinimumWidth(kStatusMinWidth);
    // Room for a wrapped status from the start, so the window never clips one;
    // narrow enough to open beside the wizard on a screen 1280 pixels wide.
    m_status->setMinimumHeight(kStatusLines * m_status->fontMetrics().lineSpacing());
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_count = new QLabel(countText(m_controller.byteCount()), this);
    m_count->setObjectName(QStringLiteral("lblCount"));
    m_count->setAccessibleName(QStringLiteral("Byte count"));

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("Serial &link:"), m_function);
    form->addRow(QStringLiteral("&Baud rate:"), m_baud);
    form->addRow(QString(), m_silent);
    form->addRow(QStringLiteral("Status:"), m_status);
    form->addRow(QStringLiteral("Count:"), m_count);
}

void PanelWindow::connectControls()
{
    connect(m_function, &QComboBox::currentIndexChanged, this, [this](int index) {
        const auto function = static_cast<LinkFunction>(m_function->itemData(index).toInt());
        // A refused choice leaves the menu on what the drive is really doing.
        if (!m_controller.select(function).isEmpty()) {
            const QSignalBlocker blocker(m_function);
            m_function->setCurrentIndex(int(m_controller.function()));
        }
    });
    connect(m_baud, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_controller.setBaud(m_baud->itemData(index).toInt()); });
    connect(m_silent, &QCheckBox::toggled, this, [this](bool on) { m_controller.setSilent(on); });
    connect(&m_controller, &PanelController::statusChanged, m_status, &QLabel::setText);
    connect(&m_controller, &PanelController::byteCountChanged, this,
            [this](qint64 count) { m_count->setText(countText(count)); });
}

} // namespace drivesim
