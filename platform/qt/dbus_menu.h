#pragma once
// The tray item's menu, exported over D-Bus as com.canonical.dbusmenu for the hosts that show it
// themselves (GNOME's AppIndicator extension on a single click, the others on a right click).
// Each entry keeps its id for as long as its key stays; the layout revision moves only when
// entries come or go, otherwise hosts hear which properties changed.
#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include "platform/qt/dbus_menu_types.h"

namespace tallyvane {

class DbusMenuAdaptor;

struct MenuEntry {
    QString key;    // stable across updates; empty for a separator
    QString label;  // plain text: the exporter marks no mnemonic
    bool enabled = true;
    bool operator==(const MenuEntry&) const = default;
};

class DbusMenu final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* objectPath = "/MenuBar";

    explicit DbusMenu(QDBusConnection bus, QObject* parent = nullptr);
    ~DbusMenu() override;

    void setEntries(const QList<MenuEntry>& entries);

    // Read by the adaptor. An empty `names` asks for every property.
    uint revision() const { return revision_; }
    DbusMenuLayout layout(int parentId, int depth, const QStringList& names) const;
    DbusMenuItems properties(const QList<int>& ids, const QStringList& names) const;
    // False when there is no such entry (0 is the root).
    bool handleEvent(int id, const QString& eventId);

Q_SIGNALS:
    // An enabled entry was clicked in a host's menu; emitted after the call is answered.
    void triggered(const QString& key);

private:
    QVariantMap propertiesOf(int index, const QStringList& names) const;
    int indexOf(int id) const;

    QDBusConnection bus_;
    DbusMenuAdaptor* adaptor_;
    QList<MenuEntry> entries_;
    QList<int> ids_;
    QHash<QString, int> idOfKey_;
    int lastId_ = 0;
    uint revision_ = 1;
};

}  // namespace tallyvane
