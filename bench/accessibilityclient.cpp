#include "accessibilityclient.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QThread>

namespace {

const QString kBusName = QStringLiteral("quilletbench-a11y");
const QString kRoot = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
constexpr int kCallTimeoutMs = 10000;
constexpr int kDeepest = 12;

struct ObjectRef
{
    QString service;
    QDBusObjectPath path;
};

const QDBusArgument &operator>>(const QDBusArgument &argument, ObjectRef &ref)
{
    argument.beginStructure();
    argument >> ref.service >> ref.path;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const ObjectRef &ref)
{
    argument.beginStructure();
    argument << ref.service << ref.path;
    argument.endStructure();
    return argument;
}

// The address of the AT-SPI bus, from the session bus; starts it if needed.
QString accessibilityBusAddress()
{
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusReply<QString> reply = QDBusConnection::sessionBus().call(ask);
    return reply.isValid() ? reply.value() : QString();
}

} // namespace

Q_DECLARE_METATYPE(ObjectRef)

AccessibilityClient::AccessibilityClient()
    : m_bus(QDBusConnection::connectToBus(accessibilityBusAddress(), kBusName))
{
    qDBusRegisterMetaType<ObjectRef>();
    qDBusRegisterMetaType<QList<ObjectRef>>();
}

AccessibilityClient::~AccessibilityClient()
{
    QDBusConnection::disconnectFromBus(kBusName);
}

bool AccessibilityClient::attach(qint64 pid, double seconds)
{
    QElapsedTimer waited;
    waited.start();
    while (m_bus.isConnected() && waited.elapsed() < seconds * 1000) {
        const QStringList names = m_bus.interface()->registeredServiceNames().value();
        for (const QString &name : names) {
            if (name.startsWith(QLatin1Char(':')) &&
                m_bus.interface()->servicePid(name).value() == uint(pid)) {
                m_service = name;
                return true;
            }
        }
        QThread::msleep(100);
    }
    return false;
}

double AccessibilityClient::requestMs()
{
    QDBusMessage ask = QDBusMessage::createMethodCall(m_service, kRoot, kAccessible,
                                                      QStringLiteral("GetChildCount"));
    QElapsedTimer took;
    took.start();
    const QDBusMessage reply = m_bus.call(ask, QDBus::Block, kCallTimeoutMs);
    const double ms = took.nsecsElapsed() / 1e6;
    return reply.type() == QDBusMessage::ReplyMessage ? ms : -1;
}

double AccessibilityClient::treeMs(int *nodes)
{
    *nodes = 0;
    QElapsedTimer took;
    took.start();
    const bool read = readTree(kRoot, 0, nodes);
    return read ? took.nsecsElapsed() / 1e6 : -1;
}

bool AccessibilityClient::readTree(const QString &path, int depth, int *nodes)
{
    const auto call = [&](const QString &interface, const QString &method,
                          const QVariantList &args = {}) {
        QDBusMessage ask = QDBusMessage::createMethodCall(m_service, path, interface, method);
        ask.setArguments(args);
        return m_bus.call(ask, QDBus::Block, kCallTimeoutMs);
    };
    ++*nodes;
    const QDBusMessage name = call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("Get"), {kAccessible, QStringLiteral("Name")});
    const QDBusMessage role = call(kAccessible, QStringLiteral("GetRole"));
    const QDBusReply<QList<ObjectRef>> children = call(kAccessible, QStringLiteral("GetChildren"));
    if (name.type() != QDBusMessage::ReplyMessage || role.type() != QDBusMessage::ReplyMessage ||
        !children.isValid())
        return false;
    if (depth >= kDeepest)
        return true;
    for (const ObjectRef &child : children.value()) {
        if (child.service == m_service && !readTree(child.path.path(), depth + 1, nodes))
            return false;
    }
    return true;
}
