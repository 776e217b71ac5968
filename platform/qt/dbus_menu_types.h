#pragma once
// The structured values of the com.canonical.dbusmenu D-Bus interface.
#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace tallyvane {

// "(ia{sv}av)": an entry, its properties and, each in a variant, its children.
struct DbusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DbusMenuLayout> children;
};

// "(ia{sv})": the properties of one entry.
struct DbusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DbusMenuItems = QList<DbusMenuItem>;

// "(ia{as})": the names of properties an entry no longer has.
struct DbusMenuItemKeys {
    int id = 0;
    QStringList names;
};
using DbusMenuItemKeysList = QList<DbusMenuItemKeys>;

// "(isvu)": one event of an EventGroup call.
struct DbusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DbusMenuEvents = QList<DbusMenuEvent>;

// Makes the types above known to QtDBus; call before exporting or reading them.
void registerDbusMenuTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const DbusMenuLayout& layout);
const QDBusArgument& operator>>(const QDBusArgument& argument, DbusMenuLayout& layout);
QDBusArgument& operator<<(QDBusArgument& argument, const DbusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DbusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DbusMenuItemKeys& keys);
const QDBusArgument& operator>>(const QDBusArgument& argument, DbusMenuItemKeys& keys);
QDBusArgument& operator<<(QDBusArgument& argument, const DbusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DbusMenuEvent& event);

}  // namespace tallyvane

Q_DECLARE_METATYPE(tallyvane::DbusMenuLayout)
Q_DECLARE_METATYPE(tallyvane::DbusMenuItem)
Q_DECLARE_METATYPE(tallyvane::DbusMenuItemKeys)
Q_DECLARE_METATYPE(tallyvane::DbusMenuEvent)
