#include "app/modmain.h"

#include "app/transferstate.h"
#include "settings/settingsfile.h"
#include "ui/forms.h"
#include "ui/frmmain1.h"
#include "ui/frmsplash.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>

#include <utility>

namespace {

bool exitAskedDuringTransfer = false;

// A stored list position is used only when the list has it; -1 stands for
// no chosen line and is restored as such.
void applyIndex(QComboBox *list, const std::optional<qint16> &index)
{
    if (index && *index >= -1 && *index < list->count())
        list->setCurrentIndex(*index);
}

} // namespace

void Main()
{
    transferState().bTransferActive = false;
    LoadSettings();
    frmSplash().showSplash();
}

void ExitApplication()
{
    // Unloading page 3 under the running loop would leave the loop on freed
    // windows: the run is stopped as page 3's Cancel stops it, and the
    // program ends once the loop has returned.
    if (transferRunning()) {
        exitAskedDuringTransfer = true;
        transferState().bAbortTransfer = true;
        CloseTransferFile();
        CloseCommPort();
        return;
    }
    SaveSettings();
    for (Form form : {Form::Main1, Form::Main2, Form::Main3, Form::Splash, Form::Report})
        Forms::unload(form);
}

void ExitIfAskedDuringTransfer()
{
    if (std::exchange(exitAskedDuringTransfer, false))
        ExitApplication();
}

void LoadSettings()
{
    const std::optional<StoredSettings> stored = SettingsFile::read(SettingsFile::path());
    if (!stored)
        return;
    FrmMain1 &page1 = frmMain1();
    applyIndex(page1.cboTransfer(), stored->transferIndex);
    if (stored->fileName)
        page1.txtFile()->setText(*stored->fileName);
    applyIndex(page1.cboPort(), stored->portIndex);
    applyIndex(page1.cboBaudRate(), stored->baudIndex);
    if (stored->directory && !stored->directory->isEmpty() && QDir(*stored->directory).exists())
        QDir::setCurrent(*stored->directory);
}

void SaveSettings()
{
    if (!Forms::isLoaded(Form::Main1))
        return;
    const FrmMain1 &page1 = frmMain1();
    SettingsToSave values;
    values.transferIndex = page1.cboTransfer()->currentIndex();
    values.fileName = page1.txtFile()->text();
    values.portIndex = page1.cboPort()->currentIndex();
    values.baudIndex = page1.cboBaudRate()->currentIndex();
    values.directory = QDir::currentPath();
    // A file that cannot be written must not stop the program from ending.
    SettingsFile::write(SettingsFile::path(), values);
}
