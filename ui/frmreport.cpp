#include "ui/frmreport.h"

#include "report/reportfile.h"
#include "ui/commondialog.h"
#include "ui/fonts.h"
#include "ui/forms.h"
#include "ui/msgbox.h"
#include "ui/reportbox.h"
#include "ui/reportprinter.h"
#include "ui/textfit.h"
#include "ui/twips.h"
#include "ui/windowplacement.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

namespace {

constexpr int kClientWidth = 7395;
constexpr int kClientHeight = 4860;
constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;

// The layout works on the window's outer size: these allow for the title
// bar and the frame, and space the buttons along the bottom.
constexpr float kCaptionAndFrame = 405.0f;
constexpr float kButtonRow = 600.0f;
constexpr float kFrameWidth = 120.0f;
constexpr float kButtonPitch = 1320.0f;
constexpr float kButtonGap = 120.0f;

const QStringList kSaveFilters = {
    QStringLiteral("All Files (*.*)"),
    QStringLiteral("Text Documents (*.txt)"),
};
constexpr int kPreselectedFilter = 1; // "Text Documents (*.txt)"

} // namespace

FrmReport::FrmReport(QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmReport"));
    setWindowTitle(QStringLiteral("File Transfer Report"));
    setFont(Fonts::pageDefault());
    createControls();
    resize(Twips::size(kClientWidth, kClientHeight));
    TextFit::keep(this);
}

void FrmReport::createControls()
{
    m_txtReport = new ReportBox(this);
    m_txtReport->setObjectName(QStringLiteral("txtReport"));
    m_txtReport->setAccessibleName(QStringLiteral("Report"));
    m_txtReport->setFont(Fonts::named(QStringLiteral("Courier New"), 9.75));
    m_txtReport->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_txtReport->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_txtReport->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The report has no use for a typed tab; Tab goes on to the buttons.
    m_txtReport->setTabChangesFocus(true);
    m_txtReport->setGeometry(Twips::rect(0, 0, 5535, 3735));

    const auto addButton = [this](const QString &name, const QString &text, const QString &toolTip,
                                  int left) {
        auto *button = new QPushButton(text, this);
        button->setObjectName(name);
        button->setToolTip(toolTip);
        button->setGeometry(Twips::rect(left, 4440, kButtonWidth, kButtonHeight));
        return button;
    };
    m_cbClose = addButton(QStringLiteral("cbClose"), QStringLiteral("Close"),
                          QStringLiteral("Click to close this window."), 6120);
    m_cbSave = addButton(QStringLiteral("cbSave"), QStringLiteral("Save"),
                         QStringLiteral("Click to save the report to a file."), 4800);
    m_cbPrint =
        addButton(QStringLiteral("cbPrint"), QStringLiteral("Print"),
                  QStringLiteral("Click to print the report to your default printer."), 3480);
    m_cbClose->setDefault(true);

    QWidget::setTabOrder(m_txtReport, m_cbClose);
    QWidget::setTabOrder(m_cbClose, m_cbSave);
    QWidget::setTabOrder(m_cbSave, m_cbPrint);
    m_txtReport->setFocus();

    connect(m_cbClose, &QPushButton::clicked, this, &FrmReport::cbClose_Click);
    connect(m_cbSave, &QPushButton::clicked, this, &FrmReport::cbSave_Click);
    connect(m_cbPrint, &QPushButton::clicked, this, &FrmReport::cbPrint_Click);
}

FrmReport::~FrmReport() = default;

void FrmReport::showReport()
{
    WindowPlacement::showInFront(this);
}

void FrmReport::cbClose_Click()
{
    Forms::unload(Form::Report);
}

void FrmReport::closeEvent(QCloseEvent *event)
{
    // Unloading is the program's business, not the window system's.
    event->ignore();
    cbClose_Click();
}

void FrmReport::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

// The window with its title bar and frame. The frame is the window system's
// when it has told it by the first layout, otherwise the one the layout rule
// was made for (an X11 window manager frames a window only after it is on
// screen). Either way it is kept from then on, so a frame told later never
// makes the buttons jump at the next resize.
QSize FrmReport::outerSize()
{
    if (!m_frameAllowance.isValid()) {
        const QSize framed = frameGeometry().size();
        m_frameAllowance = framed != size() ? framed - size()
                                            : QSize(Twips::toPixels(kFrameWidth),
                                                    Twips::toPixels(kCaptionAndFrame));
    }
    return size() + m_frameAllowance;
}

void FrmReport::Form_Resize()
{
    const QSize outer = outerSize();
    const auto h = static_cast<float>(Twips::fromPixels(outer.height()));
    const auto w = static_cast<float>(Twips::fromPixels(outer.width()));
    // A window made lower than the button row leaves no room for the text.
    const float textHeight = std::max(h - kCaptionAndFrame - kButtonRow, 0.0f);
    const float textWidth = std::max(w - kFrameWidth, 0.0f);
    m_txtReport->setGeometry(0, 0, Twips::toPixels(textWidth), Twips::toPixels(textHeight));

    const int buttonTop = Twips::toPixels(h - kCaptionAndFrame - kButtonRow + kButtonGap);
    const QSize buttonSize = Twips::size(kButtonWidth, kButtonHeight);
    const auto place = [&](QPushButton *button, float left) {
        button->setGeometry(QRect(QPoint(Twips::toPixels(left), buttonTop), buttonSize));
    };
    place(m_cbClose, w - kFrameWidth - kButtonPitch);
    place(m_cbSave, w - kFrameWidth - kButtonPitch - kButtonPitch);
    place(m_cbPrint, w - kFrameWidth - 3.0f * kButtonPitch);
    // The buttons are back at the rule's size; a face wider than Arial may need more.
    TextFit::fit(this);
}

// Shows the save dialog. A confirmed name replaces the remembered one; a
// cancel keeps it, and the save then goes on with that name.
void FrmReport::askSaveFileName()
{
    if (!m_commonDialog1)
        m_commonDialog1 =
            std::make_unique<CommonDialog>(this, QFileDialog::AcceptSave, kSaveFilters);
    m_commonDialog1->show(kPreselectedFilter);
}

void FrmReport::cbSave_Click()
{
    askSaveFileName();
    const QString fileName = m_commonDialog1->fileName();
    if (fileName.isEmpty())
        return;
    const QByteArray bytes = m_txtReport->reportText().toLatin1();
    const ReportFile::WriteResult first =
        ReportFile::write(fileName, bytes, ReportFile::CreateMode::NewOnly);
    if (first.status == ReportFile::WriteStatus::WriteFailed) {
        reportSaveFailure(first.reason);
        return;
    }
    if (first.status == ReportFile::WriteStatus::Written)
        return;
    // Whatever stopped the creation, the question is the same.
    const MsgBox::Result answer =
        MsgBox::show(MsgBox::replaceQuestion(fileName), MsgBox::Icon::Critical,
                     MsgBox::Buttons::YesNo, true, QStringLiteral("Save As"));
    if (answer != MsgBox::Result::Yes)
        return;
    const ReportFile::WriteResult second =
        ReportFile::write(fileName, bytes, ReportFile::CreateMode::Replace);
    if (second.status != ReportFile::WriteStatus::Written)
        reportSaveFailure(second.reason);
}

void FrmReport::reportSaveFailure(const QString &reason)
{
    MsgBox::show(ReportFile::saveFailureText(m_commonDialog1->fileName(), reason));
}

void FrmReport::cbPrint_Click()
{
    switch (ReportPrinter::print(m_txtReport->reportText())) {
    case ReportPrinter::Result::Printed:
        break;
    case ReportPrinter::Result::NoPrinter:
        MsgBox::show(MsgBox::twoLines(QStringLiteral("No default printer is set up."),
                                      QStringLiteral("The report has not been printed.")));
        break;
    case ReportPrinter::Result::Failed:
        MsgBox::show(QStringLiteral("Unable to print the report."));
        break;
    }
}
