#pragma once

#include "ui/wizardpage.h"

class QLabel;
class QTimer;

// Page 2: tells the user what to select on the drive, and starts the transfer.
class FrmMain2 : public WizardPage
{
    Q_OBJECT
public:
    explicit FrmMain2(QWidget *parent = nullptr);

    // Sets the instructions for a kind of transfer; page 1 calls this before
    // it shows the page.
    void prepareFor(qint16 transferType);

    void Back_Click(int index);
    void Next_Click(int index);
    void Cancel_Click(int index);
    void Timer1_Timer();

    QTimer *Timer1() const { return m_timer1; }

    // The file name as the page shows it: long names keep their first three
    // characters and the tail from a separator near the end.
    static QString displayForm(const QString &fileName);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void onCloseRequest() override;
    QPushButton *cancelButton() const override { return m_cancel; }

private:
    void createControls();
    // Closes the port and the file, says why when there is a reason, and
    // shows page 1.
    void backToPageOne(const QString &why = QString());

    QLabel *m_lblSendRecive = nullptr;
    QLabel *m_lblInstructions = nullptr;
    QLabel *m_label3 = nullptr;
    QLabel *m_lblFile = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_cancel = nullptr;
    QTimer *m_timer1 = nullptr;
};
