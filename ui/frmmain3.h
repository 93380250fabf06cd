#pragma once

#include "transfer/transferview.h"
#include "ui/wizardpage.h"

#include <QElapsedTimer>
#include <QString>

#include <array>
#include <optional>

class QLabel;
class QProgressBar;
class QRegion;
class QTimer;

// Page 3: the running transfer and what comes after it.
class FrmMain3 : public WizardPage, public TransferView
{
    Q_OBJECT
public:
    // The labels and the bar take what changed at most once per frame of
    // this length: twice a second, as often as an eye reads a changing count.
    static constexpr qint64 kFrameMs = 500;

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
    void holdUntilFrameEnds();
    // Gives the labels and the bar what they were held back from; returns
    // the area of the page that changed.
    QRegion applyHeld();
    void endFrame();

    QLabel *m_lblStatus = nullptr;
    QLabel *m_lblPercent = nullptr;
    QLabel *m_lblByteCount = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
    QPushButton *m_back = nullptr;
    QPushButton *m_finish = nullptr;
    QPushButton *m_report = nullptr;
    // What the labels (by ViewLabel) and the bar are to show once the frame
    // ends.
    std::array<std::optional<QString>, 3> m_heldText;
    std::optional<int> m_heldProgress;
    QTimer *m_frameEnd = nullptr;
    QElapsedTimer m_lastPaint;
};
