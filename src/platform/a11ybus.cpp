#include "platform/a11ybus.h"

#include <QAccessible>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
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
const QString kAction = QStringLiteral("org.a11y.atspi.Action");

// One action as the bus lists it: name, description, key binding.
struct BusAction
{
    QString name, description, keyBinding;
};

QDBusArgument &operator<<(QDBusArgument &argument, const BusAction &action)
{
    argument.beginStructure();
    argument << action.name << action.description << action.keyBinding;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, BusAction &action)
{
    argument.beginStructure();
    argument >> action.name >> action.description >> action.keyBinding;
    argument.endStructure();
    return argument;
}

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

// A control that a user cannot see or use is no control to press: the toolkit's
// bridge offers and performs the actions of hidden ones (the runner's hidden record
// set buttons would move the test under the taker), so none is offered for them.
bool offersNoActions(const QString &path)
{
    QAccessibleInterface *object = interfaceAt(path);
    if (!object || !object->isValid())
        return false;
    const QAccessible::State state = object->state();
    return state.invisible || state.disabled;
}

// The reply to an Action call on such a control, as for one that has no actions.
QVariant noAction(const QDBusMessage &message)
{
    const QString member = message.member();
    if (message.interface() == kProperties) // Get of NActions
        return QVariant::fromValue(QDBusVariant(0));
    if (member == QLatin1String("GetActions"))
        return QVariant::fromValue(QList<BusAction>());
    if (member == QLatin1String("DoAction"))
        return false;
    if (member == QLatin1String("GetNActions"))
        return 0;
    return QString(); // the name, description or key of an action that is not there
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
        const bool action = message.interface() == kAction
            || (message.interface() == kProperties && message.member() == QLatin1String("Get")
                && message.arguments().size() == 2
                && message.arguments().at(0).toString() == kAction);
        if (action && offersNoActions(message.path())) {
            connection.send(message.createReply(noAction(message)));
            return true;
        }
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
    qDBusRegisterMetaType<BusAction>();
    qDBusRegisterMetaType<QList<BusAction>>();
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
