#pragma once
// A D-Bus daemon of the test's own, with the session bus configuration; stopped with the object.
#include <QDBusConnection>
#include <QProcess>
#include <QString>

namespace tallyvane::testing {

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the daemon runs; otherwise why it does not.
    const QString& unavailable() const { return unavailable_; }
    const QString& address() const { return address_; }
    // A new connection under a name of its own.
    QDBusConnection connect(const QString& name) const;

private:
    QProcess daemon_;
    QString address_;
    QString unavailable_;
};

}  // namespace tallyvane::testing
