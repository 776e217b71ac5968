#pragma once
// A descriptor that becomes readable once a child has exited, leaving the child unreaped so
// that its pid cannot be reused before we reap it ourselves.
#include <sys/types.h>

#include "platform/posix/unique_fd.h"

namespace tallyvane {

// A pidfd, or `watchChildExitByWaiting` on kernels without one. Invalid when out of resources.
UniqueFd watchChildExit(pid_t pid);

// An eventfd written by a thread blocked in waitid(WNOWAIT) for the child.
UniqueFd watchChildExitByWaiting(pid_t pid);

}  // namespace tallyvane
