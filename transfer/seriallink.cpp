#include "transfer/seriallink.h"

#include "transfer/commport.h"
#include "transfer/transferchoices.h"

bool openCommPort(CommPort &port, const TransferChoices &choices)
{
    CommSettings settings;
    settings.baudRate = choices.baudRate;
    const bool addressed = choices.portNumber != 0 ? port.setCommPort(choices.portNumber)
                                                   : port.setDevice(choices.devicePath);
    const bool opened = addressed && port.setSettings(settings) &&
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
