#pragma once

#include <functional>
#include <QFileDialog>
#include <QString>

// A file dialog as the program's windows use it: it starts in the working
// directory, remembers the last name it returned (a cancel keeps it), and a
// confirmed file's folder becomes the working directory, which the settings
// file carries to the next run.
class CommonDialog
{
public:
    CommonDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QStringList &filters);

    // Shows the dialog with the filter at index preselected and waits. Returns
    // true when the user confirmed a file.
    bool show(int filterIndex);
    // The full path of the last confirmed file; empty before the first one.
    QString fileName() const { return m_fileName; }
    QFileDialog &dialog() { return *m_dialog; }

    // Tests answer the dialog here instead of a real modal loop: the responder
    // gets the dialog as set up and returns true to confirm it.
    using Responder = std::function<bool(QFileDialog &)>;
    static void setResponder(Responder responder);

private:
    QFileDialog *m_dialog = nullptr;
    QStringList m_filters;
    QString m_fileName;
};
