#pragma once
// SIGTERM, SIGINT and SIGHUP: the signals that end the program through its ordinary quit path.
#include <signal.h>

namespace tallyvane {

inline sigset_t quitSignals() {
    sigset_t set;
    ::sigemptyset(&set);
    ::sigaddset(&set, SIGTERM);
    ::sigaddset(&set, SIGINT);
    ::sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace tallyvane
