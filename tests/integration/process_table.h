#pragma once
// What /proc says about processes: which ones a test left behind, and how much memory we hold.
#include <sys/types.h>

#include <string>
#include <vector>

namespace tallyvane::integration {

// Live (not zombie) processes whose environment holds exactly this "NAME=value" entry.
std::vector<pid_t> processesWithEnvironmentEntry(const std::string& entry);

// True while the pid names a process, zombies included.
bool processExists(pid_t pid);

// VmRSS and VmHWM of this process, in KiB; 0 when unknown.
long residentKiB();
long residentPeakKiB();
// Brings VmHWM down to the present VmRSS.
void resetResidentPeak();

}  // namespace tallyvane::integration
