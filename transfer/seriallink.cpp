#include "transfer/seriallink.h"

#include "transfer/commport.h"

bool openCommPort(CommPort &port, qint16 portNumber, qint32 baudRate)
{
    const QString settings = QString::number(baudRate).trimmed() + QStringLiteral(",N,8,1");
    const bool opened = port.setCommPort(portNumber) && port.setSettings(settings) &&
                        port.setInBufferSize(SerialLink::kQueueSize) &&
                        port.setOutBufferSize(SerialLink::kQueueSize) &&
                        port.setHandshaking(SerialLink::kXonXoff) && port.setPortOpen(true);
    if (!opened)
        port.setPortOpen(false);
    return opened;
}

void closeCommPort(CommPort &port)
{
    port.setPortOpen(false);
}

QString serialLinkErrorMessage()
{
    return QStringLiteral("Error on Serial Comms channel.\rPlease select alternative Comms Port.");
}
