#pragma once

#include "ui/wizardpage.h"

#include <memory>

struct StoredSettings;
struct SettingsToSave;
struct TransferChoices;
class QComboBox;
class CommonDialog;
class QLineEdit;
class QPushButton;

// Page 1: the kind of transfer, the file, the COM port and the baud rate.
class FrmMain1 : public WizardPage
{
    Q_OBJECT
public:
    explicit FrmMain1(QWidget *parent = nullptr);
    ~FrmMain1() override;

    // Set by the Next action when the port or the file step fails.
    bool abort = false;

    // The transfer the page describes, as Next hands it on.
    TransferChoices choices() const;
    // The choices as the settings file keeps them (the directory left empty),
    // and back; a stored list position the list does not have is skipped.
    SettingsToSave settingsToSave() const;
    void restoreSettings(const StoredSettings &stored);

    QComboBox *cboTransfer() const { return m_cboTransfer; }
    QComboBox *cboPort() const { return m_cboPort; }
    QComboBox *cboBaudRate() const { return m_cboBaudRate; }
    QLineEdit *txtFile() const { return m_txtFile; }

    void Next_Click(int index);
    void Open_Click();
    void About_Click(int index);
    void Cancel_Click(int index);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void onCloseRequest() override;
    QPushButton *cancelButton() const override { return m_cancel; }

private:
    void Initialize();
    void createControls();
    void setTabOrder();
    // Each COM entry's tooltip says where it leads and what is there now: an
    // adapter plugged in while the page waits shows when the list opens.
    void updatePortTips();
    // The entries past COM8 follow the ports the system has (Windows), in
    // order, and keep the chosen one.
    void offerPorts(const QList<qint16> &numbers);

    QComboBox *m_cboTransfer = nullptr;
    QComboBox *m_cboPort = nullptr;
    QComboBox *m_cboBaudRate = nullptr;
    QLineEdit *m_txtFile = nullptr;
    QPushButton *m_open = nullptr;
    QPushButton *m_about = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_cancel = nullptr;
    std::unique_ptr<CommonDialog> m_commonDialog1;
};
