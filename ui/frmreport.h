#pragma once

#include <QDialog>

#include <memory>

class CommonDialog;
class QPushButton;
class ReportBox;

// The report window: the report of the last transfer in an editable text
// box, saved to a text file or printed as the box holds it at that moment.
class FrmReport : public QDialog
{
    Q_OBJECT
public:
    explicit FrmReport(QWidget *parent = nullptr);
    ~FrmReport() override;

    ReportBox *txtReport() const { return m_txtReport; }

    // Shows the window modeless, or brings it to the front.
    void showReport();

    void cbClose_Click();
    void cbSave_Click();
    void cbPrint_Click();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Esc means nothing here: the window has no cancel button.
    void reject() override {}

private:
    void createControls();
    void Form_Resize();
    QSize outerSize();
    void askSaveFileName();
    void reportSaveFailure(const QString &reason);

    ReportBox *m_txtReport = nullptr;
    QPushButton *m_cbClose = nullptr;
    QPushButton *m_cbSave = nullptr;
    QPushButton *m_cbPrint = nullptr;
    std::unique_ptr<CommonDialog> m_commonDialog1;
    QSize m_frameAllowance; // pixels; invalid until the first layout
};
