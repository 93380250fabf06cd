#include "app/modmain.h"
#include "settings/appinfo.h"
#include "ui/exitapplication.h"
#include "ui/forms.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

namespace {

// The wizard reads no arguments, but answers --version and --help as any
// command does, and without a display, so that they work over ssh too.
void answerVersionOrHelp(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Moves a motor drive's configuration data over RS-232, through a wizard."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // Anything else on the line stays unread, as it always was.
    parser.parse(arguments);
    // --help-all too: Qt lists it, and it would otherwise start the wizard.
    const bool anyHelp = parser.isSet(help) || parser.isSet(QStringLiteral("help-all"));
    if (!anyHelp && !parser.isSet(version))
        return;
    QCoreApplication app(argc, argv);
    if (parser.isSet(version))
        parser.showVersion();
    parser.showHelp();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(AppInfo::kTitle);
    QApplication::setOrganizationName(AppInfo::kCompanyName);
    QApplication::setApplicationVersion(AppInfo::version());
    answerVersionOrHelp(argc, argv);

    QApplication app(argc, argv);
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
