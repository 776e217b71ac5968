// Children through the launcher: pipes, arguments, descriptors, signals, groups, exits and leaks.
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/wait.h>

#include <mutex>
#include <numeric>

#include "platform/posix/child_exit_watch.h"
#include "platform/posix/child_spawn.h"
#include "platform/posix/posix_child_launcher.h"
#include "platform/posix/user_environment.h"
#include "platform_test_support.h"

namespace tallyvane::test {
namespace {

LaunchRequest shell(const std::string& script) { return {"/bin/sh", {"-c", script}, currentEnvironment()}; }

std::string nulTerminated(const std::vector<std::string>& parts) {
    return std::accumulate(parts.begin(), parts.end(), std::string(), [](auto all, auto& part) { return all + part + '\0'; });
}

// A child of this process has exited and not been reaped (left unreaped by this check too).
bool anyZombieChild() {
    siginfo_t info{};
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

// Records what a child reports, and whether it kept the promised order: all output, then one exit.
class ChildProcessTest : public ::testing::Test {
protected:
    struct Recorder { std::mutex mutex; std::string bytes; int exits = 0; bool outputAfterExit = false; ChildExit status; };
    std::shared_ptr<ChildProcess> launch(const LaunchRequest& request) {
        auto r = recorder = std::make_shared<Recorder>();
        return launcher.launch(request, {[r](std::string_view bytes) {
                                             std::lock_guard lock(r->mutex);
                                             r->outputAfterExit = r->outputAfterExit || r->exits > 0;
                                             r->bytes.append(bytes);
                                         },
                                         [r](ChildExit status) { std::lock_guard lock(r->mutex); ++r->exits, r->status = status; }});
    }
    std::string output() { std::lock_guard lock(recorder->mutex); return recorder->bytes; }
    bool exitedInOrder() { std::lock_guard lock(recorder->mutex); return recorder->exits == 1 && !recorder->outputAfterExit; }
    pid_t firstLineAsPid() { return eventually([&] { return output().ends_with('\n'); }) ? std::stoi(output()) : -1; }
    PosixChildLauncher launcher;
    std::shared_ptr<Recorder> recorder;
};

// A shell that reads a line and becomes cat: what it was given, then what cat holds and echoes.
TEST_F(ChildProcessTest, AChildGetsExactlyItsArgumentsEnvironmentPipesAndSignalsInAGroupOfItsOwn) {
    ::setenv("TALLYVANE_WITH", "an=equals sign \xc3\xa9t\xc3\xa9", 1);
    ::setenv("TALLYVANE_EMPTY", "", 1);
    const std::vector<std::string> environment = currentEnvironment();
    EXPECT_TRUE(nulTerminated(environment).ends_with(nulTerminated({"TALLYVANE_WITH=an=equals sign \xc3\xa9t\xc3\xa9", "TALLYVANE_EMPTY="})));
    const std::vector<std::string> arguments{"-c", "read line; exec cat", "zero", "two words", "", "tab\there"};
    // Inheritable on purpose, below and above the launcher's own: only closing all above 2 keeps them out.
    const int inheritable = ::open("/dev/null", O_RDONLY), high = ::fcntl(inheritable, F_DUPFD, 1000);
    // This process ignores SIGPIPE (the launcher) and blocks the quit signals (the test main).
    ASSERT_NE(statusField(::getpid(), "SigBlk") + statusField(::getpid(), "SigIgn"), std::string(32, '0'));
    for (const bool withoutStandardInput : {false, true}) {
        SCOPED_TRACE(withoutStandardInput);
        if (withoutStandardInput) ::close(STDIN_FILENO);  // the launcher's next descriptor lands on 0
        auto child = launch({"/bin/sh", arguments, environment});
        ASSERT_TRUE(child);
        const std::string proc = "/proc/" + std::to_string(child->pid());
        EXPECT_EQ(readFile(proc + "/cmdline"), nulTerminated({"/bin/sh"}) + nulTerminated(arguments));
        EXPECT_EQ(readFile(proc + "/environ"), nulTerminated(environment));
        // Far more than a pipe holds: the write only completes because reading goes on meanwhile.
        const std::string bytes = counted(600000);
        EXPECT_TRUE(child->write("\n" + bytes));
        ASSERT_TRUE(eventually([&] { return output().size() >= bytes.size(); }));
        EXPECT_TRUE(output() == bytes);  // not EXPECT_EQ: its diff of megabytes would take minutes
        const auto link = [&](int fd) { return std::filesystem::read_symlink(proc + "/fd/" + std::to_string(fd)).string(); };
        EXPECT_EQ(entries(proc + "/fd"), (std::vector<std::string>{"0", "1", "2"}));
        EXPECT_TRUE(link(0).starts_with("pipe:") && link(1).starts_with("pipe:") && link(0) != link(1)) << link(0);
        EXPECT_EQ(link(2), "/dev/null");
        EXPECT_EQ(statusField(child->pid(), "SigBlk") + statusField(child->pid(), "SigIgn"), std::string(32, '0'));
        EXPECT_EQ(::getpgid(child->pid()), child->pid());
        child->closeInput();
        EXPECT_FALSE(child->write("after close\n"));
        EXPECT_TRUE(child->waitForExit(20s));
        child->terminate();  // too late for all of these: they must neither fail nor report anything
        child->kill();
        child->stopOutput();
        EXPECT_FALSE(child->write("after exit\n"));
        EXPECT_TRUE(eventually([&] { return exitedInOrder(); }));
    }
    ::close(inheritable), ::close(high);
    for (const char* home : {"/home/elsewhere", "", static_cast<const char*>(nullptr)}) {  // empty or unset: the password database's
        home ? ::setenv("HOME", home, 1) : ::unsetenv("HOME");
        EXPECT_EQ(homeDirectory(), home && *home ? home : ::getpwuid(::getuid())->pw_dir);
    }
}

TEST_F(ChildProcessTest, EveryByteIsInOnceAChildThatQuitsRightAfterWritingHasExited) {
    // Many small writes, then a signal; and a burst still several reads long in an enlarged pipe when its writer is gone.
    const std::tuple<LaunchRequest, std::string, ChildExit> writers[] = {
        {shell("i=0; while [ $i -lt 300 ]; do echo $i; i=$((i+1)); done; kill -TERM $$"), counted(300), {true, SIGTERM}},
        {{"/proc/self/exe", {"--burst", "150000"}, {}}, counted(150000), {false, 0}}};
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        const auto& [request, bytes, status] = writers[round % 2];
        auto child = launch(request);
        ASSERT_TRUE(child && child->waitForExit(20s));
        ASSERT_TRUE(output() == bytes) << output().size() << " bytes";
        ASSERT_TRUE(eventually([&] { return exitedInOrder(); }));
        EXPECT_EQ(recorder->status, status);  // how it ended; the recorder is done with it
    }
}

TEST_F(ChildProcessTest, NoOutputArrivesOnceStopOutputReturnsYetTheChildIsDrained) {
    struct Observed {
        std::atomic<ChildProcess*> child{nullptr};
        std::atomic<bool> stopped{false}, late{false};
        std::atomic<std::size_t> received{0};
    };
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        const bool fromCallback = round % 2 == 1;  // where it must not deadlock
        auto observed = std::make_shared<Observed>();
        const auto stop = [observed] { observed->child.load()->stopOutput(), observed->stopped = true; };
        const ChildEvents events{[observed, stop, fromCallback](std::string_view bytes) {
                                     observed->late = observed->late || observed->stopped;
                                     observed->received += bytes.size();
                                     if (observed->child && fromCallback) stop();
                                     std::this_thread::sleep_for(100us);  // widen the window for a racing stopOutput
                                 }, {}};
        // Much more than a pipe holds after the stop: the child only ends if it is drained.
        auto child = launcher.launch(shell("head -c 300000 /dev/zero; read x; head -c 3000000 /dev/zero"), events);
        ASSERT_TRUE(child);
        observed->child = child.get();
        ASSERT_TRUE(eventually([&] { return observed->received > 0; }));
        if (!fromCallback) stop();
        EXPECT_TRUE(child->write("\n") && child->waitForExit(20s));
        EXPECT_TRUE(observed->stopped && !observed->late);
    }
}

TEST_F(ChildProcessTest, TheChildDiesWithTheProcessThatLaunchedIt) {
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t parent = ::fork();
    if (parent == 0) {  // launches `sleep`, reports its pid and vanishes without cleaning up
        const auto child = launcher.launch({"/bin/sleep", {"60"}, {}}, {});
        const pid_t orphan = child ? child->pid() : -1;
        ::_exit(::write(report[1], &orphan, sizeof orphan) == sizeof orphan ? 0 : 1);
    }
    pid_t orphan = -1;
    ASSERT_TRUE(::read(report[0], &orphan, sizeof orphan) == sizeof orphan && orphan > 0);
    ::waitpid(parent, nullptr, 0);
    EXPECT_TRUE(eventually([&] { return processGone(orphan); }));
}

// Signals to the whole group, and kill after an ignored SIGTERM, are checked through the model (tests/integration).
TEST_F(ChildProcessTest, AnExitWithAGrandchildHoldingTheOutputAThousandLaunchesAndRefusalsLeaveNoDescriptorThreadOrZombie) {
    TemporaryDirectory directory;
    writeFile(directory.file("text"), "not a program\n", 0644);
    writeFile(directory.file("garbage"), std::string("\x7f\x01\x02garbage", 10), 0755);
    const std::string refused[] = {"/nonexistent/codex", directory.file("text"), directory.file("garbage"), directory.path};
    // The exit is reported while a grandchild still holds the output open; runtime descriptors opened lazily are no leak.
    auto first = launch(shell("sleep 60 & echo $!"));
    const pid_t grandchild = first && first->waitForExit(20s) ? firstLineAsPid() : -1;
    ASSERT_TRUE(grandchild > 0 && !processGone(grandchild));
    ::kill(grandchild, SIGKILL);
    const int descriptors = openDescriptorCount(), threads = threadCount();
    for (const std::string& executable : refused) EXPECT_EQ(launch({executable, {"app-server"}, {}}), nullptr) << executable;
    for (int round = 0; round < 1000; ++round) {
        // Dropping the handle closes cat's input: cat ends, and is still reaped.
        ASSERT_TRUE(launch({"/bin/cat", {}, {}})) << round;
        ASSERT_TRUE(eventually([&] { return exitedInOrder(); })) << round;
    }
    // At most: a leak would have grown by a thousand; fewer is a runtime's passing descriptor.
    EXPECT_LE(openDescriptorCount(), descriptors);
    EXPECT_FALSE(anyZombieChild());
    EXPECT_TRUE(eventually([&] { return threadCount() <= threads; }));
}

// Both ways of learning about an exit: readable only once the child has exited, which stays unreaped.
TEST(ChildExitWatch, BecomesReadableAtTheExitAndLeavesTheReapingToUs) {
    for (const auto watch : {&watchChildExit, &watchChildExitByWaiting}) {
        auto child = spawnChild({"/bin/sh", {"-c", "read x; exit 3"}, {}});
        ASSERT_TRUE(child);
        const UniqueFd readable = watch(child->pid);
        pollfd exited{readable.get(), POLLIN, 0};
        EXPECT_EQ(::poll(&exited, 1, 100), 0);
        ASSERT_EQ(::write(child->input.get(), "\n", 1), 1);
        EXPECT_EQ(::poll(&exited, 1, 20000), 1);
        EXPECT_EQ(statusField(child->pid, "State").substr(0, 1), "Z");  // its pid is still ours
        int status = 0;
        EXPECT_TRUE(::waitpid(child->pid, &status, 0) == child->pid && WIFEXITED(status) && WEXITSTATUS(status) == 3);
    }
}

}  // namespace
}  // namespace tallyvane::test
