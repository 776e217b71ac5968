#pragma once
// The com.canonical.dbusmenu interface as QtDBus exports it; every call goes to the menu.
#include <QDBusAbstractAdaptor>
#include <QDBusVariant>
#include <QStringList>

#include "platform/qt/dbus_menu_types.h"

namespace tallyvane {

class DbusMenu;

class DbusMenuAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    explicit DbusMenuAdaptor(DbusMenu* menu);

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   tallyvane::DbusMenuLayout& layout);
    tallyvane::DbusMenuItems GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const tallyvane::DbusMenuEvents& events);
    // The entries are always current: no host ever needs to wait for an update.
    bool AboutToShow(int) { return false; }
    QList<int> AboutToShowGroup(const QList<int>&, QList<int>&) { return {}; }

Q_SIGNALS:
    void ItemsPropertiesUpdated(const tallyvane::DbusMenuItems& updatedProps,
                                const tallyvane::DbusMenuItemKeysList& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    DbusMenu* menu_;
};

}  // namespace tallyvane
