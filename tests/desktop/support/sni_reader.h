#pragma once
// Reads a StatusNotifierItem's properties and calls its methods the way a tray host does.
#include <QDBusConnection>
#include <QVariant>

#include "platform/qt/sni_types.h"

namespace tallyvane::testing {

class SniReader {
public:
    SniReader(QDBusConnection bus, QString service) : bus_(std::move(bus)), service_(std::move(service)) {}
    QVariant property(const QString& name) const;
    QString text(const QString& name) const { return property(name).toString(); }
    SniToolTip toolTip() const;
    SniPixmaps icon() const;
    bool activate(int x, int y) const;

private:
    QDBusConnection bus_;
    QString service_;
};

}  // namespace tallyvane::testing
