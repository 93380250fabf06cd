#include "transfer/driveinstructions.h"

#include "transfer/transferstate.h"

namespace DriveInstructions {

const Instructions &forType(qint16 transferType)
{
    static const Instructions mmi{QStringLiteral("Prepare the drive to transmit the MMI file."),
                                  QStringLiteral("DUMP MMI (Drive TX)"), true};
    static const Instructions jxfFromDrive{
        QStringLiteral("Prepare the drive to transmit the JXF file."),
        QStringLiteral("JXF XFER (Drive TX)"), true};
    static const Instructions jxfToDrive{
        QStringLiteral("Prepare the drive to receive the JXF file."),
        QStringLiteral("JXF XFER (Drive RX)"), false};
    if (transferType == TransferType::kMmiDump)
        return mmi;
    if (transferType == TransferType::kJxfFromDrive)
        return jxfFromDrive;
    return jxfToDrive;
}

} // namespace DriveInstructions
