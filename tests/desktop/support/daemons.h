#pragma once
// Programs of the test's own that print one line once they serve (a D-Bus daemon its address, Xvfb its display
// number), ended with the object, or with the test process however it ends; and a wait that keeps Qt's loop turning.
#include <signal.h>
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <functional>

namespace tallyvane::testing {

// The process gets SIGTERM when the test process dies, even when it crashes.
inline void endWithThisProcess(QProcess& process) {
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

class Daemon {
public:
    Daemon(const QString& program, const QStringList& arguments) {
        const bool installed = !QStandardPaths::findExecutable(program).isEmpty();
        endWithThisProcess(process_);
        if (installed) process_.start(program, arguments);
        if (installed && process_.waitForStarted(5000) && process_.waitForReadyRead(15000))
            line_ = QString::fromUtf8(process_.readLine()).trimmed();
        if (line_.isEmpty()) unavailable_ = program + (installed ? " did not start" : " is not installed");
    }
    ~Daemon() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill(), process_.waitForFinished(3000);
    }
    // Empty when it serves; otherwise why it does not.
    const QString& unavailable() const { return unavailable_; }
    const QString& line() const { return line_; }

private:
    QProcess process_;
    QString line_, unavailable_;
};

// A bus daemon with the session configuration.
struct PrivateBus : Daemon {
    PrivateBus() : Daemon("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1"}) {}
    const QString& address() const { return line(); }
    // A new connection under a name of its own.
    QDBusConnection connect(const QString& name) const { return QDBusConnection::connectToBus(line(), name); }
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
