#include "platform/a11ybus.h"

#include <QAccessible>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QPointer>
#include <QTimer>

namespace {

const QString kConnection = QStringLiteral("a11y");
const QString kObjects = QStringLiteral("/org/a11y/atspi/accessible");
const QString kRoot = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");

QAccessibleInterface *interfaceAt(const QString &path)
{
    if (path == kRoot)
        return QAccessible::queryAccessibleInterface(qApp);
    bool ok = false;
    const uint id = QStringView(path).mid(kObjects.size() + 1).toUInt(&ok);
    return ok ? QAccessible::accessibleInterface(id) : nullptr;
}

// The properties of one interface of an object: the plain ones of Accessible (its
// parent is a reference that readers ask for with Get), none of the others.
QVariantMap propertiesOf(const QString &path, const QString &interface)
{
    QVariantMap values;
    QAccessibleInterface *object = interfaceAt(path);
    if (interface != kAccessible || !object || !object->isValid())
        return values;
    values.insert(QStringLiteral("Name"), object->text(QAccessible::Name));
    values.insert(QStringLiteral("Description"), object->text(QAccessible::Description));
    values.insert(QStringLiteral("ChildCount"), object->childCount());
    return values;
}

class BusGuard : public QDBusVirtualObject
{
public:
    BusGuard(QDBusVirtualObject *bridge, QObject *parent)
        : QDBusVirtualObject(parent)
        , m_bridge(bridge)
    { }

    QDBusVirtualObject *bridge() const { return m_bridge; }

    QString introspect(const QString &path) const override
    {
        return m_bridge ? m_bridge->introspect(path) : QString();
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() == kProperties && message.arguments().size() < 2) {
            if (message.member() != QStringLiteral("GetAll") || message.arguments().isEmpty())
                return false; // QtDBus answers with an error
            const QString interface = message.arguments().at(0).toString();
            connection.send(
                message.createReply(QVariant::fromValue(propertiesOf(message.path(), interface))));
            return true;
        }
        return m_bridge && m_bridge->handleMessage(message, connection);
    }

private:
    QPointer<QDBusVirtualObject> m_bridge;
};

// Puts the guard in front of the bridge's objects once they are on the bus; true when
// the guard is in place.
bool placeGuard()
{
    QDBusConnection bus(kConnection);
    if (!bus.isConnected())
        return false;
    QObject *registered = bus.objectRegisteredAt(kObjects);
    if (dynamic_cast<BusGuard *>(registered))
        return true;
    auto *bridge = qobject_cast<QDBusVirtualObject *>(registered);
    if (!bridge)
        return false;
    bus.unregisterObject(kObjects);
    auto *guard = new BusGuard(bridge, bridge);
    if (!bus.registerVirtualObject(kObjects, guard, QDBusConnection::SubPath)) {
        delete guard;
        bus.registerVirtualObject(kObjects, bridge, QDBusConnection::SubPath);
        return false;
    }
    return true;
}

} // namespace

void guardAccessibilityBus()
{
    // The bridge connects to the bus some time after start-up, when a reader is
    // running or accessibility is asked for; look until then, then now and then in
    // case it connects again.
    auto *timer = new QTimer(qApp);
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, timer, [timer] {
        if (placeGuard())
            timer->setInterval(2000);
    });
    timer->start();
}
