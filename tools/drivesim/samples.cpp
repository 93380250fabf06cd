#include "samples.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace drivesim {

QString samplesDir()
{
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quillet/samples");
    return QFileInfo::exists(installed) ? QDir(installed).absolutePath()
                                        : QStringLiteral(DRIVESIM_SAMPLES_DIR);
}

} // namespace drivesim
