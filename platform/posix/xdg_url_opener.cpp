#include "platform/posix/xdg_url_opener.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <system_error>
#include <thread>
#include <utility>

extern char** environ;

namespace tallyvane {
namespace {

// posix_spawn's attributes and file actions, destroyed on every path out.
struct SpawnSettings {
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    SpawnSettings() {
        ::posix_spawnattr_init(&attributes);
        ::posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSettings() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;
};

}  // namespace

XdgUrlOpener::XdgUrlOpener(std::string command) : command_(std::move(command)) {}

bool XdgUrlOpener::open(const std::string& urlOrPath) {
    SpawnSettings settings;
    // Undo what this process set for itself: blocked quit signals, ignored SIGPIPE.
    sigset_t nothing;
    sigset_t everything;
    ::sigemptyset(&nothing);
    ::sigfillset(&everything);
    ::posix_spawnattr_setsigmask(&settings.attributes, &nothing);
    ::posix_spawnattr_setsigdefault(&settings.attributes, &everything);
    // A session of its own keeps the browser it may start out of our process group.
    ::posix_spawnattr_setflags(&settings.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    ::posix_spawn_file_actions_addopen(&settings.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&settings.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    std::string program = command_;
    std::string argument = urlOrPath;
    char* const argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = -1;
    if (::posix_spawnp(&pid, program.c_str(), &settings.actions, &settings.attributes, argv, environ) != 0) return false;
    try {
        std::thread([pid] {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // Without a thread the opener stays a zombie until we exit; it has started all the same.
    }
    return true;
}

}  // namespace tallyvane
