// Test helper: launches argv[1..] through the launcher, prints the child's pid, exits at once.
#include <unistd.h>

#include <cstdio>

#include "platform/posix/posix_child_launcher.h"
#include "platform/posix/user_environment.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    tallyvane::PosixChildLauncher launcher;
    auto child = launcher.launch({argv[1], {argv + 2, argv + argc}, tallyvane::currentEnvironment()}, {});
    if (!child) return 1;
    std::printf("%d\n", child->pid());
    std::fflush(stdout);
    ::_exit(0);
}
