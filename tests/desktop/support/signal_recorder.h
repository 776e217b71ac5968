#pragma once
// Collects the D-Bus signals delivered to it, as a tray host would see them.
#include <QDBusMessage>
#include <QList>
#include <QObject>

namespace tallyvane::testing {

class SignalRecorder final : public QObject {
    Q_OBJECT
public:
    QList<QDBusMessage> received;
    QStringList names() const {
        QStringList result;
        for (const QDBusMessage& message : received) result.append(message.member());
        return result;
    }

public Q_SLOTS:
    void record(const QDBusMessage& message) { received.append(message); }
};

}  // namespace tallyvane::testing
