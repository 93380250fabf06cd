#include "ui/frmmain3.h"

#include "transfer/transfersession.h"
#include "ui/exitapplication.h"
#include "ui/forms.h"
#include "ui/frmmain1.h"
#include "ui/msgbox.h"
#include "ui/showreport.h"
#include "ui/textfit.h"

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
    TextFit::keep(this);
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
// thousands of times a second. Each new text costs a label its layout, the
// window system a paint and an accessibility client an event, while a few
// changes a second tell the eye as much. So new texts and values wait here,
// and the labels and the bar take them together once per kFrameMs: at the
// next event pump when the last frame is over, otherwise when the frame
// ends. The last ones always reach the screen, and the bar always shows the
// percentage beside it.
bool FrmMain3::withinFrame() const
{
    return m_lastPaint.isValid() && m_lastPaint.elapsed() < kFrameMs;
}

void FrmMain3::holdUntilFrameEnds()
{
    // Whatever else happens, what is held is shown when the frame ends.
    if (!m_frameEnd) {
        m_frameEnd = new QTimer(this);
        m_frameEnd->setSingleShot(true);
        connect(m_frameEnd, &QTimer::timeout, this, &FrmMain3::endFrame);
    }
    if (!m_frameEnd->isActive())
        m_frameEnd->start(withinFrame() ? int(kFrameMs - m_lastPaint.elapsed()) : 0);
}

QRegion FrmMain3::applyHeld()
{
    if (m_frameEnd)
        m_frameEnd->stop();
    QRegion changed;
    for (ViewLabel which : {ViewLabel::Status, ViewLabel::ByteCount, ViewLabel::Percent}) {
        if (auto text = std::exchange(m_heldText[size_t(which)], std::nullopt)) {
            label(which)->setText(*text);
            changed += label(which)->geometry();
        }
    }
    // The bar would paint itself at once, and only when its value moved by a
    // good part of a chunk; it is painted whole with the labels instead.
    if (auto value = std::exchange(m_heldProgress, std::nullopt)) {
        m_progressBar1->setUpdatesEnabled(false);
        m_progressBar1->setValue(*value);
        m_progressBar1->setUpdatesEnabled(true);
        changed += m_progressBar1->geometry();
    }
    return changed;
}

void FrmMain3::endFrame()
{
    const QRegion changed = applyHeld();
    if (changed.isEmpty())
        return;
    repaint(changed);
    m_lastPaint.restart();
}

void FrmMain3::setLabel(ViewLabel which, const QString &text)
{
    std::optional<QString> &held = m_heldText[size_t(which)];
    if (held ? *held == text : label(which)->text() == text)
        return;
    held = text;
    holdUntilFrameEnds();
}

void FrmMain3::repaintLabel(ViewLabel which)
{
    // A label whose text changed is painted when its frame ends, at the next
    // event pump if the last frame is over: the loop sets the bar and both
    // labels one after the other, and they are shown together.
    Q_UNUSED(which);
}

void FrmMain3::repaintPage()
{
    applyHeld();
    repaint();
    m_lastPaint.restart();
}

void FrmMain3::setProgress(int percent)
{
    if ((m_heldProgress ? *m_heldProgress : m_progressBar1->value()) == percent)
        return;
    m_heldProgress = percent;
    holdUntilFrameEnds();
}

void FrmMain3::setBackEnabled(bool enabled)
{
    m_back->setEnabled(enabled);
}

void FrmMain3::setReportEnabled(bool enabled)
{
    m_report->setEnabled(enabled);
    // The report is offered once a run is over: whatever the run left for
    // the next frame is shown with it, at once.
    if (enabled)
        endFrame();
}

void FrmMain3::setFinishCaption(const QString &caption)
{
    m_finish->setText(caption);
}

void FrmMain3::showMessage(const QString &text, bool critical)
{
    MsgBox::show(text, critical ? MsgBox::Icon::Critical : MsgBox::Icon::None);
}
