#include "ui/commondialog.h"

#include <QDir>
#include <QFileInfo>

namespace {

CommonDialog::Responder &responder()
{
    static CommonDialog::Responder r;
    return r;
}

} // namespace

CommonDialog::CommonDialog(QWidget *parent, QFileDialog::AcceptMode mode,
                           const QStringList &filters)
    : m_dialog(new QFileDialog(parent))
    , m_filters(filters)
{
    m_dialog->setObjectName(QStringLiteral("CommonDialog1"));
    m_dialog->setAcceptMode(mode);
    m_dialog->setFileMode(QFileDialog::AnyFile);
    // Browse picks a file to receive into as well as one to send: the
    // desktops' own open dialogs (GTK, the portal) take only files that
    // exist, or hide the typed name in a search box. Qt's own takes a new
    // name whatever the theme.
    if (mode == QFileDialog::AcceptOpen)
        m_dialog->setOption(QFileDialog::DontUseNativeDialog);
    // The windows ask about an existing file themselves, and a name is used
    // as typed, with no extension added.
    m_dialog->setOption(QFileDialog::DontConfirmOverwrite);
    m_dialog->setDefaultSuffix(QString());
    m_dialog->setNameFilters(filters);
}

bool CommonDialog::show(int filterIndex)
{
    m_dialog->setDirectory(QDir::currentPath());
    m_dialog->selectNameFilter(m_filters.value(filterIndex));
    const bool confirmed =
        responder() ? responder()(*m_dialog) : m_dialog->exec() == QDialog::Accepted;
    if (!confirmed || m_dialog->selectedFiles().isEmpty())
        return false;
    const QFileInfo chosen(m_dialog->selectedFiles().constFirst());
    m_fileName = QDir::toNativeSeparators(chosen.absoluteFilePath());
    // A folder that cannot be entered leaves the working directory as it was.
    QDir::setCurrent(chosen.absolutePath());
    return true;
}

void CommonDialog::setResponder(Responder r)
{
    responder() = std::move(r);
}
