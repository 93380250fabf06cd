#pragma once

#include "transfer/transferview.h"
#include "ui/wizardpage.h"

#include <QElapsedTimer>
#include <QList>

class QLabel;
class QProgressBar;
class QTimer;

// Page 3: the running transfer and what comes after it.
class FrmMain3 : public WizardPage, public TransferView
{
    Q_OBJECT
public:
    // The screen gets whatever changed at most once per frame of this length.
    static constexpr qint64 kFrameMs = 16;

    explicit FrmMain3(QWidget *parent = nullptr);

    void Back_Click(int index);
    void Finish_Click(int index);
    void Report_Click(int index);

    // What the transfer loop writes.
    void setLabel(ViewLabel label, const QString &text) override;
    void repaintLabel(ViewLabel label) override;
    void repaintPage() override;
    void setProgress(int percent) override;
    void setBackEnabled(bool enabled) override;
    void setReportEnabled(bool enabled) override;
    void setFinishCaption(const QString &caption) override;
    void showMessage(const QString &text, bool critical) override;

protected:
    void onCloseRequest() override;
    QPushButton *cancelButton() const override { return m_finish; }

private:
    void createControls();
    QLabel *label(ViewLabel which) const;
    bool withinFrame() const;
    void holdUntilFrameEnds(QWidget *target);
    void endFrame();

    QLabel *m_lblStatus = nullptr;
    QLabel *m_lblPercent = nullptr;
    QLabel *m_lblByteCount = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_finish = nullptr;
    QPushButton *m_report = nullptr;
    // Labels and the bar whose new value waits for the end of the frame to be
    // painted.
    QList<QWidget *> m_held;
    QTimer *m_frameEnd = nullptr;
    QElapsedTimer m_lastPaint;
};
