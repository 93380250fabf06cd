#include "ui/frmmain3.h"

#include "transfer/transfersession.h"
#include "ui/exitapplication.h"
#include "ui/forms.h"
#include "ui/frmmain1.h"
#include "ui/msgbox.h"
#include "ui/showreport.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegion>
#include <QTimer>

#include <utility>

FrmMain3::FrmMain3(QWidget *parent)
    : WizardPage(QStringLiteral("Quillet  (page 3 of 3)"), parent)
{
    setObjectName(QStringLiteral("frmMain3"));
    createControls();
}

void FrmMain3::createControls()
{
    m_lblStatus = addLabel(QStringLiteral("lblStatus"),
                           QStringLiteral("File Transfer in progress."), {2520, 240, 3855, 255});
    addLabel(QStringLiteral("Label1"), QStringLiteral("Progress..."), {2520, 720, 3855, 255});
    m_lblPercent =
        addLabel(QStringLiteral("lblPercent"), QStringLiteral("0%"), {5400, 720, 975, 255});
    m_lblPercent->setAlignment(Qt::AlignRight | Qt::AlignTop);
    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    m_progressBar1->setTextVisible(false);
    m_progressBar1->setToolTip(QStringLiteral("Progress of the transfer."));
    place(m_progressBar1, QStringLiteral("ProgressBar1"), {2520, 960, 3855, 255});
    addLabel(QStringLiteral("Label2"), QStringLiteral("Byte Count:"), {2520, 1440, 975, 255});
    m_lblByteCount =
        addLabel(QStringLiteral("lblByteCount"), QStringLiteral("0"), {3600, 1440, 855, 255});
    m_back = addButton(QStringLiteral("Back"), QStringLiteral("<- Back"),
                       QStringLiteral("Click to repeat the transfer."), {2520, 2040, 1215, 375});
    m_finish =
        addButton(QStringLiteral("Finish"), QStringLiteral("Finish"),
                  QStringLiteral("Click to close this application."), {3840, 2040, 1215, 375});
    m_report = addButton(QStringLiteral("Report"), QStringLiteral("View Report"),
                         QStringLiteral("Click to view the report on the summary."),
                         {5160, 2040, 1215, 375});
    m_finish->setDefault(true);
    QWidget::setTabOrder(m_finish, m_report);
    QWidget::setTabOrder(m_report, m_back);

    connect(m_back, &QPushButton::clicked, this, [this] { Back_Click(0); });
    connect(m_finish, &QPushButton::clicked, this, [this] { Finish_Click(0); });
    connect(m_report, &QPushButton::clicked, this, [this] { Report_Click(0); });
}

void FrmMain3::Back_Click(int)
{
    if (transferRunning())
        return;
    hide();
    frmMain1().showPage();
}

void FrmMain3::Finish_Click(int)
{
    if (transferRunning()) {
        transferSession().cancel();
        return;
    }
    ExitApplication();
}

void FrmMain3::Report_Click(int)
{
    if (!transferRunning())
        ShowReport(frmMain1().choices());
}

void FrmMain3::onCloseRequest()
{
    // During a transfer the title bar's close acts as Cancel, afterwards as Finish.
    Finish_Click(0);
}

QLabel *FrmMain3::label(ViewLabel which) const
{
    switch (which) {
    case ViewLabel::Status:
        return m_lblStatus;
    case ViewLabel::ByteCount:
        return m_lblByteCount;
    case ViewLabel::Percent:
        return m_lblPercent;
    }
    return m_lblStatus;
}

// The loop shows its count after every block it moves, up to hundreds of
// thousands of times a second; a screen shows a new frame about every
// kFrameMs, and each paint is a round trip to the window system. A label or
// the bar takes its new value at once, so anything that reads it sees the
// latest, but is painted with the others that changed in one go: at once
// when the last paint is a frame old, otherwise when the frame ends.
bool FrmMain3::withinFrame() const
{
    return m_lastPaint.isValid() && m_lastPaint.elapsed() < kFrameMs;
}

void FrmMain3::holdUntilFrameEnds(QWidget *target)
{
    if (!m_held.contains(target)) {
        target->setUpdatesEnabled(false);
        m_held.append(target);
    }
    // Whatever else happens, the held labels are painted when the frame ends.
    if (!m_frameEnd) {
        m_frameEnd = new QTimer(this);
        m_frameEnd->setSingleShot(true);
        m_frameEnd->setTimerType(Qt::PreciseTimer);
        connect(m_frameEnd, &QTimer::timeout, this, &FrmMain3::endFrame);
    }
    if (!m_frameEnd->isActive())
        m_frameEnd->start(withinFrame() ? int(kFrameMs - m_lastPaint.elapsed()) : 0);
}

void FrmMain3::endFrame()
{
    if (m_frameEnd)
        m_frameEnd->stop();
    if (m_held.isEmpty())
        return;
    QRegion changed;
    for (QWidget *target : std::exchange(m_held, {})) {
        target->setUpdatesEnabled(true);
        changed += target->geometry();
    }
    repaint(changed);
    m_lastPaint.restart();
}

void FrmMain3::setLabel(ViewLabel which, const QString &text)
{
    QLabel *target = label(which);
    if (target->text() == text)
        return;
    holdUntilFrameEnds(target);
    target->setText(text);
}

void FrmMain3::repaintLabel(ViewLabel which)
{
    Q_UNUSED(which); // only a label whose text changed needs painting, and it is held
    if (!withinFrame())
        endFrame();
}

void FrmMain3::repaintPage()
{
    for (QWidget *target : std::exchange(m_held, {}))
        target->setUpdatesEnabled(true);
    repaint();
    m_lastPaint.restart();
}

// The bar paints itself only when its value has moved by a good part of a
// chunk since its last paint, and it counts a paint of any strip of it (the
// percentage label's frame overlaps its top row) as a paint of the value. So
// it is held like a label and painted whole with them.
void FrmMain3::setProgress(int percent)
{
    if (m_progressBar1->value() == percent)
        return;
    holdUntilFrameEnds(m_progressBar1);
    m_progressBar1->setValue(percent);
}

void FrmMain3::setBackEnabled(bool enabled)
{
    m_back->setEnabled(enabled);
}

void FrmMain3::setReportEnabled(bool enabled)
{
    m_report->setEnabled(enabled);
}

void FrmMain3::setFinishCaption(const QString &caption)
{
    m_finish->setText(caption);
}

void FrmMain3::showMessage(const QString &text, bool critical)
{
    MsgBox::show(text, critical ? MsgBox::Icon::Critical : MsgBox::Icon::None);
}
