#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// What the three wizard pages share: the caption, the fixed 6450 x 2625-twip
// client area centred on the screen, the picture at the left, and controls
// placed in twips.
class WizardPage : public QDialog
{
    Q_OBJECT
public:
    WizardPage(const QString &caption, QWidget *parent = nullptr);

    // Shows the page, centred on the screen the first time.
    void showPage();

protected:
    QLabel *addLabel(const QString &name, const QString &text, const QRect &twips);
    QPushButton *addButton(const QString &name, const QString &text, const QString &toolTip,
                           const QRect &twips);
    void place(QWidget *widget, const QString &name, const QRect &twips);

    // Esc presses the page's cancel button rather than closing the dialog.
    void reject() override;
    // A close request from the title bar; the page decides what it means.
    void closeEvent(QCloseEvent *event) override;
    virtual void onCloseRequest() = 0;
    virtual QPushButton *cancelButton() const = 0;

private:
    bool m_placed = false;
    // The last static label placed: the caption a screen reader announces for
    // the list, box or bar placed after it.
    QLabel *m_lastCaption = nullptr;
};

// What a screen reader says for a control: the caption beside it when there is
// one ("Baud Rate:" gives "Baud Rate"), else its name made readable
// ("ProgressBar1" gives "Progress Bar").
QString accessibleNameFor(const QString &caption, const QString &objectName);

// The picture shared by every wizard page and the splash window.
QLabel *makeWizardPicture(const QString &name, const QRect &twips, QWidget *parent);
