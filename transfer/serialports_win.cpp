// The serial ports as Windows describes them: its table of COM ports, its
// device names, the names its device manager shows, and an open without
// sharing to learn whether another program holds a port.
#include "transfer/serialports.h"

#include "transfer/portnames.h"

#include <QHash>
#include <QtCore/qt_windows.h>

#include <setupapi.h>

#include <algorithm>

namespace SerialPorts::Platform {

namespace {

// The device manager's class of COM and LPT ports.
const GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

const wchar_t *wide(const QString &text)
{
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

// A text value of an open registry key; empty when there is none.
QString textValue(HKEY key, const wchar_t *name)
{
    wchar_t value[256]{};
    DWORD size = sizeof value - sizeof(wchar_t); // the last stays the end
    DWORD type = 0;
    const bool read = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(value),
                                         &size) == ERROR_SUCCESS &&
                      type == REG_SZ;
    return read ? QString::fromWCharArray(value) : QString();
}

// The COM names of the system's table of serial ports: \Device\Serial0 = COM1.
QStringList registeredNames()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                        &key) != ERROR_SUCCESS)
        return {};
    QStringList names;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        DWORD nameSize = 256;
        const LONG found =
            ::RegEnumValueW(key, index, valueName, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (found == ERROR_NO_MORE_ITEMS)
            break;
        if (found == ERROR_SUCCESS)
            names.append(textValue(key, valueName));
    }
    ::RegCloseKey(key);
    return names;
}

// "USB Serial Port (COM12)" by "COM12", for the ports the device manager shows.
QHash<QString, QString> friendlyNames()
{
    QHash<QString, QString> names;
    const HDEVINFO set = ::SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return names;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set, index, &info); ++index) {
        const HKEY key =
            ::SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        const QString port = textValue(key, L"PortName").toUpper();
        ::RegCloseKey(key);
        wchar_t friendly[256]{};
        if (!port.isEmpty() &&
            ::SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr,
                                                reinterpret_cast<BYTE *>(friendly),
                                                sizeof friendly - sizeof(wchar_t), nullptr))
            names.insert(port, QString::fromWCharArray(friendly));
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return names;
}

// "COM12" for \\.\COM12.
QString deviceName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1).toUpper();
}

State stateOf(const QString &path)
{
    // The system's device names say whether the port is there, untouched.
    wchar_t target[1024];
    if (!::QueryDosDeviceW(wide(deviceName(path)), target, 1024) &&
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return State::Missing;
    const HANDLE port = ::CreateFileW(wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (port != INVALID_HANDLE_VALUE) {
        ::CloseHandle(port);
        return State::Present;
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? State::Busy
                                                                            : State::Missing;
}

} // namespace

QList<Device> describe(const QStringList &paths, const QString &)
{
    const QHash<QString, QString> names = friendlyNames();
    QList<Device> devices;
    for (const QString &path : paths) {
        Device device;
        device.path = path;
        device.state = stateOf(path);
        device.description = names.value(deviceName(path));
        devices.append(device);
    }
    return devices;
}

QList<qint16> registeredComNumbers()
{
    QList<qint16> numbers;
    for (const QString &name : registeredNames()) {
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

// Not known yet on Windows: its drain sees the driver only.
std::optional<Usb> usbAdapter(const QString &, const QString &)
{
    return std::nullopt;
}

} // namespace SerialPorts::Platform
