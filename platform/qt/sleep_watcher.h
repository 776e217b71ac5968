#pragma once
// Reports the machine's resume from sleep, as logind announces it on the system bus
// (PrepareForSleep(false)). Without logind or a system bus it simply never fires.
#include <QDBusConnection>
#include <QObject>

namespace tallyvane {

class SleepWatcher final : public QObject {
    Q_OBJECT
public:
    explicit SleepWatcher(QDBusConnection systemBus, QObject* parent = nullptr);
    bool listening() const { return listening_; }

Q_SIGNALS:
    void resumed();

private Q_SLOTS:
    void prepareForSleep(bool sleeping);

private:
    bool listening_;
};

}  // namespace tallyvane
