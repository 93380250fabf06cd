#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// The serial devices of the machine and where each COM number leads: what
// `quillet-cli ports` lists and page 1 shows beside each COM number.
//
// Nothing here opens a device. Opening a real port raises its modem lines,
// and the far end of a pseudo-terminal sees the open, so merely looking
// could disturb a drive that is being commissioned. On Linux and other Unix
// systems the state is read from the device's node, the system's tables and
// the processes that can be seen. Windows tells whether another program
// holds a port only to an open: the listing says present or missing from
// the system's lists of ports, and the real open says busy.
//
// root stands for / where the system's device information is read (/sys and
// /dev), so that a test can lay out a machine of its own; empty means /.
namespace SerialPorts {

enum class State {
    Present,
    Missing,      // no node, a link to nothing, or a port without hardware
    Busy,         // another program has it open or locked
    NotPermitted, // this account may not read and write it
    NotATerminal, // a file, a folder or a device that is no terminal
};

struct Usb
{
    QString manufacturer;
    QString product;
    QString serialNumber;
    QString vendorId; // four hex digits, as the system reports them
    QString productId;
};

struct Device
{
    QString path; // the device, links resolved
    State state = State::Missing;
    QString holder;          // Busy: the program that has it, when one can be seen
    QString group;           // NotPermitted: the group that may use it, when there is one
    bool loginAgain = false; // NotPermitted: the account is in that group, its session not yet
    QString byId;            // its stable name under /dev/serial/by-id, when it has one
    std::optional<Usb> usb;  // a USB adapter's own description
    QString description;     // Windows: the name the system gives it, "USB Serial Port (COM12)"
};

struct ComPort
{
    qint16 number = 0;
    QString link; // the settings folder's link for it, when there is one
    Device device;
};

struct Listing
{
    QList<ComPort> comPorts;
    QList<Device> others; // the serial devices that no COM number leads to
};

// The COM numbers offered: COM1 to COM8, then any higher-numbered port the
// system has (Windows), in order.
QList<qint16> comNumbers();
// Those COM numbers with the devices they lead to.
QList<ComPort> comPorts(const QString &settingsFolder, const QString &root = {});
// The same, then every other serial device of the machine.
Listing list(const QString &settingsFolder, const QString &root = {});
// One device, its path resolved as a COM link's is.
Device describe(const QString &path, const QString &root = {});

// The characters a USB adapter's chip may hold beyond what its driver counts
// (its transmit buffer); 0 for a device that is not on USB.
qint32 adapterBuffer(const QString &path, const QString &root = {});

// "present", "not permitted", ...: the state's name in JSON.
QString stateName(State state);
// The state with what it takes to change it: "not permitted (join the group dialout)".
QString stateText(const Device &device);
// What the system says the device is: "USB FTDI FT232R USB UART, serial A1B2C3".
QString details(const Device &device);
// "/dev/ttyUSB0, present, USB FTDI FT232R USB UART, serial A1B2C3": one line,
// the same words in the command's list and in page 1's tooltips.
QString summary(const Device &device);

// The platform's half (serialports_unix.cpp on Linux and other Unix systems,
// serialports_win.cpp on Windows).
namespace Platform {
// The numbers of the COM ports the system itself has, in order; none where
// COM numbers are the program's own.
QList<qint16> registeredComNumbers();
// The devices at paths (resolved already), in that order; one look at the
// running programs serves them all.
QList<Device> describe(const QStringList &paths, const QString &root);
// Every serial device with hardware behind it, in name order.
QStringList serialDevices(const QString &root);
// The USB adapter behind a device (resolved already), without looking at
// who holds it.
std::optional<Usb> usbAdapter(const QString &path, const QString &root);
} // namespace Platform

} // namespace SerialPorts
