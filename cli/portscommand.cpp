#include "cli/portscommand.h"

#include "cli/cliargs.h"
#include "cli/clioutput.h"
#include "settings/settingsfile.h"
#include "transfer/portmap.h"
#include "transfer/portnames.h"
#include "transfer/serialports.h"

#include <QJsonArray>
#include <QJsonObject>

namespace PortsCommand {

namespace {

// Wide enough for the longest COM name, so the devices stand in one column.
constexpr int kComColumn = 6;

QJsonObject deviceJson(const SerialPorts::Device &device)
{
    QJsonObject object{{QStringLiteral("device"), device.path},
                       {QStringLiteral("state"), SerialPorts::stateName(device.state)}};
    const auto insertText = [&object](const char *key, const QString &text) {
        if (!text.isEmpty())
            object.insert(QLatin1String(key), text);
    };
    insertText("holder", device.holder);
    insertText("group", device.group);
    insertText("byId", device.byId);
    if (device.usb) {
        const SerialPorts::Usb &usb = *device.usb;
        object.insert(QStringLiteral("usb"),
                      QJsonObject{{QStringLiteral("manufacturer"), usb.manufacturer},
                                  {QStringLiteral("product"), usb.product},
                                  {QStringLiteral("serialNumber"), usb.serialNumber},
                                  {QStringLiteral("vendorId"), usb.vendorId},
                                  {QStringLiteral("productId"), usb.productId}});
    }
    return object;
}

QJsonObject comJson(const SerialPorts::ComPort &port)
{
    QJsonObject object = deviceJson(port.device);
    object.insert(QStringLiteral("port"), PortNames::comName(port.number));
    if (!port.link.isEmpty())
        object.insert(QStringLiteral("link"), port.link);
    return object;
}

QString comLine(const SerialPorts::ComPort &port)
{
    return PortNames::comName(port.number).leftJustified(kComColumn) +
           SerialPorts::summary(port.device);
}

void printJson(const SerialPorts::Listing &listing, CliOutput &output)
{
    QJsonArray ports;
    for (const SerialPorts::ComPort &port : listing.comPorts)
        ports.append(comJson(port));
    QJsonArray others;
    for (const SerialPorts::Device &device : listing.others)
        others.append(deviceJson(device));
    output.printJson(QJsonObject{{QStringLiteral("kind"), QStringLiteral("ports")},
                                 {QStringLiteral("ports"), ports},
                                 {QStringLiteral("others"), others}});
}

int list(CliOutput &output)
{
    const SerialPorts::Listing listing = SerialPorts::list(SettingsFile::folder());
    if (output.json()) {
        printJson(listing, output);
        return Cli::kExitOk;
    }
    for (const SerialPorts::ComPort &port : listing.comPorts)
        output.result(comLine(port));
    if (listing.others.isEmpty()) {
        output.result(QStringLiteral("No other serial devices."));
        return Cli::kExitOk;
    }
    output.result(QStringLiteral("Other serial devices:"));
    for (const SerialPorts::Device &device : listing.others)
        output.result(QString(kComColumn, QLatin1Char(' ')) + SerialPorts::summary(device));
    output.result(QStringLiteral("To make COMn lead to one of them: quillet-cli ports --map COMn "
                                 "DEVICE"));
    return Cli::kExitOk;
}

int change(const Cli::PortMapping &mapping, CliOutput &output)
{
    const QString folder = SettingsFile::folder();
    const PortMap::Result result = mapping.unmap
                                       ? PortMap::unmap(mapping.portNumber, folder)
                                       : PortMap::map(mapping.portNumber, mapping.device, folder);
    const QString com = PortNames::comName(mapping.portNumber);
    if (!result.done) {
        output.errorLine(result.message);
        if (output.json())
            output.printJson(QJsonObject{{QStringLiteral("kind"), QStringLiteral("ports")},
                                         {QStringLiteral("port"), com},
                                         {QStringLiteral("outcome"), QStringLiteral("error")},
                                         {QStringLiteral("message"), result.message}});
        return Cli::kExitUnusable;
    }
    const SerialPorts::ComPort port = SerialPorts::comPorts(folder).at(mapping.portNumber - 1);
    if (output.json()) {
        QJsonObject object = comJson(port);
        object.insert(QStringLiteral("kind"), QStringLiteral("ports"));
        object.insert(QStringLiteral("outcome"),
                      mapping.unmap ? QStringLiteral("unmapped") : QStringLiteral("mapped"));
        output.printJson(object);
        return Cli::kExitOk;
    }
    output.result(result.message);
    output.result(comLine(port));
    return Cli::kExitOk;
}

} // namespace

int run(const Cli::Request &request, CliOutput &output)
{
    return request.mapping ? change(*request.mapping, output) : list(output);
}

} // namespace PortsCommand
