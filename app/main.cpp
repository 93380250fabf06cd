#include "app/modmain.h"
#include "settings/appinfo.h"
#include "ui/exitapplication.h"
#include "ui/forms.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppInfo::kTitle);
    QApplication::setOrganizationName(AppInfo::kCompanyName);
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(AppInfo::kVersionMajor)
                                            .arg(AppInfo::kVersionMinor)
                                            .arg(AppInfo::kVersionRevision));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quillet/wizard.png")));
    // The program runs while any window is loaded, visible or hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    Forms::setLastUnloadedHook([] { QCoreApplication::exit(0); });
    setExitApplicationHook(EndProgram);

    Main();
    if (Forms::loadedCount() == 0)
        return 0;
    return QApplication::exec();
}
