#pragma once

#include <QDBusConnection>
#include <QString>

// What a screen reader does when the focus moves, from a process of its own:
// it asks the program's accessible objects over the AT-SPI bus, and each
// answer waits until the program's event loop has handled the request.
class AccessibilityClient
{
public:
    AccessibilityClient();
    ~AccessibilityClient();

    // Finds the connection of the process pid on the AT-SPI bus; false when
    // there is none within seconds.
    bool attach(qint64 pid, double seconds);
    // One request to the program's root object, its round trip in ms; -1 on failure.
    double requestMs();
    // Every object under the root with its name and role, as a screen reader
    // reads a window: the time it took in ms, or -1; nodes gets how many.
    double treeMs(int *nodes);

private:
    bool readTree(const QString &path, int depth, int *nodes);

    QDBusConnection m_bus;
    QString m_service;
};
