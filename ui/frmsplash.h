#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QTimer;

// The first window the user sees, and the About window.
class FrmSplash : public QDialog
{
    Q_OBJECT
public:
    explicit FrmSplash(QWidget *parent = nullptr);

    // Shows the window modeless: at start-up, and again as the About window.
    void showSplash();
    void DismissSplash();

    QTimer *Timer1() const { return m_timer; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    QLabel *addLabel(const QString &name, const QRect &twips, const QFont &font);

    QFrame *m_frame = nullptr;
    QTimer *m_timer = nullptr;
    QLabel *m_lblVersion = nullptr;
    QLabel *m_lblProductName = nullptr;
    QLabel *m_lblCompanyProduct = nullptr;
    QLabel *m_lblPlatform = nullptr;
    QLabel *m_lblCopyright = nullptr;
    bool m_placed = false;
};
