#include "transfer/serialports.h"

#include "transfer/portnames.h"

#include <QFileInfo>

namespace SerialPorts {

namespace {

QList<ComPort> comPortsOnly(const QString &settingsFolder)
{
    QList<ComPort> ports;
    for (qint16 number : comNumbers()) {
        ComPort port;
        port.number = number;
        const QString link = PortNames::linkPath(number, settingsFolder);
        if (QFileInfo(link).isSymLink() || QFileInfo::exists(link))
            port.link = link;
        port.device.path = PortNames::deviceForPort(number, settingsFolder);
        ports.append(port);
    }
    return ports;
}

QStringList pathsOf(const QList<ComPort> &ports)
{
    QStringList paths;
    for (const ComPort &port : ports)
        paths.append(port.device.path);
    return paths;
}

} // namespace

QList<qint16> comNumbers()
{
    QList<qint16> numbers;
    for (qint16 number = 1; number <= PortNames::kComPorts; ++number)
        numbers.append(number);
    for (qint16 number : Platform::registeredComNumbers()) {
        if (number > PortNames::kComPorts)
            numbers.append(number);
    }
    return numbers;
}

QList<ComPort> comPorts(const QString &settingsFolder, const QString &root)
{
    QList<ComPort> ports = comPortsOnly(settingsFolder);
    const QList<Device> devices = Platform::describe(pathsOf(ports), root);
    for (qsizetype i = 0; i < ports.size(); ++i)
        ports[i].device = devices.at(i);
    return ports;
}

Listing list(const QString &settingsFolder, const QString &root)
{
    Listing listing;
    listing.comPorts = comPortsOnly(settingsFolder);
    const QStringList comPaths = pathsOf(listing.comPorts);
    QStringList paths = comPaths;
    for (const QString &device : Platform::serialDevices(root)) {
        const QString resolved = PortNames::deviceForPath(device);
        if (!comPaths.contains(resolved))
            paths.append(resolved);
    }
    const QList<Device> devices = Platform::describe(paths, root);
    for (qsizetype i = 0; i < devices.size(); ++i) {
        if (i < listing.comPorts.size())
            listing.comPorts[i].device = devices.at(i);
        else
            listing.others.append(devices.at(i));
    }
    return listing;
}

Device describe(const QString &path, const QString &root)
{
    return Platform::describe({PortNames::deviceForPath(path)}, root).constFirst();
}

qint32 adapterBuffer(const QString &path, const QString &root)
{
    const std::optional<Usb> usb = Platform::usbAdapter(PortNames::deviceForPath(path), root);
    if (!usb)
        return 0;
    // The chips' own transmit buffers, where they differ from the common
    // largest; any other adapter is taken to hold that much.
    constexpr qint32 kCommonLargest = 640;
    struct Chip
    {
        const char *vendor;
        const char *product;
        qint32 buffer;
    };
    static constexpr Chip kChips[] = {{"0403", "6001", 256},  {"0403", "6010", 4096},
                                      {"0403", "6011", 2048}, {"0403", "6014", 1024},
                                      {"0403", "6015", 512},  {"067b", "2303", 256}};
    for (const Chip &chip : kChips) {
        if (usb->vendorId.compare(QLatin1String(chip.vendor), Qt::CaseInsensitive) == 0 &&
            usb->productId.compare(QLatin1String(chip.product), Qt::CaseInsensitive) == 0)
            return chip.buffer;
    }
    return kCommonLargest;
}

QString stateName(State state)
{
    switch (state) {
    case State::Present:
        return QStringLiteral("present");
    case State::Missing:
        return QStringLiteral("missing");
    case State::Busy:
        return QStringLiteral("busy");
    case State::NotPermitted:
        return QStringLiteral("not permitted");
    case State::NotATerminal:
        break;
    }
    return QStringLiteral("not a terminal device");
}

QString stateText(const Device &device)
{
    const QString name = stateName(device.state);
    if (device.state == State::Busy && !device.holder.isEmpty())
        return QStringLiteral("%1 (held by %2)").arg(name, device.holder);
    if (device.state == State::NotPermitted && !device.group.isEmpty())
        return device.loginAgain
                   ? QStringLiteral("%1 (log in again to use the group %2)").arg(name, device.group)
                   : QStringLiteral("%1 (join the group %2)").arg(name, device.group);
    return name;
}

QString details(const Device &device)
{
    if (!device.usb)
        return device.description;
    const Usb &usb = *device.usb;
    QStringList words{QStringLiteral("USB")};
    for (const QString &word : {usb.manufacturer, usb.product}) {
        if (!word.isEmpty())
            words.append(word);
    }
    if (words.size() == 1)
        words.append(usb.vendorId + QLatin1Char(':') + usb.productId);
    QString text = words.join(QLatin1Char(' '));
    if (!usb.serialNumber.isEmpty())
        text += QStringLiteral(", serial ") + usb.serialNumber;
    return text;
}

QString summary(const Device &device)
{
    QStringList parts{device.path, stateText(device)};
    const QString described = details(device);
    if (!described.isEmpty())
        parts.append(described);
    return parts.join(QStringLiteral(", "));
}

} // namespace SerialPorts
