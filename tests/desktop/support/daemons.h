#pragma once
// Programs of the test's own that print one line once they serve (a D-Bus daemon its address, Xvfb its display
// number), ended with the object, or with the test process however it ends; and a wait that keeps Qt's loop turning.
#include <signal.h>
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <functional>

namespace tallyvane::testing {

// The process gets SIGTERM when the test process dies, even when it crashes.
inline void endWithThisProcess(QProcess& process) {
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

// `line` stays empty when the program is missing or does not start.
struct Daemon {
    Daemon(const QString& program, const QStringList& arguments) {
        endWithThisProcess(process);
        process.start(program, arguments);
        if (process.waitForStarted(5000) && process.waitForReadyRead(15000))
            line = QString::fromUtf8(process.readLine()).trimmed();
    }
    ~Daemon() {
        process.terminate();
        if (!process.waitForFinished(5000)) process.kill(), process.waitForFinished(3000);
    }
    QProcess process;
    QString line;
};

// A bus daemon with the session configuration; `connect` opens a connection under a name of its own, closed with
// the bus.
struct PrivateBus : Daemon {
    PrivateBus() : Daemon("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1"}) {}
    ~PrivateBus() { for (const QString& name : names) QDBusConnection::disconnectFromBus(name); }
    QDBusConnection connect(const QString& name) {
        names.append(name + QString::number(names.size()));
        return QDBusConnection::connectToBus(line, names.back());
    }
    QStringList names;
};

// Runs Qt's event loop until the condition holds or the limit passes.
inline bool waitUntil(const std::function<bool()>& condition, int limitMs = 10000) {
    for (QDeadlineTimer deadline(limitMs); !condition(); QThread::msleep(5)) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Lets queued work run for a while; for checking that something does not happen.
inline void spin(int ms) { waitUntil([] { return false; }, ms); }

}  // namespace tallyvane::testing
