#include "platform/qt/dbus_menu.h"

#include <QTimer>

#include "platform/qt/dbus_menu_adaptor.h"

namespace tallyvane {
namespace {

// dbusmenu reads a single underscore as the mark of a mnemonic.
QString withoutMnemonic(QString label) { return label.replace(QLatin1Char('_'), QLatin1String("__")); }

QVariantMap only(QVariantMap properties, const QStringList& names) {
    if (names.isEmpty()) return properties;
    for (auto it = properties.begin(); it != properties.end();)
        it = names.contains(it.key()) ? std::next(it) : properties.erase(it);
    return properties;
}

}  // namespace

DbusMenuAdaptor::DbusMenuAdaptor(DbusMenu* menu) : QDBusAbstractAdaptor(menu), menu_(menu) {}

uint DbusMenuAdaptor::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                DbusMenuLayout& layout) {
    layout = menu_->layout(parentId, recursionDepth, propertyNames);
    return menu_->revision();
}

DbusMenuItems DbusMenuAdaptor::GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames) {
    return menu_->properties(ids, propertyNames);
}

QDBusVariant DbusMenuAdaptor::GetProperty(int id, const QString& name) {
    return QDBusVariant(menu_->properties({id}, {name}).value(0).properties.value(name));
}

void DbusMenuAdaptor::Event(int id, const QString& eventId, const QDBusVariant&, uint) { menu_->handleEvent(id, eventId); }

QList<int> DbusMenuAdaptor::EventGroup(const DbusMenuEvents& events) {
    QList<int> unknown;
    for (const DbusMenuEvent& event : events)
        if (!menu_->handleEvent(event.id, event.eventId)) unknown.append(event.id);
    return unknown;
}

DbusMenu::DbusMenu(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), adaptor_(new DbusMenuAdaptor(this)) {
    registerDbusMenuTypes();
    bus_.registerObject(QString::fromLatin1(objectPath), this, QDBusConnection::ExportAdaptors);
}

DbusMenu::~DbusMenu() { bus_.unregisterObject(QString::fromLatin1(objectPath)); }

void DbusMenu::setEntries(const QList<MenuEntry>& entries) {
    QList<int> ids;
    for (const MenuEntry& entry : entries) {
        int& id = idOfKey_[entry.key.isEmpty() ? QStringLiteral("\n%1").arg(ids.size()) : entry.key];
        if (id == 0) id = ++lastId_;
        ids.append(id);
    }
    const QList<MenuEntry> before = std::exchange(entries_, entries);
    if (ids != std::exchange(ids_, ids)) {
        Q_EMIT adaptor_->LayoutUpdated(++revision_, 0);
        return;
    }
    DbusMenuItems changed;
    for (int i = 0; i < entries_.size(); ++i)
        if (entries_[i] != before[i]) changed.append({ids_[i], propertiesOf(i, {})});
    if (!changed.isEmpty()) Q_EMIT adaptor_->ItemsPropertiesUpdated(changed, {});
}

QVariantMap DbusMenu::propertiesOf(int index, const QStringList& names) const {
    const MenuEntry& entry = entries_[index];
    if (entry.key.isEmpty()) return only({{QStringLiteral("type"), QStringLiteral("separator")}}, names);
    return only({{QStringLiteral("label"), withoutMnemonic(entry.label)}, {QStringLiteral("enabled"), entry.enabled}},
                names);
}

int DbusMenu::indexOf(int id) const { return int(ids_.indexOf(id)); }

DbusMenuLayout DbusMenu::layout(int parentId, int depth, const QStringList& names) const {
    if (const int index = indexOf(parentId); index >= 0) return {parentId, propertiesOf(index, names), {}};
    DbusMenuLayout root{0, only({{QStringLiteral("children-display"), QStringLiteral("submenu")}}, names), {}};
    if (depth == 0) return root;
    for (int i = 0; i < entries_.size(); ++i) root.children.append({ids_[i], propertiesOf(i, names), {}});
    return root;
}

DbusMenuItems DbusMenu::properties(const QList<int>& ids, const QStringList& names) const {
    DbusMenuItems items;
    for (int id : ids.isEmpty() ? ids_ : ids)
        if (const int index = indexOf(id); index >= 0) items.append({id, propertiesOf(index, names)});
    return items;
}

bool DbusMenu::handleEvent(int id, const QString& eventId) {
    const int index = indexOf(id);
    if (index < 0) return id == 0;  // the root hears "opened" and "closed"
    const MenuEntry& entry = entries_[index];
    if (eventId == QLatin1String("clicked") && entry.enabled && !entry.key.isEmpty())
        QTimer::singleShot(0, this, [this, key = entry.key] { Q_EMIT triggered(key); });
    return true;
}

}  // namespace tallyvane
