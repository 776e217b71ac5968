#include "platform/qt/termination_signals.h"

#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "platform/posix/quit_signals.h"

namespace tallyvane {

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    const sigset_t set = quitSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) return;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::drain);
}

TerminationSignals::~TerminationSignals() {
    delete notifier_;
    if (fd_ >= 0) ::close(fd_);
}

void TerminationSignals::drain() {
    signalfd_siginfo info;
    while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        Q_EMIT received(static_cast<int>(info.ssi_signo));
}

}  // namespace tallyvane
