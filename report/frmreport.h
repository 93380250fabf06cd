#pragma once

#include <QDialog>

#include <functional>

class QFileDialog;
class QPushButton;
class ReportBox;

// The report window: the report of the last transfer in an editable text
// box, saved to a text file or printed as the box holds it at that moment.
class FrmReport : public QDialog
{
    Q_OBJECT
public:
    explicit FrmReport(QWidget *parent = nullptr);

    ReportBox *txtReport() const { return m_txtReport; }

    // Shows the window modeless, or brings it to the front.
    void showReport();

    void cbClose_Click();
    void cbSave_Click();
    void cbPrint_Click();

    // Tests answer the save dialog here instead of a real modal dialog: the
    // hook gets the dialog as set up and returns true to confirm it.
    using DialogHook = std::function<bool(QFileDialog &)>;
    static void setFileDialogHook(DialogHook hook);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Esc means nothing here: the window has no cancel button.
    void reject() override {}

private:
    void createControls();
    void Form_Resize();
    QFileDialog &commonDialog1();
    void askSaveFileName();
    void reportSaveFailure(const QString &reason);

    ReportBox *m_txtReport = nullptr;
    QPushButton *m_cbClose = nullptr;
    QPushButton *m_cbSave = nullptr;
    QPushButton *m_cbPrint = nullptr;
    QFileDialog *m_commonDialog1 = nullptr;
    // The name the save dialog last returned: empty until the first
    // confirmed dialog, and kept when a later one is cancelled.
    QString m_dialogFileName;
};
