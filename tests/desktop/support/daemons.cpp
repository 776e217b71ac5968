#include "tests/desktop/support/daemons.h"

#include <signal.h>
#include <sys/prctl.h>

#include <QStandardPaths>

namespace tallyvane::testing {

void endWithThisProcess(QProcess& process) {
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

Daemon::Daemon(const QString& program, const QStringList& arguments) {
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        unavailable_ = program + QStringLiteral(" is not installed");
        return;
    }
    endWithThisProcess(process_);
    process_.start(program, arguments);
    if (process_.waitForStarted(5000) && process_.waitForReadyRead(15000))
        line_ = QString::fromUtf8(process_.readLine()).trimmed();
    if (line_.isEmpty()) unavailable_ = program + QStringLiteral(" did not start");
}

Daemon::~Daemon() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill(), process_.waitForFinished(3000);
}

}  // namespace tallyvane::testing
