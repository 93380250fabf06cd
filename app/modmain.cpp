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
    const std::optional<StoredSettings> stored = SettingsFile::read(SettingsFile::path());
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
    // A file that cannot be written must not stop the program from ending.
    SettingsFile::write(SettingsFile::path(), values);
}
