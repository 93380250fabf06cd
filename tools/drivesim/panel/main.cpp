// drivesim-panel: the simulated drive with a front panel, for trying every transfer, a
// silent line and a cancel without hardware. See ../README.md.

#include "drive.h"
#include "panelcontroller.h"
#include "panelwindow.h"
#include "placement.h"
#include "process.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

using namespace drivesim;

namespace {

constexpr int kUsageError = 2;
constexpr int kStartError = 1;

QString option(const QCommandLineParser &parser, const char *name)
{
    return parser.value(QLatin1String(name));
}

void addOptions(QCommandLineParser &parser)
{
    const QString samples = drivesim::samplesDir();
    parser.addOptions({
        {QStringLiteral("com"), QStringLiteral("Serve COM<n> (default 1)."), QStringLiteral("n"),
         QStringLiteral("1")},
        {QStringLiteral("settings-dir"),
         QStringLiteral("The program's settings folder, holding dosdevices/."),
         QStringLiteral("dir")},
        {QStringLiteral("baud"), QStringLiteral("Start at B baud (default 9600)."),
         QStringLiteral("b"), QString::number(PanelController::kDefaultBaud)},
        {QStringLiteral("dump-file"), QStringLiteral("What DUMP MMI sends."),
         QStringLiteral("file"), samples + QStringLiteral("/drive-dump.mmi")},
        {QStringLiteral("params-file"), QStringLiteral("What JXF XFER (Drive TX) sends."),
         QStringLiteral("file"), samples + QStringLiteral("/params.jxf")},
        {QStringLiteral("receive-file"),
         QStringLiteral("Where JXF XFER (Drive RX) stores (default ./received-by-drive.jxf)."),
         QStringLiteral("file"), QStringLiteral("received-by-drive.jxf")},
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("drivesim-panel"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated drive with a front panel."));
    parser.addHelpOption();
    addOptions(parser);
    parser.process(app);

    bool comOk = false;
    bool baudOk = false;
    const int com = option(parser, "com").toInt(&comOk);
    const int baud = option(parser, "baud").toInt(&baudOk);
    if (!comOk || com < 1 || !baudOk) {
        std::fprintf(stderr, "drivesim-panel: --com needs a number from 1, --baud a rate\n");
        return kUsageError;
    }
    const PanelFiles files{QFileInfo(option(parser, "dump-file")).absoluteFilePath(),
                           QFileInfo(option(parser, "params-file")).absoluteFilePath(),
                           QFileInfo(option(parser, "receive-file")).absoluteFilePath()};
    Drive drive;
    PanelController controller(drive, files);
    if (const QString error = controller.setBaud(baud); !error.isEmpty()) {
        std::fprintf(stderr, "drivesim-panel: %s\n", qPrintable(error));
        return kUsageError;
    }
    PanelWindow window(controller);
    if (const QString error =
            drive.start(drivesim::comLinkPath(option(parser, "settings-dir"), com));
        !error.isEmpty()) {
        std::fprintf(stderr, "drivesim-panel: %s\n", qPrintable(error));
        return kStartError;
    }
    if (!drivesim::quitOnTerminationSignals(app))
        std::fprintf(stderr, "drivesim-panel: cannot watch signals: %s\n",
                     qPrintable(qt_error_string(errno)));
    Placement::besideWizard(window);
    window.show();
    const int code = QApplication::exec();
    drive.shutDown();
    return code;
}
