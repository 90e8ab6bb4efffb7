#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace ravelong {

// The types of the com.canonical.dbusmenu interface.

// One item of a layout, (ia{sv}av): id, properties, children (each a variant holding an item).
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// (ia{sv}): an item's properties.
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

// (ias): the names of an item's removed properties.
struct DBusMenuItemKeys {
    int id = 0;
    QStringList properties;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

// (isvu): one event of EventGroup.
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

// Registers the types with Qt's meta-type and D-Bus type systems (idempotent).
void registerDBusMenuTypes();

}  // namespace ravelong

QDBusArgument& operator<<(QDBusArgument& argument, const ravelong::DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, ravelong::DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const ravelong::DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, ravelong::DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const ravelong::DBusMenuItemKeys& keys);
const QDBusArgument& operator>>(const QDBusArgument& argument, ravelong::DBusMenuItemKeys& keys);
QDBusArgument& operator<<(QDBusArgument& argument, const ravelong::DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, ravelong::DBusMenuEvent& event);

Q_DECLARE_METATYPE(ravelong::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(ravelong::DBusMenuItem)
Q_DECLARE_METATYPE(ravelong::DBusMenuItemKeys)
Q_DECLARE_METATYPE(ravelong::DBusMenuEvent)
