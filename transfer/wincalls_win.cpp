// The system's own table of the Win32 calls that reach a serial device, and
// its lists of ports, read from the registry and the device manager.
#include "transfer/wincalls_win.h"

#include <setupapi.h>

#include <atomic>
#include <bit>

namespace WinCalls {

namespace {

std::atomic<qint64> g_lineErrorReports = 0;

// The device manager's class of COM and LPT ports.
const GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

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

// \Device\Serial0 = COM1: the system's table of the serial ports it has.
QStringList readSerialComm()
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
            names.append(textValue(key, valueName).toUpper());
    }
    ::RegCloseKey(key);
    return names;
}

// The device's instance id, then its hardware ids (a list of texts).
QStringList hardwareIds(HDEVINFO set, SP_DEVINFO_DATA &info)
{
    QStringList ids;
    wchar_t text[1024]{};
    if (::SetupDiGetDeviceInstanceIdW(set, &info, text, 1023, nullptr))
        ids.append(QString::fromWCharArray(text));
    wchar_t list[1024]{};
    if (::SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_HARDWAREID, nullptr,
                                            reinterpret_cast<BYTE *>(list),
                                            sizeof list - 2 * sizeof(wchar_t), nullptr)) {
        for (const wchar_t *id = list; *id; id += wcslen(id) + 1)
            ids.append(QString::fromWCharArray(id));
    }
    return ids;
}

PortDevice describeDevice(HDEVINFO set, SP_DEVINFO_DATA &info)
{
    PortDevice device;
    const HKEY key = ::SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return device;
    device.name = textValue(key, L"PortName").toUpper();
    ::RegCloseKey(key);
    wchar_t friendly[256]{};
    if (::SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr,
                                            reinterpret_cast<BYTE *>(friendly),
                                            sizeof friendly - sizeof(wchar_t), nullptr))
        device.friendlyName = QString::fromWCharArray(friendly);
    device.hardwareIds = hardwareIds(set, info);
    return device;
}

QList<PortDevice> readPortDevices()
{
    QList<PortDevice> devices;
    const HDEVINFO set = ::SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return devices;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set, index, &info); ++index) {
        PortDevice device = describeDevice(set, info);
        if (!device.name.isEmpty())
            devices.append(device);
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return devices;
}

bool runsUnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

Table systemCalls()
{
    return {::CreateFileW,    ::CloseHandle,         ::DuplicateHandle,  ::ReadFile,
            ::WriteFile,      ::GetOverlappedResult, ::CancelIoEx,       ::WaitCommEvent,
            ::ClearCommError, ::PurgeComm,           ::FlushFileBuffers, ::SetupComm,
            ::GetCommState,   ::SetCommState,        ::SetCommTimeouts,  ::SetCommMask,
            readSerialComm,   readPortDevices,       runsUnderWine()};
}

Table &calls()
{
    static Table table = systemCalls();
    return table;
}

bool queueCounts(HANDLE device, COMSTAT &stat)
{
    DWORD errors = 0;
    if (!calls().clearCommError(device, &errors, &stat))
        return false;
    constexpr DWORD kLineErrors = CE_OVERRUN | CE_RXOVER | CE_FRAME | CE_RXPARITY;
    g_lineErrorReports += std::popcount(errors & kLineErrors);
    return true;
}

qint64 lineErrorReports()
{
    return g_lineErrorReports;
}

} // namespace WinCalls
