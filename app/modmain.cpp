#include "app/modmain.h"

#include "settings/settingsfile.h"
#include "transfer/transfersession.h"
#include "ui/forms.h"
#include "ui/frmmain1.h"
#include "ui/frmsplash.h"

#include <QDir>

void Main()
{
    transferSession().state().bTransferActive = false;
    LoadSettings();
    frmSplash().showSplash();
}

void EndProgram()
{
    SaveSettings();
    Forms::unloadAll();
}

void LoadSettings()
{
    const std::optional<StoredSettings> stored = SettingsFile::read(
        SettingsFile::readPath(SettingsFile::path(), SettingsFile::personalPath()));
    if (!stored)
        return;
    frmMain1().restoreSettings(*stored);
    if (stored->directory && !stored->directory->isEmpty() && QDir(*stored->directory).exists())
        QDir::setCurrent(*stored->directory);
}

void SaveSettings()
{
    if (!Forms::isLoaded(Form::Main1))
        return;
    SettingsToSave values = frmMain1().settingsToSave();
    values.directory = QDir::currentPath();
    // A file that cannot be written must not stop the program from ending,
    // but the choices that are lost are named where a developer looks.
    if (SettingsFile::save(SettingsFile::path(), SettingsFile::personalPath(), values).isEmpty())
        qWarning("Quillet: the settings could not be saved to %s",
                 qPrintable(QDir::toNativeSeparators(SettingsFile::path())));
}
