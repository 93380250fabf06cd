#include "transfer/seriallink.h"

#include "transfer/commport.h"
#include "transfer/serialports.h"
#include "transfer/transferchoices.h"

bool openCommPort(CommPort &port, const TransferChoices &choices)
{
    CommSettings settings;
    settings.baudRate = choices.baudRate;
    const bool addressed = choices.portNumber != 0 ? port.setCommPort(choices.portNumber)
                                                   : port.setDevice(choices.devicePath);
    // A USB adapter's chip keeps the tail of a send after its driver let go.
    const bool opened =
        addressed && port.setAdapterBuffer(SerialPorts::adapterBuffer(port.devicePath())) &&
        port.setSettings(settings) && port.setInBufferSize(SerialLink::kQueueSize) &&
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

namespace {

// The device as the listing describes it, with the open's own refusal,
// which knows better than a look from outside.
std::optional<SerialPorts::Device> refusedDevice(const CommPort &port)
{
    using Failure = CommPort::OpenFailure;
    using State = SerialPorts::State;
    if (port.devicePath().isEmpty() || port.openFailure() == Failure::None)
        return std::nullopt;
    SerialPorts::Device device = SerialPorts::describe(port.devicePath());
    switch (port.openFailure()) {
    case Failure::NoDevice:
        device.state = State::Missing;
        break;
    case Failure::Busy:
        device.state = State::Busy;
        if (device.holder.isEmpty())
            device.holder = QStringLiteral("another program");
        break;
    case Failure::NotPermitted:
        device.state = State::NotPermitted;
        break;
    case Failure::NotATerminal:
        device.state = State::NotATerminal;
        break;
    case Failure::None:
    case Failure::Refused:
        // The device is there and took the open, but not the line settings.
        if (device.state == State::Present)
            return std::nullopt;
        break;
    }
    return device;
}

} // namespace

QString serialLinkErrorMessage(const CommPort &port)
{
    QString message = QStringLiteral("Error on Serial Comms channel.\r");
    if (const std::optional<SerialPorts::Device> device = refusedDevice(port))
        message += SerialPorts::summary(*device) + QLatin1Char('\r');
    return message + QStringLiteral("Please select alternative Comms Port.");
}
