// The serial ports as Windows describes them: its table of COM ports and the
// device manager's, with the names it shows and the hardware behind them.
// No port is opened here: an open raises DTR and RTS, which resets some
// boards, and a Bluetooth port takes seconds to open. Whether another
// program holds a port only the real open tells (CommPort::openFailure()).
#include "transfer/serialports.h"

#include "transfer/portnames.h"
#include "transfer/wincalls_win.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace SerialPorts::Platform {

namespace {

// "COM12" for \\.\COM12.
QString deviceName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1).toUpper();
}

QHash<QString, WinCalls::PortDevice> portDevices()
{
    QHash<QString, WinCalls::PortDevice> devices;
    for (const WinCalls::PortDevice &device : WinCalls::calls().portDevices())
        devices.insert(device.name, device);
    return devices;
}

// The vendor and product of a USB device's id: USB\VID_0403&PID_6001\...,
// or the FTDI driver's own FTDIBUS\VID_0403+PID_6001+A1B2C3\0000.
std::optional<Usb> usbOf(const QStringList &hardwareIds)
{
    static const QRegularExpression kIds(QStringLiteral("VID_([0-9A-F]{4})[&+]PID_([0-9A-F]{4})"),
                                         QRegularExpression::CaseInsensitiveOption);
    for (const QString &id : hardwareIds) {
        const QRegularExpressionMatch match = kIds.match(id);
        if (match.hasMatch())
            return Usb{{}, {}, {}, match.captured(1).toLower(), match.captured(2).toLower()};
    }
    return std::nullopt;
}

} // namespace

QList<Device> describe(const QStringList &paths, const QString &)
{
    const QStringList listed = WinCalls::calls().serialCommNames();
    const QHash<QString, WinCalls::PortDevice> devices = portDevices();
    QList<Device> described;
    for (const QString &path : paths) {
        const QString name = deviceName(path);
        Device device;
        device.path = path;
        device.state =
            listed.contains(name) || devices.contains(name) ? State::Present : State::Missing;
        device.description = devices.value(name).friendlyName;
        described.append(device);
    }
    return described;
}

QList<qint16> registeredComNumbers()
{
    QList<qint16> numbers;
    for (const QString &name : WinCalls::calls().serialCommNames()) {
        const qint16 number = PortNames::comNumber(name);
        if (number > 0 && !numbers.contains(number))
            numbers.append(number);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

QStringList serialDevices(const QString &)
{
    QStringList devices;
    for (qint16 number : registeredComNumbers())
        devices.append(PortNames::deviceForPort(number));
    return devices;
}

std::optional<Usb> usbAdapter(const QString &path, const QString &)
{
    return usbOf(portDevices().value(deviceName(path)).hardwareIds);
}

} // namespace SerialPorts::Platform
