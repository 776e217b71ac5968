#include "tests/desktop/support/private_bus.h"

#include <QStandardPaths>

#include "tests/desktop/support/x_server.h"

namespace tallyvane::testing {

PrivateBus::PrivateBus() {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty()) {
        unavailable_ = QStringLiteral("dbus-daemon is not installed (Debian package dbus-daemon)");
        return;
    }
    endWithThisProcess(daemon_);
    daemon_.start(program, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                            QStringLiteral("--print-address=1")});
    if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(10000)) {
        unavailable_ = QStringLiteral("dbus-daemon did not start");
        return;
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (address_.isEmpty()) unavailable_ = QStringLiteral("dbus-daemon printed no address");
}

PrivateBus::~PrivateBus() {
    if (daemon_.state() == QProcess::NotRunning) return;
    daemon_.terminate();
    if (!daemon_.waitForFinished(3000)) {
        daemon_.kill();
        daemon_.waitForFinished(3000);
    }
}

QDBusConnection PrivateBus::connect(const QString& name) const { return QDBusConnection::connectToBus(address_, name); }

}  // namespace tallyvane::testing
